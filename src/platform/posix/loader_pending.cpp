// Placeholders until the machine folder and the file functions land: the calling thread's last
// error and a machine folder made from OVUNINST_MACHINE. Replaced by machine.cpp and the file
// functions.
#include "platform/posix/file_api.h"
#include "platform/posix/machine.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {
thread_local DWORD lastError = 0;
std::string machineFolder;
} // namespace

extern "C" {
DWORD WINAPI GetLastError() {
    return lastError;
}
void WINAPI SetLastError(DWORD status) {
    lastError = status;
}
}

namespace ovlayer {

const std::string& MachineFolder() {
    if (machineFolder.empty()) {
        const char* named = getenv("OVUNINST_MACHINE");
        machineFolder = named && *named ? named : "/tmp/ovuninst-machine";
        for (const char* sub : {"", "/drive_c", "/drive_c/windows", "/drive_c/windows/system32"}) {
            mkdir((machineFolder + sub).c_str(), 0777);
        }
    }
    return machineFolder;
}

void UseMachine(const std::string& folder) {
    machineFolder = folder;
}

void OnMachineChange(void (*)()) {}

} // namespace ovlayer
