#include "userdata/maker_processes.h"

#include "platform/win32api.h"
#include "support/removal_log.h"

#include <cstdio>

namespace {

typedef BOOL(WINAPI* EnumProcessesFn)(DWORD* ids, DWORD size, DWORD* bytesReturned);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE process, HMODULE* modules, DWORD size,
                                           DWORD* bytesNeeded);
typedef DWORD(WINAPI* GetModuleBaseNameFn)(HANDLE process, HMODULE module, LPSTR name, DWORD size);

const DWORD kMaxEntries = 1024;
const DWORD kAllProcessAccess = 0x1F0FFF;
const char* const kMakerImages[] = {"lumosched.exe", "lumoplay.exe", "lumoevent.exe"};

struct ProcessStatus {
    EnumProcessesFn enumProcesses;
    GetModuleBaseNameFn getModuleBaseName;
    EnumProcessModulesFn enumProcessModules;
};

// GetProcAddress hands out every entry as FARPROC; the detour through void(*)() says that the
// change of function type is meant.
template <typename Function> Function Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

bool IsMakerImage(const char* name) {
    for (const char* image : kMakerImages) {
        if (_stricmp(name, image) == 0) {
            return true;
        }
    }
    return false;
}

// The base name of the process's executable, the first of its modules; empty when unknown.
void ReadImageName(const ProcessStatus& psapi, HANDLE process, char (&name)[1024]) {
    HMODULE modules[kMaxEntries] = {};
    DWORD bytesNeeded = 0;
    if (psapi.enumProcessModules != nullptr &&
        psapi.enumProcessModules(process, modules, sizeof modules, &bytesNeeded) &&
        psapi.getModuleBaseName != nullptr) {
        memset(name, 0, sizeof name);
        psapi.getModuleBaseName(process, modules[0], name, sizeof name);
    }
}

void TerminateIfMaker(const ProcessStatus& psapi, DWORD processId) {
    const HANDLE process = OpenProcess(kAllProcessAccess, FALSE, processId);
    if (process == nullptr) {
        return;
    }
    char name[1024] = {};
    ReadImageName(psapi, process, name);
    if (IsMakerImage(name)) {
        const BOOL stopped = TerminateProcess(process, 0);
        if (IsRemovalLogOpen()) {
            char why[64];
            snprintf(why, sizeof why, stopped ? "process %lu" : "process %lu: termination refused",
                     static_cast<unsigned long>(processId));
            LogAction(stopped ? LV_Stopped : LV_Failed, LT_Process, name, why);
        }
    }
    CloseHandle(process);
}

} // namespace

int TerminateMakerProcesses() {
    const HMODULE library = LoadLibraryA("psapi.dll");
    if (library == nullptr) {
        return 0;
    }
    const ProcessStatus psapi = {
        Resolve<EnumProcessesFn>(library, "EnumProcesses"),
        Resolve<GetModuleBaseNameFn>(library, "GetModuleBaseNameA"),
        Resolve<EnumProcessModulesFn>(library, "EnumProcessModules"),
    };
    DWORD ids[kMaxEntries] = {};
    DWORD bytesReturned = 0;
    DWORD count = 0;
    if (psapi.enumProcesses != nullptr && psapi.enumProcesses(ids, sizeof ids, &bytesReturned)) {
        count = (bytesReturned < sizeof ids ? bytesReturned : sizeof ids) / sizeof(DWORD);
    }
    for (DWORD i = 0; i < count; ++i) {
        TerminateIfMaker(psapi, ids[i]);
    }
    FreeLibrary(library);
    return 0;
}
