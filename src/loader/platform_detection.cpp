#include "loader/platform_detection.h"

int ClassifyPlatform(const OSVERSIONINFOA& version) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        return kPlatformWindowsNt;
    }
    const WORD major = static_cast<WORD>(version.dwMajorVersion);
    const WORD minor = static_cast<WORD>(version.dwMinorVersion);
    if (major < 4) {
        return kPlatformWin32s;
    }
    if (major > 4) {
        return kPlatformUnknown;
    }
    return minor < 10 ? kPlatformWindows95 : kPlatformWindows98;
}

int DetectPlatform() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return ClassifyPlatform(version);
}
