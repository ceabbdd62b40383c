// Folder and file functions of kernel32 on Windows paths, mapped into the machine folder.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE find);
BOOL WINAPI DeleteFileA(LPCSTR path);
UINT WINAPI GetDriveTypeA(LPCSTR rootPath);
BOOL WINAPI GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                              LPDWORD freeClusters, LPDWORD totalClusters);
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
// The temporary folder with a trailing backslash: TMP, else TEMP, else USERPROFILE, else the
// Windows folder, whether or not it exists. Only Windows paths are taken ("X:\..." or
// "\\server\..."): the host's own TMP=/tmp names no folder of the machine and is passed over.
// The length without the terminator when it fits in `size`, else the size it needs (the buffer
// then untouched).
DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);
// Milliseconds since the system started, wrapping after 49.7 days.
DWORD WINAPI GetTickCount();
DWORD WINAPI GetFileAttributesA(LPCSTR path);
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL WINAPI CopyFileA(LPCSTR existingPath, LPCSTR newPath, BOOL failIfExists);
// Opens an existing file, or a folder with FILE_FLAG_BACKUP_SEMANTICS (without it a folder is
// refused with ERROR_ACCESS_DENIED, as on Windows), to learn what it is: a symbolic link is
// followed, as Windows follows a junction, unless FILE_FLAG_OPEN_REPARSE_POINT asks for the link
// itself. Only OPEN_EXISTING: the program opens to identify, never to make or write, so other
// dispositions are refused with ERROR_NOT_SUPPORTED. Write access to a read-only file is refused.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
// What the handle names: the host's device number as the volume serial number and its inode as
// the file index, so that two paths name the same file or folder exactly when these agree.
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD status);
}
