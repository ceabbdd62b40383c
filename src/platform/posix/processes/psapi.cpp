// The built-in psapi.dll: the process-status entries over /proc. A process's modules are its
// executable followed by the shared objects it has mapped for execution; a module handle is the
// address the module's first byte is mapped at in that process, as on Windows, and a module's
// base name is its file's name.
#include "platform/posix/processes/builtin_modules.h"
#include "platform/posix/files/file_api.h"
#include "platform/posix/processes/process_handles.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <limits.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef ERROR_PARTIAL_COPY
#define ERROR_PARTIAL_COPY 299L
#endif

namespace ovlayer {
namespace {

const DWORD kReadAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

struct Module {
    uintptr_t base;
    std::string path;
};

std::string WithoutDeletedMark(std::string path) {
    static const std::string mark = " (deleted)";
    if (path.size() > mark.size() &&
        path.compare(path.size() - mark.size(), mark.size(), mark) == 0) {
        path.erase(path.size() - mark.size());
    }
    return path;
}

std::string ProcFile(DWORD processId, const char* name) {
    return "/proc/" + std::to_string(processId) + "/" + name;
}

// Empty for a process without an executable file (a kernel thread, a process that has ended).
std::string ExecutablePath(DWORD processId) {
    char target[PATH_MAX];
    const ssize_t length = readlink(ProcFile(processId, "exe").c_str(), target, sizeof target - 1);
    if (length <= 0) {
        return std::string();
    }
    return WithoutDeletedMark(std::string(target, static_cast<size_t>(length)));
}

struct Image {
    uintptr_t base = 0;
    bool baseKnown = false;
    bool executable = false;
};

// One line of /proc/<id>/maps that maps a file: its start, rights, offset and path.
bool ParseMapping(const char* line, uintptr_t* start, bool* executable, bool* fileStart,
                  std::string* path) {
    uintmax_t from = 0;
    uintmax_t offset = 0;
    char perms[8] = {};
    int pathAt = 0;
    if (sscanf(line, "%jx-%*x %7s %jx %*s %*s %n", &from, perms, &offset, &pathAt) < 3 ||
        pathAt == 0 || line[pathAt] != '/') {
        return false;
    }
    *path = line + pathAt;
    if (!path->empty() && path->back() == '\n') {
        path->pop_back();
    }
    *path = WithoutDeletedMark(*path);
    *start = static_cast<uintptr_t>(from);
    *executable = strchr(perms, 'x') != nullptr;
    *fileStart = offset == 0;
    return true;
}

// The files mapped with execute rights, each at the address of its first byte.
std::vector<Module> MappedImages(DWORD processId) {
    std::map<std::string, Image> files;
    if (FILE* maps = fopen(ProcFile(processId, "maps").c_str(), "r")) {
        char line[PATH_MAX + 128];
        uintptr_t start = 0;
        bool executable = false;
        bool fileStart = false;
        std::string path;
        while (fgets(line, sizeof line, maps) != nullptr) {
            if (ParseMapping(line, &start, &executable, &fileStart, &path)) {
                Image& image = files[path];
                image.executable |= executable;
                if (fileStart && (!image.baseKnown || start < image.base)) {
                    image.base = start;
                    image.baseKnown = true;
                }
            }
        }
        fclose(maps);
    }
    std::vector<Module> images;
    for (const auto& file : files) {
        if (file.second.executable && file.second.baseKnown) {
            images.push_back(Module{file.second.base, file.first});
        }
    }
    return images;
}

// The executable first, then the other images in address order; false when the process has no
// executable to show.
bool ReadModules(DWORD processId, std::vector<Module>* modules) {
    const std::string executable = ExecutablePath(processId);
    if (executable.empty()) {
        return false;
    }
    std::vector<Module> images = MappedImages(processId);
    std::sort(images.begin(), images.end(),
              [](const Module& a, const Module& b) { return a.base < b.base; });
    auto exe = std::find_if(images.begin(), images.end(),
                            [&](const Module& m) { return m.path == executable; });
    if (exe == images.end()) {
        return false;
    }
    std::rotate(images.begin(), exe, exe + 1);
    *modules = std::move(images);
    return true;
}

// The modules of an open process, read while it still runs; false with the last error set.
bool ModulesOfHandle(HANDLE process, std::vector<Module>* modules) {
    DWORD processId = 0;
    LONG status = ERROR_SUCCESS;
    if (!ProcessOfHandle(process, kReadAccess, &processId, &status)) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (!ReadModules(processId, modules) || !ProcessStillRuns(process)) {
        SetLastError(ERROR_PARTIAL_COPY);
        return false;
    }
    return true;
}

bool IsNumber(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

BOOL WINAPI EnumProcesses(DWORD* processIds, DWORD size, DWORD* bytesReturned) {
    if (bytesReturned == nullptr || (processIds == nullptr && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<DWORD> found;
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* entry = readdir(proc)) {
            if (IsNumber(entry->d_name)) {
                found.push_back(static_cast<DWORD>(strtoul(entry->d_name, nullptr, 10)));
            }
        }
        closedir(proc);
    }
    std::sort(found.begin(), found.end());
    const size_t count = std::min<size_t>(found.size(), size / sizeof(DWORD));
    std::copy(found.begin(), found.begin() + static_cast<ptrdiff_t>(count), processIds);
    *bytesReturned = static_cast<DWORD>(count * sizeof(DWORD));
    return TRUE;
}

// Fills what fits; `bytesNeeded` tells the size of the whole list.
BOOL WINAPI EnumProcessModules(HANDLE process, HMODULE* modules, DWORD size, DWORD* bytesNeeded) {
    std::vector<Module> found;
    if (bytesNeeded == nullptr || (modules == nullptr && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!ModulesOfHandle(process, &found)) {
        return FALSE;
    }
    const size_t count = std::min<size_t>(found.size(), size / sizeof(HMODULE));
    for (size_t i = 0; i < count; ++i) {
        modules[i] = reinterpret_cast<HMODULE>(found[i].base);
    }
    *bytesNeeded = static_cast<DWORD>(found.size() * sizeof(HMODULE));
    return TRUE;
}

// Copies at most `size` bytes, terminated only when there is room, and returns the count copied.
DWORD WINAPI GetModuleBaseNameA(HANDLE process, HMODULE module, LPSTR name, DWORD size) {
    std::vector<Module> found;
    if (name == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!ModulesOfHandle(process, &found)) {
        return 0;
    }
    auto it = module == nullptr ? found.begin()
                                : std::find_if(found.begin(), found.end(), [&](const Module& m) {
                                      return m.base == reinterpret_cast<uintptr_t>(module);
                                  });
    if (it == found.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::string baseName = it->path.substr(it->path.rfind('/') + 1);
    const DWORD length = std::min<DWORD>(static_cast<DWORD>(baseName.size()), size);
    memcpy(name, baseName.data(), length);
    if (length < size) {
        name[length] = '\0';
    }
    return length;
}

// Entries of every type are kept as FARPROC, as GetProcAddress hands them out; a detour through
// void(*)() says that the change of function type is meant.
template <typename Function> FARPROC EntryAddress(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const BuiltinEntry kEntries[] = {
    {"EnumProcesses", EntryAddress(&EnumProcesses)},
    {"EnumProcessModules", EntryAddress(&EnumProcessModules)},
    {"GetModuleBaseNameA", EntryAddress(&GetModuleBaseNameA)},
};

} // namespace

const BuiltinModule& PsapiModule() {
    static const BuiltinModule module = {"psapi.dll", kEntries, sizeof kEntries / sizeof *kEntries};
    return module;
}

} // namespace ovlayer
