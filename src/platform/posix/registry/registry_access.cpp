#include "platform/posix/registry/registry_access.h"

namespace ovlayer {
namespace {

const REGSAM kGenericRead = 0x80000000;
const REGSAM kGenericWrite = 0x40000000;
const REGSAM kGenericAll = 0x10000000;

// The access a new handle gets. MAXIMUM_ALLOWED (RegOpenKeyA, RegCreateKeyA) gives all that the

// key allows; asking for more than reading from a key that refuses writes is denied.
LONG Grant(REGSAM desired, const KeyView& view, REGSAM* granted) {
    const bool refused = Refuses(view.Top());
    REGSAM asked = desired & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (asked & kGenericRead) {
        asked = (asked & ~kGenericRead) | KEY_READ;
    }
    if (asked & kGenericWrite) {
        asked = (asked & ~kGenericWrite) | KEY_WRITE;
    }
    if (asked & kGenericAll) {
        asked = (asked & ~kGenericAll) | KEY_ALL_ACCESS;
    }
    if (asked & kMaximumAllowed) {
        *granted = refused ? KEY_READ : KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    if (refused && (asked & ~static_cast<REGSAM>(KEY_READ))) {
        return ERROR_ACCESS_DENIED;
    }
    *granted = asked;
    return ERROR_SUCCESS;
}

std::string JoinPath(const std::string& parent, const char* subKey) {
    std::string tail = subKey ? subKey : "";
    while (!tail.empty() && tail.back() == '\\') {
        tail.pop_back();
    }
    return tail.empty() ? parent : parent + "\\" + tail;
}

} // namespace

LONG Use(HKEY key, REGSAM needed, const OpenKey** open) {
    *open = FindHandle(key);
    if (!*open) {
        return ERROR_INVALID_HANDLE;
    }
    if ((*open)->view.Deleted()) {
        return ERROR_KEY_DELETED;
    }
    if (((*open)->access & needed) != needed) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

bool Refuses(const RegKey* key) {
    return RegistryStore::Get().Refuses(key->Root());
}

LONG SplitSubKey(const char* subKey, std::vector<std::string>* names) {
    if (!SplitKeyPath(subKey ? subKey : "", names)) {
        return ERROR_BAD_PATHNAME;
    }
    for (const std::string& name : *names) {
        if (name.size() > kMaxKeyNameLength) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY key, const char* subKey, DWORD options, REGSAM desired, bool create,
                  PHKEY result, LPDWORD disposition) {
    *result = nullptr;
    const OpenKey* parent = FindHandle(key);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    // NT lets a path below HKEY_CLASSES_ROOT begin with a backslash when opening.
    if (!create && key == HKEY_CLASSES_ROOT && subKey && *subKey == '\\') {
        ++subKey;
    }
    std::vector<std::string> names;
    if (LONG status = SplitSubKey(subKey, &names)) {
        return status;
    }
    if (parent->view.Deleted()) {
        return ERROR_KEY_DELETED;
    }
    KeyView found;
    bool created = false;
    if (create) {
        if (LONG status = CreateSubKey(parent->view, names, options, &found, &created)) {
            return status;
        }
    } else {
        found = FindSubKey(parent->view, names, (options & REG_OPTION_OPEN_LINK) != 0);
        if (!found.Exists()) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    REGSAM granted;
    if (LONG status = Grant(desired, found, &granted)) {
        return status;
    }
    if (created) {
        const RegOp::Kind kind = found.Top()->IsLink() ? RegOp::kCreateLink : RegOp::kCreateKey;
        RegistryStore::Get().Changed(RegOp{kind, found.Top()->Path(), "", 0, ""});
    }
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = AddHandle(OpenKey{found, JoinPath(parent->path, subKey), granted});
    return ERROR_SUCCESS;
}

} // namespace ovlayer
