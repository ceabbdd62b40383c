// TEMPORARY, deleted on rebase: stand-ins for the machine folder, last error, registry and module
// functions that other branches of the layer provide, so that the file functions link and can
// be tested before those land. No registry: every key is missing.
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/file_api.h"
#include "platform/posix/machine.h"
#include "platform/posix/module_api.h"
#include "platform/posix/registry_api.h"

namespace ovlayer {
namespace {
std::string& Folder() {
    static std::string folder;
    return folder;
}
std::vector<void (*)()>& Forgetters() {
    static std::vector<void (*)()> forgetters;
    return forgetters;
}
void MakeFolders(const std::string& root) {
    for (const char* sub :
         {"", "/drive_c", "/drive_c/windows", "/drive_c/windows/system32", "/dosdevices"}) {
        mkdir((root + sub).c_str(), 0755);
    }
}
} // namespace

const std::string& MachineFolder() {
    if (Folder().empty()) {
        const char* named = getenv("OVUNINST_MACHINE");
        Folder() = named != nullptr ? named : std::string(getenv("HOME")) + "/.ovuninst-pending";
        MakeFolders(Folder());
    }
    return Folder();
}

void UseMachine(const std::string& folder) {
    Folder() = folder;
    MakeFolders(folder);
    for (auto forget : Forgetters()) {
        forget();
    }
}

void OnMachineChange(void (*forget)()) {
    Forgetters().push_back(forget);
}
} // namespace ovlayer

namespace {
thread_local DWORD lastError = 0;
}

extern "C" {
DWORD WINAPI GetLastError() {
    return lastError;
}
void WINAPI SetLastError(DWORD status) {
    lastError = status;
}
LONG WINAPI RegOpenKeyA(HKEY, LPCSTR, PHKEY) {
    return ERROR_FILE_NOT_FOUND;
}
LONG WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_FILE_NOT_FOUND;
}
LONG WINAPI RegCreateKeyA(HKEY, LPCSTR, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI RegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                            LPDWORD) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI RegEnumKeyExA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegCloseKey(HKEY) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegDeleteKeyA(HKEY, LPCSTR) {
    return ERROR_FILE_NOT_FOUND;
}
LONG WINAPI RegEnumKeyA(HKEY, DWORD, LPSTR, DWORD) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegQueryInfoKeyA(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                             LPDWORD, LPDWORD, LPDWORD, PFILETIME) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_INVALID_HANDLE;
}
DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR, DWORD) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
}
}
