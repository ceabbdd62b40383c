#include "loader/library_access_paths.h"

namespace {

const char* const kKindNames[kLibraryKindCount] = {
    "DT_NotDef", "DT_Plugins",   "DT_Codecs",   "DT_EncSDK",
    "DT_Common", "DT_Update_OB", "DT_Objbrokr", "DT_LCAPlugins",
};

const int kEntriesPerBlock = 10;

} // namespace

LibraryAccessPaths::LibraryAccessPaths() : folders_(kEntriesPerBlock) {}

LibraryAccessPaths::~LibraryAccessPaths() = default;

ULONG LibraryAccessPaths::AddRef() {
    return ++refCount_;
}

ULONG LibraryAccessPaths::Release() {
    if (--refCount_ > 0) {
        return refCount_;
    }
    delete this;
    return 0;
}

LibraryAccessPaths& LibraryAccessPaths::Instance() {
    static LibraryAccessPaths instance;
    return instance;
}

const char* LibraryAccessPaths::KindName(unsigned kind) {
    kind &= 0xFFFF;
    return kind < kLibraryKindCount ? kKindNames[kind] : nullptr;
}

HRESULT LibraryAccessPaths::SetKindPath(unsigned kind, const char* folder) {
    const char* name = KindName(kind);
    if (name == nullptr) {
        return E_FAIL;
    }
    return SetNamedPath(name, folder);
}

HRESULT LibraryAccessPaths::SetNamedPath(const char* name, const char* folder) {
    if (name == nullptr || folder == nullptr || *folder == '\0') {
        return S_OK;
    }
    String stored(folder);
    if (stored.Text()[stored.Length() - 1] != '\\') {
        stored += '\\';
    }
    folders_.ValueFor(name) = stored;
    return S_OK;
}

const char* LibraryAccessPaths::GetKindPath(unsigned kind) const {
    const char* name = KindName(kind);
    return name == nullptr ? nullptr : GetNamedPath(name);
}

// The stored String's own text, so that it stays valid after the call.
const char* LibraryAccessPaths::GetNamedPath(const char* name) const {
    const String* stored = name == nullptr ? nullptr : folders_.FindValue(name);
    return stored == nullptr ? nullptr : stored->Text();
}

HRESULT LibraryAccessPaths::PassAccessPaths(AccessPathEntry entry) const {
    if (folders_.GetCount() == 0) {
        return S_OK;
    }
    String name;
    String folder;
    size_t total = 0;
    for (StringMap::Position at = folders_.GetStartPosition(); at != nullptr;) {
        folders_.GetNextEntry(at, name, folder);
        total += name.Length() + folder.Length() + 2;
    }
    if (total == 0) {
        return S_OK;
    }
    char* block = static_cast<char*>(malloc(total + 1));
    if (block == nullptr) {
        return E_FAIL;
    }
    char* end = block;
    for (StringMap::Position at = folders_.GetStartPosition(); at != nullptr;) {
        folders_.GetNextEntry(at, name, folder);
        memcpy(end, name.Text(), name.Length());
        end += name.Length();
        *end++ = '=';
        memcpy(end, folder.Text(), folder.Length());
        end += folder.Length();
        *end++ = '\0';
    }
    *end = '\0';
    entry(block);
    free(block);
    return S_OK;
}
