#include "loader/dynamic_library.h"

#include "loader/library_access_paths.h"
#include "support/string.h"

namespace {

const char kAlreadyOpen[] = "DLL already open";
const char kUnableToLoad[] = "Unable to load library";
const char kNotLoaded[] = "DLL not loaded";
const char kSymbolNotFound[] = "Symbol not found";

} // namespace

DynamicLibrary::~DynamicLibrary() {
    if (isLoaded_) {
        Unload();
    }
    free(lastErrorText_);
    free(loadedPath_);
}

// A text that cannot be copied leaves the field null; a null text leaves it unchanged.
void DynamicLibrary::Replace(char*& field, const char* text) {
    if (text == nullptr) {
        return;
    }
    free(field);
    const size_t size = strlen(text) + 1;
    field = static_cast<char*>(malloc(size));
    if (field != nullptr) {
        memcpy(field, text, size);
    }
}

int DynamicLibrary::Fail(int result, const char* text) {
    lastError_ = result;
    Replace(lastErrorText_, text);
    return result;
}

int DynamicLibrary::Load(const char* fileName, unsigned kind) {
    if (isLoaded_) {
        return Fail(1, kAlreadyOpen);
    }
    String path;
    if ((kind & 0xFFFF) != DT_NotDef) {
        if (const char* folder = LibraryAccessPaths::Instance().GetKindPath(kind)) {
            path = folder;
        }
    }
    path += fileName ? fileName : "";

    const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(mode);
    if (module == nullptr) {
        return Fail(1, kUnableToLoad);
    }
    moduleHandle_ = module;
    lastError_ = 0;
    isLoaded_ = 1;
    Replace(lastErrorText_, "");
    Replace(loadedPath_, path);

    // A library without the export is loaded all the same.
    if (AccessPathEntry entry = FindSymbolAs<AccessPathEntry>("SetDLLAccessPath")) {
        LibraryAccessPaths::Instance().PassAccessPaths(entry);
    }
    lastError_ = 0;
    return 0;
}

int DynamicLibrary::Unload() {
    if (!isLoaded_) {
        return Fail(1, kNotLoaded);
    }
    FreeLibrary(moduleHandle_);
    lastError_ = 0;
    isLoaded_ = 0;
    Replace(lastErrorText_, "");
    Replace(loadedPath_, "");
    return 0;
}

FARPROC DynamicLibrary::FindSymbol(const char* name) {
    if (!isLoaded_) {
        Fail(2, kNotLoaded);
        return nullptr;
    }
    FARPROC address = GetProcAddress(moduleHandle_, name);
    if (address == nullptr) {
        Fail(2, kSymbolNotFound);
    }
    return address;
}
