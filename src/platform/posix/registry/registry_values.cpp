// The advapi32 value functions over the machine's registry: query, set, delete and enumerate
// values, with the statuses and out-argument rules of the real ones.
#include "platform/posix/registry/registry_api.h"

#include "platform/posix/registry/registry_access.h"

#include <string.h>

using namespace ovlayer;

namespace {

const LONG kErrorNoAccess = 998; // ERROR_NOACCESS: a null buffer with a size
const size_t kMaxValueNameLength = 16383;

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

} // namespace

extern "C" {

LONG WINAPI RegQueryValueA(HKEY key, LPCSTR subKey, LPSTR data, PLONG dataSize) {
    if (LONG status = Enter(Call::RegQueryValueA,
                            [&] { return HandleName(key) + ", " + JournalText(subKey); })) {
        return status;
    }
    if (data && !dataSize) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY sub = key;
    if (subKey && *subKey) {
        if (LONG status = OpenOrCreate(key, subKey, 0, kMaximumAllowed, false, &sub, nullptr)) {
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
    if (LONG status = Enter(Call::RegQueryValueExA,
                            [&] { return HandleName(key) + ", " + JournalText(valueName); })) {
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
    if (LONG status = Enter(Call::RegSetValueA,
                            [&] { return HandleName(key) + ", " + JournalText(subKey); })) {
        return status;
    }
    // The size is ignored: the default value gets the whole text with its terminator.
    if (type != REG_SZ || !data) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY sub = key;
    if (subKey && *subKey) {
        if (LONG status = OpenOrCreate(key, subKey, 0, KEY_SET_VALUE, true, &sub, nullptr)) {
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
    if (LONG status = Enter(Call::RegSetValueExA, [&] {
            return HandleName(key) + ", " + JournalText(valueName) + ", " + std::to_string(type);
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
    if (LONG status = Enter(Call::RegDeleteValueA,
                            [&] { return HandleName(key) + ", " + JournalText(valueName); })) {
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
    if (LONG status = Enter(Call::RegEnumValueA,
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
    // As Wine answers: the data is looked at first, so a caller whose two buffers are both too
    // small learns the size of the data; a name too long for its buffer still gets the data, the
    // type and the data's size, and as much of the name as fits, terminated, with its size left
    // alone.
    const DWORD stored = static_cast<DWORD>(value->data.size());
    if (type) {
        *type = value->type;
    }
    if (data && stored > *dataSize) {
        *dataSize = stored;
        return ERROR_MORE_DATA;
    }
    if (data) {
        memcpy(data, value->data.data(), stored);
    }
    if (dataSize) {
        *dataSize = stored;
    }
    if (value->name.size() + 1 > *valueNameSize) {
        if (*valueNameSize > 0) {
            memcpy(valueName, value->name.data(), *valueNameSize - 1);
            valueName[*valueNameSize - 1] = '\0';
        }
        return ERROR_MORE_DATA;
    }
    memcpy(valueName, value->name.c_str(), value->name.size() + 1);
    *valueNameSize = static_cast<DWORD>(value->name.size());
    return ERROR_SUCCESS;
}

} // extern "C"
