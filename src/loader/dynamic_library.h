// One DLL loaded at run time: from the folder the library access path table holds for its kind,
// with the system's critical-error dialogs suppressed, handed the table through its
// SetDLLAccessPath export, its exports resolved by name. Every operation leaves a result (0
// success, 1 load or unload failure, 2 symbol failure) and a short text saying what happened.
#pragma once

#include "platform/win32api.h"

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    // Loads the folder of kind (low 16 bits; none for DT_NotDef or a kind without a folder)
    // followed by fileName. 0 when loaded, else 1.
    int Load(const char* fileName, unsigned kind);
    // 0 when a module was freed, 1 when none was loaded.
    int Unload();
    // The export's address, or null.
    FARPROC FindSymbol(const char* name);
    // The export as a function of the given type, or null.
    template <typename Function> Function FindSymbolAs(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(FindSymbol(name)));
    }

    int LastError() const { return lastError_; }
    // Meaningful while LastError() is not 0; null when none was recorded.
    const char* LastErrorText() const { return lastErrorText_; }
    bool IsLoaded() const { return isLoaded_ != 0; }
    HMODULE ModuleHandle() const { return moduleHandle_; }
    // The path given to the system on the last successful Load; "" after Unload.
    const char* LoadedPath() const { return loadedPath_; }

private:
    int Fail(int result, const char* text);
    static void Replace(char*& field, const char* text);

    HMODULE moduleHandle_ = nullptr;
    LONG lastError_ = 0;
    char* lastErrorText_ = nullptr;
    BOOL isLoaded_ = 0;
    char* loadedPath_ = nullptr;
};
