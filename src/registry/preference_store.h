// Named text settings of one product. Each setting is a registry key below the product's
// preference key, its value that key's default value. Values travel in Buffers; a Buffer handed
// out carries one reference for the caller.
#pragma once

#include "platform/win32api.h"

class Buffer;

class PreferenceStore {
public:
    PreferenceStore() = default;
    PreferenceStore(const PreferenceStore&) = delete;
    PreferenceStore& operator=(const PreferenceStore&) = delete;
    virtual ~PreferenceStore() = default;

    virtual HRESULT ReadPref(const char* name, Buffer** value) = 0;
    virtual HRESULT WritePref(const char* name, Buffer* value) = 0;
    virtual HRESULT DeletePref(const char* name) = 0;
    virtual HRESULT NoOperation() { return S_OK; }
    // Deletes the settings prefix + "1", prefix + "2", ... up to the first that cannot be deleted.
    virtual HRESULT DeleteNumberedKeys(const char* prefix) = 0;
    // Later operations work one level deeper, until the matching LeaveSubKey.
    virtual HRESULT EnterSubKey(const char* name) = 0;
    virtual HRESULT LeaveSubKey() = 0;
    virtual HRESULT EnumSubKey(DWORD index, Buffer** name) = 0;
    // Deletes a setting with everything below it.
    virtual HRESULT DeletePrefTree(const char*) { return E_FAIL; }
    virtual int GetRootFlag() { return rootFlag_; }

protected:
    void SetRootFlag(int rootFlag) { rootFlag_ = rootFlag; }

private:
    int rootFlag_ = 0;
};
