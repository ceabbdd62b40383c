// Run-time linking, error modes and the system version. A ".dll" here is an ELF shared object.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE module);
UINT WINAPI SetErrorMode(UINT mode);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
}
