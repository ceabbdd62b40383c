#include "loader/library_name.h"

DWORD MakeVersionedLibraryName(const char* shortName, const char*, char* buffer, DWORD* size,
                               int major, int minor) {
    if (shortName == nullptr || buffer == nullptr || size == nullptr) {
        return 0;
    }
    const DWORD capacity = *size;
    if (capacity != 0) {
        buffer[0] = '\0';
    }
    // The room always holds the longest name: the short name, "32", two numbers of up to 11
    // characters each and ".dll" come to at most the short name's length plus 28 and a terminator.
    if (strlen(shortName) + 32 > capacity) {
        *size = 0;
        return capacity;
    }
    const int written = _snprintf(buffer, capacity, "%s32%d%d.dll", shortName, major, minor);
    *size = static_cast<DWORD>(written);
    return *size;
}

DWORD MakeLibraryName(const char* shortName, const char* longName, char* buffer, DWORD* size) {
    return MakeVersionedLibraryName(shortName, longName, buffer, size, 6, 0);
}
