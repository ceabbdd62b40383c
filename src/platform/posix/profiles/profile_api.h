// Profile (.ini) files.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR fileName);
DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName);
BOOL WINAPI WritePrivateProfileSectionA(LPCSTR section, LPCSTR text, LPCSTR fileName);
}
