// GetTempPathA and GetTickCount: the temporary folder from the environment, as Windows chooses
// it, and the system's millisecond clock.
#include <time.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/core/machine.h"
#include "platform/posix/core/test_controls.h"
#include "platform/posix/files/file_api.h"

namespace {

using namespace ovlayer;

// A drive path ("C:\...") or a network one ("\\server\..."); a host path such as /tmp is not a
// folder of the machine.
bool IsWindowsFolder(const char* value) {
    if (value == nullptr) {
        return false;
    }
    const bool drive = ((value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'z') && value[1] == ':' &&
                       (value[2] == '\\' || value[2] == '/');
    return drive || (value[0] == '\\' && value[1] == '\\');
}

std::string TempFolder() {
    for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
        const char* value = getenv(name);
        if (IsWindowsFolder(value)) {
            return value;
        }
    }
    return kWindowsFolder;
}

} // namespace

extern "C" {

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
    Record("GetTempPathA(" + std::to_string(size) + ")");
    long status;
    if (TakeInjectedFailure(Call::GetTempPathA, &status)) {
        SetLastError(static_cast<DWORD>(status));
        return 0;
    }
    std::string folder = TempFolder();
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    const DWORD length = static_cast<DWORD>(folder.size());
    if (buffer == nullptr || size <= length) {
        return length + 1;
    }
    memcpy(buffer, folder.c_str(), folder.size() + 1);
    return length;
}

DWORD WINAPI GetTickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long long ms =
        static_cast<unsigned long long>(now.tv_sec) * 1000ULL + now.tv_nsec / 1000000;
    return static_cast<DWORD>(ms);
}

} // extern "C"
