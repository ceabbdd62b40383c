#include "registry/registry_key.h"

#include "registry/registry_backup.h"
#include "registry/registry_link.h"
#include "support/result_codes.h"

namespace {

constexpr DWORD kNameRoom = 128;

} // namespace

RegistryKey::~RegistryKey() {
    if (isOpen_) {
        Close();
    }
}

bool RegistryKey::SetRootKey(HKEY root) {
    if (isOpen_) {
        return false;
    }
    root_ = root;
    return true;
}

bool RegistryKey::SetAccessMask(REGSAM accessMask) {
    if (isOpen_) {
        return false;
    }
    accessMask_ = accessMask;
    return true;
}

bool RegistryKey::SetSubKey(const char* path) {
    if (isOpen_) {
        return false;
    }
    if (path != nullptr && path[0] == '\\') {
        ++path;
    }
    subKey_.Assign(path);
    return true;
}

HRESULT RegistryKey::CheckTarget() const {
    if (root_ == nullptr || subKey_.Length() == 0) {
        return E_WRONG_STATE;
    }
    return S_OK;
}

HRESULT RegistryKey::Open() {
    return OpenWith(0);
}

HRESULT RegistryKey::OpenWith(DWORD options) {
    if (FAILED(CheckTarget())) {
        return E_WRONG_STATE;
    }
    Close();
    const LONG status = RegOpenKeyExA(root_, subKey_.Text(), options, accessMask_, &handle_);
    if (status != ERROR_SUCCESS) {
        // Even when the close above failed: the old handle was given up, and keeping the object
        // open on it would make every later Close fail.
        isOpen_ = 0;
        return HRESULT_FROM_WIN32(status);
    }
    isOpen_ = 1;
    return S_OK;
}

HRESULT RegistryKey::Create(LPSTR className, DWORD options) {
    if (FAILED(CheckTarget())) {
        return E_WRONG_STATE;
    }
    Close();
    DWORD disposition = 0;
    const LONG status = RegCreateKeyExA(root_, subKey_.Text(), 0, className, options, accessMask_,
                                        nullptr, &handle_, &disposition);
    if (status != ERROR_SUCCESS) {
        isOpen_ = 0; // as in Open: a failed Create ends closed, whatever came before
        return E_FAIL;
    }
    isOpen_ = 1;
    return S_OK;
}

HRESULT RegistryKey::Close() {
    if (!isOpen_) {
        return E_WRONG_STATE;
    }
    if (RegCloseKey(handle_) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    isOpen_ = 0;
    return S_OK;
}

bool RegistryKey::ResetEnumeration() {
    if (!isOpen_) {
        return false;
    }
    enumerationIndex_ = 0;
    return true;
}

bool RegistryKey::EnumerateNextSubKey(RegistryKey& target) {
    if (!isOpen_) {
        return false;
    }
    char name[kNameRoom];
    char className[kNameRoom];
    DWORD nameLength = kNameRoom;
    DWORD classLength = kNameRoom;
    FILETIME lastWrite;
    if (RegEnumKeyExA(handle_, enumerationIndex_, name, &nameLength, nullptr, className,
                      &classLength, &lastWrite) != ERROR_SUCCESS) {
        return false;
    }
    ++enumerationIndex_;
    target.SetRootKey(handle_);
    target.SetSubKey(name);
    target.SetAccessMask(accessMask_);
    return true;
}

HRESULT RegistryKey::DeleteSubKey(const char* name) {
    if (!isOpen_) {
        return E_WRONG_STATE;
    }
    RegistryKey child;
    RegistryKey entry;
    child.SetRootKey(handle_);
    child.SetSubKey(name);
    // Opened as itself, and able to tell a link: a link key goes as a link, and what it names
    // is never entered.
    child.SetAccessMask(KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
    const HRESULT opened = child.OpenWith(REG_OPTION_OPEN_LINK);
    if (FAILED(opened)) {
        return opened;
    }
    if (IsRegistryLink(child.handle_)) {
        child.Close();
        const LONG removed = RemoveRegistryLink(handle_, name);
        return removed == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(removed);
    }
    BackUpRegistrySubKey(root_, subKey_, name);
    // Each pass restarts at index 0 of the shrinking list. A sub-key that resists deletion stays
    // at the front, so the walk then moves past it instead of asking for it again forever; the
    // final deletion below then reports the key as not deleted.
    child.ResetEnumeration();
    DWORD resisting = 0;
    while (child.EnumerateNextSubKey(entry)) {
        if (FAILED(child.DeleteSubKey(entry.GetSubKey().Text()))) {
            ++resisting;
        }
        child.ResetEnumeration();
        child.enumerationIndex_ = resisting;
    }
    child.Close();
    const LONG status = RegDeleteKeyA(handle_, name);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}
