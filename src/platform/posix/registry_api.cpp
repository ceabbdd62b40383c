// The advapi32 registry functions over the machine's registry, with the statuses, out-argument
// rules and quirks of the real ones (as Wine and Windows show them).
#include "platform/posix/registry_api.h"

#include "platform/posix/registry_handles.h"
#include "platform/posix/test_controls.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>

using namespace ovlayer;

namespace {

const REGSAM kMaximumAllowed = 0x02000000;
const REGSAM kGenericRead = 0x80000000;
const REGSAM kGenericWrite = 0x40000000;
const REGSAM kGenericAll = 0x10000000;
const LONG kErrorNoAccess = 998; // ERROR_NOACCESS: a null buffer with a size
const size_t kMaxKeyNameLength = 255;
const size_t kMaxValueNameLength = 16383;

std::string Text(const char* text) {
    return text ? text : "(null)";
}

std::string Hex(unsigned long number) {
    char text[16];
    snprintf(text, sizeof text, "0x%lX", number);
    return text;
}

// Records the call, then answers an injected failure or the registry's own failure (a damaged
// registry.reg), if any.
template <typename Describe> LONG Enter(const char* function, Describe describe) {
    if (JournalRunning()) {
        Record(std::string(function) + "(" + describe() + ")");
    }
    long injected;
    if (TakeInjectedFailure(function, &injected)) {
        return injected;
    }
    return RegistryStore::Get().Status();
}

// The handle's key for an operation that needs `needed` access; status otherwise.
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

std::string JoinPath(const std::string& parent, const char* subKey) {
    std::string tail = subKey ? subKey : "";
    while (!tail.empty() && tail.back() == '\\') {
        tail.pop_back();
    }
    return tail.empty() ? parent : parent + "\\" + tail;
}

// The shared work of the open and create functions; *result is null on failure.
LONG OpenOrCreate(HKEY key, const char* subKey, REGSAM desired, bool create, PHKEY result,
                  LPDWORD disposition) {
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
        if (LONG status = CreateSubKey(parent->view, names, &found, &created)) {
            return status;
        }
    } else {
        found = FindSubKey(parent->view, names);
        if (!found.Exists()) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    REGSAM granted;
    if (LONG status = Grant(desired, found, &granted)) {
        return status;
    }
    if (created) {
        RegistryStore::Get().Changed(RegOp{RegOp::kCreateKey, found.Top()->Path(), "", 0, ""});
    }
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = AddHandle(OpenKey{found, JoinPath(parent->path, subKey), granted});
    return ERROR_SUCCESS;
}

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LONG QueryValue(const RegKey& key, const char* name, LPDWORD type, LPBYTE data, LPDWORD size) {
    const RegValue* value = key.Value(name ? name : "");
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    const DWORD stored = static_cast<DWORD>(value->data.size());
    if (type) {
        *type = value->type;
    }
    if (data && stored > *size) {
        *size = stored;
        return ERROR_MORE_DATA;
    }
    if (data) {
        memcpy(data, value->data.data(), stored);
    }
    if (size) {
        *size = stored;
    }
    return ERROR_SUCCESS;
}

LONG SetValue(const OpenKey& open, const char* name, DWORD type, const BYTE* data, DWORD size) {
    RegKey* key = open.view.Top();
    if (Refuses(key)) {
        return ERROR_ACCESS_DENIED;
    }
    std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    key->SetValue(name ? name : "", type, bytes);
    RegistryStore::Get().Changed(
        RegOp{RegOp::kSetValue, key->Path(), name ? name : "", type, std::move(bytes)});
    return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY key, const char* subKey) {
    if (!subKey) {
        return ERROR_INVALID_PARAMETER;
    }
    const OpenKey* parent = FindHandle(key);
    if (!parent) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> names;
    if (LONG status = SplitSubKey(subKey, &names)) {
        return status;
    }
    if (parent->view.Deleted()) {
        return ERROR_KEY_DELETED;
    }
    const KeyView found = FindSubKey(parent->view, names);
    if (!found.Exists()) {
        return ERROR_FILE_NOT_FOUND;
    }
    RegKey* target = found.Top();
    // A root cannot go, nor a key with sub-keys (NT does not delete recursively).
    if (!target->Parent() || Refuses(target) || target->ChildCount() > 0) {
        return ERROR_ACCESS_DENIED;
    }
    std::string path = target->Path();
    target->Parent()->RemoveChild(target->Name());
    RegistryStore::Get().Changed(RegOp{RegOp::kDeleteKey, std::move(path), "", 0, ""});
    return ERROR_SUCCESS;
}

FILETIME Now() {
    // 100-nanosecond intervals since 1601, as Windows counts time.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time(nullptr)) + 11644473600ULL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

LONG EnumKey(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPSTR className,
             LPDWORD classSize, PFILETIME lastWriteTime) {
    if (!name || !nameSize || (className && !classSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    const OpenKey* open;
    if (LONG status = Use(key, KEY_ENUMERATE_SUB_KEYS, &open)) {
        return status;
    }
    const std::shared_ptr<RegKey> child = SubKeyAt(open->view, index);
    if (!child) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& found = child->Name();
    if (found.size() + 1 > *nameSize || (className && *classSize < 1)) {
        return ERROR_MORE_DATA;
    }
    memcpy(name, found.c_str(), found.size() + 1);
    *nameSize = static_cast<DWORD>(found.size());
    if (className) {
        *className = '\0';
        *classSize = 0;
    }
    if (lastWriteTime) {
        *lastWriteTime = Now();
    }
    return ERROR_SUCCESS;
}

} // namespace

extern "C" {

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (LONG status = Enter("RegOpenKeyA", [&] { return HandleName(key) + ", " + Text(subKey); })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!subKey || !*subKey) { // the same handle, as Windows gives it
        *result = key;
        return ERROR_SUCCESS;
    }
    return OpenOrCreate(key, subKey, kMaximumAllowed, false, result, nullptr);
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    if (LONG status = Enter("RegOpenKeyExA", [&] {
            return HandleName(key) + ", " + Text(subKey) + ", " + Hex(desired);
        })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, desired, false, result, nullptr);
}

LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (LONG status =
            Enter("RegCreateKeyA", [&] { return HandleName(key) + ", " + Text(subKey); })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, kMaximumAllowed, true, result, nullptr);
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM desired,
                            LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (LONG status = Enter("RegCreateKeyExA", [&] {
            return HandleName(key) + ", " + Text(subKey) + ", " + Hex(desired);
        })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, desired, true, result, disposition);
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (LONG status = Enter("RegCloseKey", [&] { return HandleName(key); })) {
        return status;
    }
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
        key == HKEY_USERS) {
        return ERROR_SUCCESS;
    }
    return RemoveHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (LONG status =
            Enter("RegDeleteKeyA", [&] { return HandleName(key) + ", " + Text(subKey); })) {
        return status;
    }
    return DeleteKey(key, subKey);
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    if (LONG status =
            Enter("RegEnumKeyA", [&] { return HandleName(key) + ", " + std::to_string(index); })) {
        return status;
    }
    return EnumKey(key, index, name, &nameSize, nullptr, nullptr, nullptr);
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR className, LPDWORD classSize, PFILETIME lastWriteTime) {
    if (LONG status = Enter("RegEnumKeyExA",
                            [&] { return HandleName(key) + ", " + std::to_string(index); })) {
        return status;
    }
    if (reserved) {
        return ERROR_INVALID_PARAMETER;
    }
    return EnumKey(key, index, name, nameSize, className, classSize, lastWriteTime);
}

LONG WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD reserved,
                             LPDWORD subKeys, LPDWORD maxSubKeyLen, LPDWORD maxClassLen,
                             LPDWORD values, LPDWORD maxValueNameLen, LPDWORD maxValueLen,
                             LPDWORD securityDescriptor, PFILETIME lastWriteTime) {
    if (LONG status = Enter("RegQueryInfoKeyA", [&] { return HandleName(key); })) {
        return status;
    }
    if (reserved || (className && !classSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    const OpenKey* open;
    if (LONG status = Use(key, 0, &open)) {
        return status;
    }
    if (className && *classSize < 1) {
        return ERROR_MORE_DATA;
    }
    const KeyView& view = open->view;
    const RegKey& top = *view.Top();
    if (className) {
        *className = '\0';
        *classSize = 0;
    }
    if (subKeys) {
        *subKeys = static_cast<DWORD>(SubKeyCount(view));
    }
    if (maxSubKeyLen) { // only worked out when asked for: it visits every sub-key
        size_t longest = 0;
        for (size_t i = 0; std::shared_ptr<RegKey> child = SubKeyAt(view, i); ++i) {
            longest = std::max(longest, child->Name().size());
        }
        *maxSubKeyLen = static_cast<DWORD>(longest);
    }
    if (maxClassLen) {
        *maxClassLen = 0;
    }
    if (values) {
        *values = static_cast<DWORD>(top.ValueCount());
    }
    if (maxValueNameLen || maxValueLen) {
        size_t longestName = 0;
        size_t longestData = 0;
        for (size_t i = 0; i < top.ValueCount(); ++i) {
            longestName = std::max(longestName, top.ValueAt(i)->name.size());
            longestData = std::max(longestData, top.ValueAt(i)->data.size());
        }
        if (maxValueNameLen) {
            *maxValueNameLen = static_cast<DWORD>(longestName);
        }
        if (maxValueLen) {
            *maxValueLen = static_cast<DWORD>(longestData);
        }
    }
    if (securityDescriptor) {
        *securityDescriptor = 0;
    }
    if (lastWriteTime) {
        *lastWriteTime = Now();
    }
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueA(HKEY key, LPCSTR subKey, LPSTR data, PLONG dataSize) {
    if (LONG status =
            Enter("RegQueryValueA", [&] { return HandleName(key) + ", " + Text(subKey); })) {
        return status;
    }
    if (data && !dataSize) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY sub = key;
    if (subKey && *subKey) {
        if (LONG status = OpenOrCreate(key, subKey, kMaximumAllowed, false, &sub, nullptr)) {
            return status;
        }
    }
    const OpenKey* open;
    LONG status = Use(sub, KEY_QUERY_VALUE, &open);
    if (status == ERROR_SUCCESS) {
        status = QueryValue(*open->view.Top(), "", nullptr, reinterpret_cast<LPBYTE>(data),
                            reinterpret_cast<LPDWORD>(dataSize));
    }
    if (sub != key) {
        RemoveHandle(sub);
    }
    if (status == ERROR_FILE_NOT_FOUND) { // a key without a default value reads as ""
        if (data) {
            *data = '\0';
        }
        if (dataSize) {
            *dataSize = 1;
        }
        status = ERROR_SUCCESS;
    }
    return status;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
    if (LONG status =
            Enter("RegQueryValueExA", [&] { return HandleName(key) + ", " + Text(valueName); })) {
        return status;
    }
    if ((data && !dataSize) || reserved) {
        return ERROR_INVALID_PARAMETER;
    }
    // As NT does: a size asked for without a buffer starts at 0, and a failed query reports
    // the type REG_NONE.
    if (!data && dataSize) {
        *dataSize = 0;
    }
    const OpenKey* open;
    LONG status = Use(key, KEY_QUERY_VALUE, &open);
    if (status == ERROR_SUCCESS) {
        status = QueryValue(*open->view.Top(), valueName, type, data, dataSize);
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA && type) {
        *type = REG_NONE;
    }
    return status;
}

LONG WINAPI RegSetValueA(HKEY key, LPCSTR subKey, DWORD type, LPCSTR data, DWORD) {
    if (LONG status =
            Enter("RegSetValueA", [&] { return HandleName(key) + ", " + Text(subKey); })) {
        return status;
    }
    // The size is ignored: the default value gets the whole text with its terminator.
    if (type != REG_SZ || !data) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY sub = key;
    if (subKey && *subKey) {
        if (LONG status = OpenOrCreate(key, subKey, KEY_SET_VALUE, true, &sub, nullptr)) {
            return status;
        }
    }
    const OpenKey* open;
    LONG status = Use(sub, KEY_SET_VALUE, &open);
    if (status == ERROR_SUCCESS) {
        status = SetValue(*open, "", REG_SZ, reinterpret_cast<const BYTE*>(data),
                          static_cast<DWORD>(strlen(data) + 1));
    }
    if (sub != key) {
        RemoveHandle(sub);
    }
    return status;
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                           DWORD dataSize) {
    if (LONG status = Enter("RegSetValueExA", [&] {
            return HandleName(key) + ", " + Text(valueName) + ", " + std::to_string(type);
        })) {
        return status;
    }
    if (!data && dataSize) {
        return kErrorNoAccess;
    }
    if (valueName && strlen(valueName) > kMaxValueNameLength) {
        return ERROR_INVALID_PARAMETER;
    }
    // NT counts a terminator the caller left out of the size when one follows the data.
    if (data && dataSize && IsTextType(type) && data[dataSize - 1] && !data[dataSize]) {
        ++dataSize;
    }
    const OpenKey* open;
    if (LONG status = Use(key, KEY_SET_VALUE, &open)) {
        return status;
    }
    return SetValue(*open, valueName, type, data, dataSize);
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    if (LONG status =
            Enter("RegDeleteValueA", [&] { return HandleName(key) + ", " + Text(valueName); })) {
        return status;
    }
    const OpenKey* open;
    if (LONG status = Use(key, KEY_SET_VALUE, &open)) {
        return status;
    }
    RegKey* top = open->view.Top();
    const std::string name = valueName ? valueName : "";
    if (!top->Value(name)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (Refuses(top)) {
        return ERROR_ACCESS_DENIED;
    }
    top->DeleteValue(name);
    RegistryStore::Get().Changed(RegOp{RegOp::kDeleteValue, top->Path(), name, 0, ""});
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (LONG status = Enter("RegEnumValueA",
                            [&] { return HandleName(key) + ", " + std::to_string(index); })) {
        return status;
    }
    if (reserved || !valueName || !valueNameSize || (data && !dataSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    const OpenKey* open;
    if (LONG status = Use(key, KEY_QUERY_VALUE, &open)) {
        return status;
    }
    const RegValue* value = open->view.Top()->ValueAt(index);
    if (!value) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (value->name.size() + 1 > *valueNameSize) {
        return ERROR_MORE_DATA;
    }
    if (data && value->data.size() > *dataSize) {
        if (type) {
            *type = value->type;
        }
        *dataSize = static_cast<DWORD>(value->data.size());
        return ERROR_MORE_DATA;
    }
    memcpy(valueName, value->name.c_str(), value->name.size() + 1);
    *valueNameSize = static_cast<DWORD>(value->name.size());
    return QueryValue(*open->view.Top(), value->name.c_str(), type, data, dataSize);
}

} // extern "C"
