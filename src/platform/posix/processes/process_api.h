// Processes: opening, terminating, and the handles they give.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
HANDLE WINAPI OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
BOOL WINAPI TerminateProcess(HANDLE process, UINT exitCode);
BOOL WINAPI CloseHandle(HANDLE handle);
DWORD WINAPI GetCurrentProcessId();
}
