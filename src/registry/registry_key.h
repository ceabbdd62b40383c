// One registry key by root, sub-key path and access mask: opened or created, closed, walked one
// direct sub-key at a time, and able to delete a named sub-key with everything below it.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    virtual ~RegistryKey();

    // The setters refuse (false, nothing changed) while the key is open.
    bool SetRootKey(HKEY root);
    bool SetAccessMask(REGSAM accessMask);
    bool SetSubKey(const char* path);
    const String& GetSubKey() const { return subKey_; }
    HKEY Handle() const { return handle_; }
    bool IsOpen() const { return isOpen_ != 0; }

    HRESULT Open();
    HRESULT Create(LPSTR className, DWORD options);
    HRESULT Close();

    bool ResetEnumeration();
    // Describes the next direct sub-key in `target`, relative to this open key.
    bool EnumerateNextSubKey(RegistryKey& target);
    // Deletes the named direct sub-key and everything below it.
    HRESULT DeleteSubKey(const char* name);

private:
    HRESULT CheckTarget() const;
    // Open with RegOpenKeyExA's options word (REG_OPTION_OPEN_LINK: a link key itself).
    HRESULT OpenWith(DWORD options);

    HKEY root_ = nullptr;
    HKEY handle_ = nullptr;
    String subKey_;
    DWORD enumerationIndex_ = 0;
    REGSAM accessMask_ = KEY_READ;
    BOOL isOpen_ = 0;
};
