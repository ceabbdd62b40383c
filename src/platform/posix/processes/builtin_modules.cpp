#include "platform/posix/processes/builtin_modules.h"

#include <cstdint>
#include <set>

namespace ovlayer {
namespace {

std::set<std::string>& Absent() {
    static std::set<std::string> absent;
    return absent;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// "psapi" and "PSAPI.DLL" both name psapi.dll; a trailing dot means "no extension".
std::string ModuleKey(const char* fileName) {
    std::string name = Lower(fileName);
    if (name.find('.') == std::string::npos) {
        name += ".dll";
    } else if (name.back() == '.') {
        name.pop_back();
    }
    return name;
}

} // namespace

const BuiltinModule* FindBuiltinModule(const char* fileName) {
    if (fileName == nullptr) {
        return nullptr;
    }
    const std::string text = fileName;
    if (text.find_first_of("\\/:") != std::string::npos) {
        return nullptr;
    }
    const std::string key = ModuleKey(fileName);
    const BuiltinModule* modules[] = {&PsapiModule()};
    for (const BuiltinModule* module : modules) {
        if (key == module->fileName && Absent().count(key) == 0) {
            return module;
        }
    }
    return nullptr;
}

HMODULE BuiltinModuleHandle(const BuiltinModule& module) {
    return reinterpret_cast<HMODULE>(const_cast<BuiltinModule*>(&module));
}

const BuiltinModule* BuiltinModuleOfHandle(HMODULE handle) {
    const BuiltinModule* modules[] = {&PsapiModule()};
    for (const BuiltinModule* module : modules) {
        if (handle == BuiltinModuleHandle(*module)) {
            return module;
        }
    }
    return nullptr;
}

FARPROC FindBuiltinEntry(const BuiltinModule& module, const char* name) {
    // A name below 0x10000 is an ordinal; built-in modules export by name only.
    if (reinterpret_cast<uintptr_t>(name) < 0x10000 ||
        Absent().count(std::string(module.fileName) + "!" + name) != 0) {
        return nullptr;
    }
    for (size_t i = 0; i < module.entryCount; ++i) {
        if (std::string(module.entries[i].name) == name) {
            return module.entries[i].address;
        }
    }
    return nullptr;
}

void SetBuiltinAbsent(const std::string& fileName, const std::string& entry) {
    const std::string key = ModuleKey(fileName.c_str());
    Absent().insert(entry.empty() ? key : key + "!" + entry);
}

void RestoreBuiltins() {
    Absent().clear();
}

} // namespace ovlayer
