// Run-time linking on the Linux layer. A ".dll" is an ELF shared object under that file name:
// LoadLibraryA maps a Windows path into the machine folder and dlopens the file; a bare name is
// looked for in the program's folder, the system folder and the working folder, as Windows does.
// A module handle is the module's load address, as on Windows, and GetProcAddress finds only the
// module's own exports, never a symbol of a library it depends on.
#include "platform/posix/processes/module_api.h"

#include "platform/posix/processes/builtin_modules.h"
#include "platform/posix/paths/drives.h"
#include "platform/posix/files/file_api.h"
#include "platform/posix/core/machine.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/core/test_controls.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const DWORD kErrorBadExeFormat = 193;
const char kSystemFolder[] = "C:\\windows\\system32";

struct Module {
    void* handle;
    link_map* map;
    std::string hostPath;
    int loadCount;
};

// Never destroyed: libraries may still be freed by other objects' destructors at process exit.
std::map<HMODULE, Module>& Modules() {
    static auto* modules = new std::map<HMODULE, Module>;
    return *modules;
}

UINT errorMode = 0;

bool Failing(ovlayer::Call call) {
    long status = 0;
    if (!ovlayer::TakeInjectedFailure(call, &status)) {
        return false;
    }
    SetLastError(static_cast<DWORD>(status));
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HostFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// ---- Windows paths in the machine folder ----

// The entry of `folder` named `name`, matched exactly or else ignoring letter case.
std::string EntryIgnoringCase(const std::string& folder, const std::string& name) {
    struct stat info;
    if (lstat((folder + "/" + name).c_str(), &info) == 0) {
        return name;
    }
    std::string found = name;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (strcasecmp(entry->d_name, name.c_str()) == 0) {
                found = entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return found;
}

// A Windows path's host file, through the file functions' path mapping.
std::string MapWindowsPath(const std::string& path) {
    ovlayer::HostEntry entry;
    ovlayer::FindHostEntry(path.c_str(), &entry);
    return entry.host;
}

std::string HostToWindowsPath(const std::string& hostPath) {
    char resolved[4096];
    const std::string driveC = realpath(ovlayer::DriveFolder('c').c_str(), resolved)
                                   ? resolved
                                   : ovlayer::DriveFolder('c');
    std::string windows;
    if (hostPath.compare(0, driveC.size(), driveC) == 0 &&
        (hostPath.size() == driveC.size() || hostPath[driveC.size()] == '/')) {
        windows = "C:" + hostPath.substr(driveC.size());
    } else {
        windows = "Z:" + hostPath;
    }
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows.size() == 2 ? windows + "\\" : windows;
}

// ---- Finding the file ----

// ".dll" is assumed when the file name has no extension; a trailing dot means "none".
std::string WithDefaultExtension(std::string name) {
    const std::string base = BaseName(name);
    if (base.find('.') == std::string::npos) {
        name += ".dll";
    } else if (name.back() == '.') {
        name.pop_back();
    }
    return name;
}

bool IsBareName(const std::string& name) {
    return name.find_first_of("\\/:") == std::string::npos;
}

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? HostFolderOf(std::string(path, length)) : "/";
}

std::string FindInFolder(const std::string& folder, const std::string& name) {
    const std::string candidate = folder + "/" + EntryIgnoringCase(folder, name);
    struct stat info;
    return stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? candidate : "";
}

std::string SearchBareName(const std::string& name) {
    const std::string folders[] = {ProgramFolder(), MapWindowsPath(kSystemFolder),
                                   MapWindowsPath(ovlayer::CurrentFolder())};
    for (const std::string& folder : folders) {
        std::string found = FindInFolder(folder, name);
        if (!found.empty()) {
            return found;
        }
    }
    return "";
}

// A bare name of a module already loaded names that module, wherever it was loaded from.
HMODULE LoadedByBaseName(const std::string& name) {
    for (auto& entry : Modules()) {
        if (strcasecmp(BaseName(entry.second.hostPath).c_str(), name.c_str()) == 0) {
            return entry.first;
        }
    }
    return nullptr;
}

bool IsElfFile(const std::string& hostPath) {
    FILE* file = fopen(hostPath.c_str(), "rb");
    if (!file) {
        return false;
    }
    char magic[4] = {};
    const bool elf = fread(magic, 1, 4, file) == 4 && memcmp(magic, "\177ELF", 4) == 0;
    fclose(file);
    return elf;
}

HMODULE OpenModule(const std::string& hostPath) {
    struct stat info;
    if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!IsElfFile(hostPath)) {
        SetLastError(kErrorBadExeFormat);
        return nullptr;
    }
    void* handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    link_map* map = nullptr;
    if (!handle || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        if (handle) {
            dlclose(handle);
        }
        // A library that cannot be linked (a missing dependency) is reported as Windows does.
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = reinterpret_cast<HMODULE>(map->l_addr);
    auto found = Modules().find(module);
    if (found != Modules().end()) {
        ++found->second.loadCount;
        return module;
    }
    char resolved[4096];
    const std::string path = realpath(hostPath.c_str(), resolved) ? resolved : hostPath;
    Modules()[module] = Module{handle, map, path, 1};
    return module;
}

Module* FindModule(HMODULE module) {
    auto found = Modules().find(module);
    return found == Modules().end() ? nullptr : &found->second;
}

std::string JournalName(HMODULE module) {
    if (!module) {
        return "NULL";
    }
    if (const ovlayer::BuiltinModule* builtin = ovlayer::BuiltinModuleOfHandle(module)) {
        return builtin->fileName;
    }
    const Module* found = FindModule(module);
    return found ? BaseName(found->hostPath) : "?";
}

bool DefinedIn(void* address, const link_map* map) {
    Dl_info info;
    link_map* owner = nullptr;
    return dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) != 0 &&
           owner == map;
}

