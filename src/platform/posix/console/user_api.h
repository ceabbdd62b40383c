// The double-byte character functions of user32, and kernel32's GetACP, following the machine's
// ANSI code page.
#pragma once

#include "platform/posix/core/win32_types.h"

extern "C" {
int WINAPI GetSystemMetrics(int index);
LPSTR WINAPI CharNextA(LPCSTR current);
LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current);
UINT WINAPI GetACP();
}
