// kernel32's functions on the standard handles and pipes: what standard input is, what is
// waiting on it, and reading it past the runtime's buffer.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
// The process's standard input, output or error (the host's descriptors 0, 1 and 2), the same
// handle on every call; INVALID_HANDLE_VALUE for another number.
HANDLE WINAPI GetStdHandle(DWORD which);
// FILE_TYPE_DISK for a file, FILE_TYPE_CHAR for a terminal or another character device,
// FILE_TYPE_PIPE for a pipe or a socket; FILE_TYPE_UNKNOWN (last error 6) for a handle that is
// none of the standard ones or a pipe's.
DWORD WINAPI GetFileType(HANDLE file);
// An anonymous pipe: the handle to read and the one to write.
BOOL WINAPI CreatePipe(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES security,
                       DWORD size);
// What a pipe holds, without taking it: up to `size` bytes copied into `buffer`, `read` of them,
// `available` in all, `leftInMessage` 0 (a byte pipe). FALSE with ERROR_BROKEN_PIPE when the pipe
// is empty and its write end closed, ERROR_INVALID_FUNCTION for a handle that is no pipe.
BOOL WINAPI PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD read, LPDWORD available,
                          LPDWORD leftInMessage);
// Synchronous reads and writes only (`overlapped` null). A pipe at its end (write end closed)
// reads FALSE with ERROR_BROKEN_PIPE, a file at its end TRUE with 0 bytes; a write to a pipe
// nobody reads any more fails with ERROR_NO_DATA.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                      LPOVERLAPPED overlapped);
// Discards the input waiting on a terminal; FALSE with ERROR_INVALID_HANDLE for anything else.
BOOL WINAPI FlushConsoleInputBuffer(HANDLE input);
}

namespace ovlayer {

// Closes a handle of a pipe or a standard stream; false when `handle` is not one.
bool CloseStreamHandle(HANDLE handle);

} // namespace ovlayer
