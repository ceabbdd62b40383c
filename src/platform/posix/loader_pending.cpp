// Placeholders until the machine folder and the last error of the layer land: the calling
// thread's last error and a machine folder made from OVUNINST_MACHINE. Every definition is weak,
// so the real ones (machine.cpp, last_error.cpp) take their place as soon as they are built into
// the same library; this file is then deleted.
#include "platform/posix/file_api.h"
#include "platform/posix/machine.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#define OV_PENDING __attribute__((weak))

namespace {
thread_local DWORD lastError = 0;
std::string machineFolder;
} // namespace

extern "C" {
OV_PENDING DWORD WINAPI GetLastError() {
    return lastError;
}
OV_PENDING void WINAPI SetLastError(DWORD status) {
    lastError = status;
}
}

namespace ovlayer {

OV_PENDING const std::string& MachineFolder() {
    if (machineFolder.empty()) {
        const char* named = getenv("OVUNINST_MACHINE");
        machineFolder = named && *named ? named : "/tmp/ovuninst-machine";
        for (const char* sub : {"", "/drive_c", "/drive_c/windows", "/drive_c/windows/system32"}) {
            mkdir((machineFolder + sub).c_str(), 0777);
        }
    }
    return machineFolder;
}

OV_PENDING void UseMachine(const std::string& folder) {
    machineFolder = folder;
}

OV_PENDING void OnMachineChange(void (*)()) {}

} // namespace ovlayer