std::string ProgramPath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, length) : "";
}

} // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    ovlayer::Record("LoadLibraryA(" + ovlayer::JournalText(fileName) + ")");
    if (Failing(ovlayer::Call::LoadLibraryA)) {
        return nullptr;
    }
    if (!fileName || !*fileName) {
        SetLastError(fileName ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = WithDefaultExtension(fileName);
    if (!IsBareName(name)) {
        return OpenModule(MapWindowsPath(name));
    }
    // The layer's own system modules (psapi.dll) come before any file, as known DLLs do.
    if (const ovlayer::BuiltinModule* builtin = ovlayer::FindBuiltinModule(name.c_str())) {
        return ovlayer::BuiltinModuleHandle(*builtin);
    }
    if (HMODULE loaded = LoadedByBaseName(name)) {
        return OpenModule(FindModule(loaded)->hostPath);
    }
    return OpenModule(SearchBareName(name));
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    const bool byName = reinterpret_cast<uintptr_t>(procName) >= 0x10000;
    ovlayer::Record("GetProcAddress(" + JournalName(module) + ", " +
                    (byName ? std::string(procName)
                            : "#" + std::to_string(reinterpret_cast<uintptr_t>(procName))) +
                    ")");
    if (Failing(ovlayer::Call::GetProcAddress)) {
        return nullptr;
    }
    if (const ovlayer::BuiltinModule* builtin = ovlayer::BuiltinModuleOfHandle(module)) {
        const FARPROC entry = ovlayer::FindBuiltinEntry(*builtin, procName);
        if (!entry) {
            SetLastError(ERROR_PROC_NOT_FOUND);
        }
        return entry;
    }
    const Module* found = module ? FindModule(module) : nullptr;
    if (module && !found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // The program exports nothing, and the layer's modules export by name only.
    if (!found || !byName) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* address = dlsym(found->handle, procName);
    if (!address || !DefinedIn(address, found->map)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    ovlayer::Record("FreeLibrary(" + JournalName(module) + ")");
    if (Failing(ovlayer::Call::FreeLibrary)) {
        return FALSE;
    }
    if (ovlayer::BuiltinModuleOfHandle(module)) {
        return TRUE; // built-in modules stay loaded
    }
    Module* found = FindModule(module);
    if (!found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    void* handle = found->handle;
    if (--found->loadCount == 0) {
        Modules().erase(module);
    }
    dlclose(handle);
    return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode) {
    ovlayer::Record("SetErrorMode(" + std::to_string(mode) + ")");
    const UINT previous = errorMode;
    errorMode = mode;
    return previous;
}

// The whole path when it fits; otherwise cut to size - 1 bytes and terminated, with
// ERROR_INSUFFICIENT_BUFFER, as current Windows does.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    ovlayer::Record("GetModuleFileNameA(" + JournalName(module) + ", " + std::to_string(size) +
                    ")");
    if (Failing(ovlayer::Call::GetModuleFileNameA)) {
        return 0;
    }
    const Module* found = module ? FindModule(module) : nullptr;
    if (module && !found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string path = HostToWindowsPath(found ? found->hostPath : ProgramPath());
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < size) {
        memcpy(fileName, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// The layer plays Windows 7 SP1, the version a fresh Wine prefix reports.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    ovlayer::Record("GetVersionExA()");
    if (Failing(ovlayer::Call::GetVersionExA)) {
        return FALSE;
    }
    const DWORD extendedSize = sizeof(OSVERSIONINFOA) + 8;
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                  info->dwOSVersionInfoSize != extendedSize)) {
        SetLastError(info ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    strcpy(info->szCSDVersion, "Service Pack 1");
    if (info->dwOSVersionInfoSize == extendedSize) {
        // wServicePackMajor, wServicePackMinor, wSuiteMask, wProductType, wReserved
        const BYTE extra[8] = {1, 0, 0, 0, 0, 1, 1, 0};
        memcpy(reinterpret_cast<BYTE*>(info) + sizeof(OSVERSIONINFOA), extra, sizeof extra);
    }
    return TRUE;
}

} // extern "C"
