// The advapi32 key functions over the machine's registry: open, create, close, delete, enumerate
// and describe keys, with the statuses and out-argument rules of the real ones.
#include "platform/posix/registry/registry_api.h"

#include "platform/posix/registry/registry_access.h"

#include <string.h>
#include <time.h>

#include <algorithm>

using namespace ovlayer;

namespace {

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
    if (LONG status = Enter(Call::RegOpenKeyA,
                            [&] { return HandleName(key) + ", " + JournalText(subKey); })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!subKey || !*subKey) { // the same handle, as Windows gives it
        *result = key;
        return ERROR_SUCCESS;
    }
    return OpenOrCreate(key, subKey, 0, kMaximumAllowed, false, result, nullptr);
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    if (LONG status = Enter(Call::RegOpenKeyExA, [&] {
            return HandleName(key) + ", " + JournalText(subKey) + ", " + JournalHex(desired);
        })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, options, desired, false, result, nullptr);
}

LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (LONG status = Enter(Call::RegCreateKeyA,
                            [&] { return HandleName(key) + ", " + JournalText(subKey); })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, 0, kMaximumAllowed, true, result, nullptr);
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD options, REGSAM desired,
                            LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (LONG status = Enter(Call::RegCreateKeyExA, [&] {
            return HandleName(key) + ", " + JournalText(subKey) + ", " + JournalHex(desired);
        })) {
        return status;
    }
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    return OpenOrCreate(key, subKey, options, desired, true, result, disposition);
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (LONG status = Enter(Call::RegCloseKey, [&] { return HandleName(key); })) {
        return status;
    }
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
        key == HKEY_USERS) {
        return ERROR_SUCCESS;
    }
    return RemoveHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (LONG status = Enter(Call::RegDeleteKeyA,
                            [&] { return HandleName(key) + ", " + JournalText(subKey); })) {
        return status;
    }
    return DeleteKey(key, subKey);
}

LONG WINAPI NtDeleteKey(HANDLE handle) {
    const LONG kStatusUnsuccessful = static_cast<LONG>(0xC0000001);
    const LONG kStatusInvalidHandle = static_cast<LONG>(0xC0000008);
    const LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);
    const LONG kStatusKeyDeleted = static_cast<LONG>(0xC000017C);
    HKEY key = static_cast<HKEY>(handle);
    if (LONG status = Enter(Call::NtDeleteKey, [&] { return HandleName(key); })) {
        return status == ERROR_BADDB || status == ERROR_CANTREAD ? kStatusUnsuccessful : status;
    }
    // The predefined roots are no handles of the kernel's.
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
        key == HKEY_USERS) {
        return kStatusInvalidHandle;
    }
    const OpenKey* open;
    switch (Use(key, DELETE, &open)) {
    case ERROR_SUCCESS:
        break;
    case ERROR_KEY_DELETED:
        return kStatusKeyDeleted;
    case ERROR_ACCESS_DENIED:
        return kStatusAccessDenied;
    default:
        return kStatusInvalidHandle;
    }
    RegKey* target = open->view.Top();
    if (!target->Parent() || Refuses(target) || target->ChildCount() > 0) {
        return kStatusAccessDenied;
    }
    std::string path = target->Path();
    target->Parent()->RemoveChild(target->Name());
    RegistryStore::Get().Changed(RegOp{RegOp::kDeleteKey, std::move(path), "", 0, ""});
    return 0;
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    if (LONG status = Enter(Call::RegEnumKeyA,
                            [&] { return HandleName(key) + ", " + std::to_string(index); })) {
        return status;
    }
    return EnumKey(key, index, name, &nameSize, nullptr, nullptr, nullptr);
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR className, LPDWORD classSize, PFILETIME lastWriteTime) {
    if (LONG status = Enter(Call::RegEnumKeyExA,
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
    if (LONG status = Enter(Call::RegQueryInfoKeyA, [&] { return HandleName(key); })) {
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

} // extern "C"
