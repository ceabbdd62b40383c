// The maker's object broker library, loaded at run time as "objb3201.dll" from the folder of
// DT_Objbrokr. Its set-up entry yields the root object through which the setup engine's factory
// is reached; its shutdown entry is called before it is unloaded.
#pragma once

#include "platform/win32api.h"
#include "support/unknown.h"

class DynamicLibrary;

// The broker library's entries, by name.
extern const char kBrokerSetupEntryName[];    // "OVSetupObjectBroker"
extern const char kBrokerShutdownEntryName[]; // "OVShutdownObjectBroker"
typedef HRESULT(WINAPI* BrokerSetupEntry)(Unknown** root);
typedef HRESULT(WINAPI* BrokerShutdownEntry)();

// Process-wide: holds the broker library from StartObjectBroker to StopObjectBroker. At process
// exit a held library is unloaded without its shutdown entry being called.
class ObjectBrokerLoader {
public:
    // The loader, made on first use; null only when it cannot be allocated.
    static ObjectBrokerLoader* Instance();

    // 0 when the library is held and loaded; E_OUTOFMEMORY, or E_FAIL when the file cannot be
    // loaded (the library object is held all the same).
    HRESULT LoadBroker();
    // The result of unloading (0, or 1 when the held library had not loaded); 0 with none held.
    int UnloadBroker();
    DynamicLibrary* Library() const { return library_; }

    ~ObjectBrokerLoader();

private:
    ObjectBrokerLoader() = default;
    ObjectBrokerLoader(const ObjectBrokerLoader&) = delete;
    ObjectBrokerLoader& operator=(const ObjectBrokerLoader&) = delete;

    DynamicLibrary* library_ = nullptr;
};

// Loads the broker and calls its set-up entry with root, which the caller sets to null. Returns
// the entry's result when it succeeds with a root object. Fails with E_WRONG_STATE while a
// broker is held, E_OUTOFMEMORY, E_FAIL when the library cannot be loaded, the entry's own
// failure, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when the library has no set-up entry, and
// E_POINTER when the entry reports success without a root object: a result that is not a
// failure always comes with a root.
HRESULT StartObjectBroker(Unknown** root);

// Calls the held broker's shutdown entry, then unloads it. Returns the result of unloading, or 0
// when no broker is held.
int StopObjectBroker();
