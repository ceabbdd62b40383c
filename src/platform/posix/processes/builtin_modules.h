// Modules the Linux layer provides itself, as Windows ships its system DLLs: LoadLibraryA finds
// them by file name before it looks for a file, and GetProcAddress resolves their entries from a
// table. psapi.dll is one; its entries read /proc.
#pragma once

#include "platform/posix/core/win32_types.h"

#include <cstddef>
#include <string>

namespace ovlayer {

struct BuiltinEntry {
    const char* name;
    FARPROC address;
};

struct BuiltinModule {
    const char* fileName; // lower case, with its extension: "psapi.dll"
    const BuiltinEntry* entries;
    size_t entryCount;
};

// The built-in module a bare file name names (letter case ignored, ".dll" assumed when the name
// has no extension, as LoadLibraryA does), or null. A name with a folder is never built-in here:
// the loader decides whether a path names the system folder.
const BuiltinModule* FindBuiltinModule(const char* fileName);

// The handle LoadLibraryA gives for a built-in module, and the module a handle stands for (null
// for any other handle). The handle is the address of the module's table, which no shared object
// is loaded at.
HMODULE BuiltinModuleHandle(const BuiltinModule& module);
const BuiltinModule* BuiltinModuleOfHandle(HMODULE handle);

// The address of the module's entry `name` (case matters, as in GetProcAddress), or null.
FARPROC FindBuiltinEntry(const BuiltinModule& module, const char* name);

// Tests: play a system that lacks a built-in module (entry empty) or one entry of it.
void SetBuiltinAbsent(const std::string& fileName, const std::string& entry = std::string());
void RestoreBuiltins();

// The module table of psapi.dll (psapi.cpp).
const BuiltinModule& PsapiModule();

} // namespace ovlayer
