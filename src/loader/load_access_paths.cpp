#include "loader/common_preferences.h"
#include "loader/library_access_paths.h"
#include "registry/preference_store.h"
#include "support/buffer.h"

namespace {

const char kCompany[] = "Orvane";

// The setting's text ends at its terminator or at the size the registry reported, whichever
// comes first: a value stored without a terminator is never read past its end.
String SettingText(Buffer* value) {
    const char* data = reinterpret_cast<const char*>(value->GetData());
    const DWORD size = value->GetSize();
    const void* terminator = memchr(data, '\0', size);
    const DWORD length =
        terminator ? static_cast<DWORD>(static_cast<const char*>(terminator) - data) : size;
    return String(data, static_cast<int>(length));
}

} // namespace

HRESULT LoadAccessPathsFromRegistry() {
    PreferenceStore* store = OpenCommonPreferences(kCompany);
    if (store == nullptr) {
        return S_OK;
    }
    LibraryAccessPaths& table = LibraryAccessPaths::Instance();
    for (unsigned kind = 0; kind < kLibraryKindCount; ++kind) {
        Buffer* value = nullptr;
        if (SUCCEEDED(store->ReadPref(LibraryAccessPaths::KindName(kind), &value)) && value) {
            table.SetKindPath(kind, SettingText(value));
            value->Release();
        }
    }
    delete store;
    return S_OK;
}
