// The preference store kept in the registry: below HKEY_CLASSES_ROOT when the root flag is set,
// else below HKEY_CURRENT_USER. No key stays open between operations.
#pragma once

#include "registry/preference_store.h"

class RegistryPreferenceStore : public PreferenceStore {
public:
    static constexpr unsigned kKeyPathRoom = 512;

    // keyPath is relative to the root; at most kKeyPathRoom - 1 bytes of it are kept.
    RegistryPreferenceStore(const char* keyPath, int rootFlag);

    HRESULT ReadPref(const char* name, Buffer** value) override;
    HRESULT WritePref(const char* name, Buffer* value) override;
    HRESULT DeletePref(const char* name) override;
    HRESULT DeleteNumberedKeys(const char* prefix) override;
    // Refused with E_FAIL when the key path would no longer fit its room.
    HRESULT EnterSubKey(const char* name) override;
    HRESULT LeaveSubKey() override;
    HRESULT EnumSubKey(DWORD index, Buffer** name) override;
    HRESULT DeletePrefTree(const char* name) override;

    const char* KeyPath() const { return keyPath_; }
    HKEY Root() const;

private:
    // keyPath + "\" + name on the heap, or null when there is no memory for it.
    char* NewFullPath(const char* name) const;

    char keyPath_[kKeyPathRoom];
    int rootFlag_;
};
