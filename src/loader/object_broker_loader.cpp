#include "loader/object_broker_loader.h"

#include "loader/dynamic_library.h"
#include "loader/library_kind.h"
#include "loader/library_name.h"
#include "support/result_codes.h"

#include <new>

const char kBrokerSetupEntryName[] = "OVSetupObjectBroker";
const char kBrokerShutdownEntryName[] = "OVShutdownObjectBroker";

namespace {

// Owns the loader for the life of the process.
struct LoaderHolder {
    ObjectBrokerLoader* loader = nullptr;
    ~LoaderHolder() {
        if (loader != nullptr) {
            loader->UnloadBroker();
            delete loader;
        }
    }
};

} // namespace

ObjectBrokerLoader* ObjectBrokerLoader::Instance() {
    static LoaderHolder holder;
    if (holder.loader == nullptr) {
        holder.loader = new (std::nothrow) ObjectBrokerLoader;
    }
    return holder.loader;
}

ObjectBrokerLoader::~ObjectBrokerLoader() {
    delete library_;
}

HRESULT ObjectBrokerLoader::LoadBroker() {
    if (library_ != nullptr) {
        return S_OK;
    }
    library_ = new (std::nothrow) DynamicLibrary;
    if (library_ == nullptr) {
        return E_OUTOFMEMORY;
    }
    char name[MAX_PATH];
    DWORD size = sizeof name;
    MakeVersionedLibraryName("objb", "objbrokr", name, &size, 0, 1);
    return library_->Load(name, DT_Objbrokr) == 0 ? S_OK : E_FAIL;
}

int ObjectBrokerLoader::UnloadBroker() {
    if (library_ == nullptr) {
        return 0;
    }
    const int result = library_->Unload();
    delete library_;
    library_ = nullptr;
    return result;
}

HRESULT StartObjectBroker(Unknown** root) {
    if (root == nullptr) {
        return E_POINTER;
    }
    ObjectBrokerLoader* loader = ObjectBrokerLoader::Instance();
    if (loader == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (loader->Library() != nullptr) {
        return E_WRONG_STATE;
    }
    const HRESULT loaded = loader->LoadBroker();
    if (FAILED(loaded)) {
        return loaded;
    }
    // Without its set-up entry the library yields no root object, and the caller would take
    // the load's success for one.
    BrokerSetupEntry setup =
        loader->Library()->FindSymbolAs<BrokerSetupEntry>(kBrokerSetupEntryName);
    if (setup == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    const HRESULT result = setup(root);
    if (SUCCEEDED(result) && *root == nullptr) {
        return E_POINTER;
    }
    return result;
}

int StopObjectBroker() {
    ObjectBrokerLoader* loader = ObjectBrokerLoader::Instance();
    if (loader == nullptr || loader->Library() == nullptr) {
        return 0;
    }
    if (BrokerShutdownEntry shutdown =
            loader->Library()->FindSymbolAs<BrokerShutdownEntry>(kBrokerShutdownEntryName)) {
        shutdown();
    }
    return loader->UnloadBroker();
}
