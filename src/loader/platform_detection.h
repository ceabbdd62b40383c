// Which family of Windows the program runs on, as one platform code. Its one use: the common
// preference path has its spaces replaced by underscores on codes 1 and 2.
#pragma once

#include "platform/win32api.h"

enum PlatformCode : int {
    kPlatformUnknown = -1,
    kPlatformCode1 = 1, // never detected; tested for by the preference path rule
    kPlatformWin32s = 2,
    kPlatformWindows95 = 4,
    kPlatformWindowsNt = 8,
    kPlatformWindows98 = 1024,
};

// Asks the system afresh on every call; a failing GetVersionExA classifies as Win32s.
int DetectPlatform();

// The code of a filled (or zeroed) version record.
int ClassifyPlatform(const OSVERSIONINFOA& version);
