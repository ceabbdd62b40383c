#include "registry/registry_preference_store.h"

#include "support/mb_text.h"
#include "registry/registry_key.h"
#include "support/buffer.h"
#include "support/string.h"

namespace {

// What ReadPref and WritePref answer when the registry refuses.
const HRESULT kRegistryRefused = static_cast<HRESULT>(0xFFFFFFFF);

// Reads the key's default value of `size` bytes into a fresh buffer. The buffer is handed out only
// once it has the room, so the registry never writes past its end.
HRESULT Fill(HKEY key, LONG size, Buffer* buffer, Buffer** value) {
    buffer->AddRef();
    const HRESULT sized = buffer->SetSize(static_cast<DWORD>(size));
    if (FAILED(sized)) {
        buffer->Release();
        return sized;
    }
    *value = buffer;
    RegQueryValueA(key, "", reinterpret_cast<char*>(buffer->GetData()), &size);
    return S_OK;
}

} // namespace

RegistryPreferenceStore::RegistryPreferenceStore(const char* keyPath, int rootFlag)
    : rootFlag_(rootFlag) {
    CopyBounded(keyPath_, keyPath ? keyPath : "", sizeof keyPath_);
    SetRootFlag(rootFlag);
}

HKEY RegistryPreferenceStore::Root() const {
    return rootFlag_ ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

char* RegistryPreferenceStore::NewFullPath(const char* name) const {
    const size_t pathLength = strlen(keyPath_);
    const size_t nameLength = strlen(name);
    char* path = static_cast<char*>(malloc(pathLength + nameLength + 2));
    if (path != nullptr) {
        memcpy(path, keyPath_, pathLength);
        path[pathLength] = '\\';
        memcpy(path + pathLength + 1, name, nameLength + 1);
    }
    return path;
}

HRESULT RegistryPreferenceStore::ReadPref(const char* name, Buffer** value) {
    if (value == nullptr) {
        return E_INVALIDARG;
    }
    *value = nullptr;
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    char* path = NewFullPath(name);
    if (path == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT result = kRegistryRefused;
    HKEY key;
    if (RegOpenKeyA(Root(), path, &key) == ERROR_SUCCESS) {
        LONG size = 0;
        if (RegQueryValueA(key, "", nullptr, &size) == ERROR_SUCCESS && size > 0) {
            Buffer* buffer = Buffer::Create();
            if (buffer == nullptr) {
                result = E_OUTOFMEMORY;
            } else {
                result = Fill(key, size, buffer, value);
            }
        }
        RegCloseKey(key);
    }
    free(path);
    return result;
}

// The registry takes the text up to its terminator, whatever size it is told, so the value is
// handed over as a terminated copy: a buffer without a terminator is never read past its end.
HRESULT RegistryPreferenceStore::WritePref(const char* name, Buffer* value) {
    if (name == nullptr || value == nullptr) {
        return E_INVALIDARG;
    }
    char* path = NewFullPath(name);
    if (path == nullptr) {
        return E_OUTOFMEMORY;
    }
    HKEY key;
    if (RegCreateKeyA(Root(), path, &key) != ERROR_SUCCESS) {
        free(path);
        return kRegistryRefused;
    }
    const String text(reinterpret_cast<const char*>(value->GetData()),
                      static_cast<int>(value->GetSize()));
    RegSetValueA(key, "", REG_SZ, text.Text(), static_cast<DWORD>(strlen(text.Text()) + 1));
    RegCloseKey(key);
    free(path);
    return S_OK;
}

HRESULT RegistryPreferenceStore::DeletePref(const char* name) {
    return DeletePrefTree(name);
}

HRESULT RegistryPreferenceStore::DeleteNumberedKeys(const char* prefix) {
    HKEY key;
    if (prefix == nullptr || RegOpenKeyA(Root(), keyPath_, &key) != ERROR_SUCCESS) {
        return S_OK;
    }
    char name[512];
    for (WORD n = 1; n != 0; ++n) {
        _snprintf(name, sizeof name, "%s%d", prefix, n);
        name[sizeof name - 1] = '\0';
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) {
            break;
        }
    }
    RegCloseKey(key);
    return S_OK;
}

HRESULT RegistryPreferenceStore::EnterSubKey(const char* name) {
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    const size_t length = strlen(keyPath_);
    if (length + 1 + strlen(name) >= sizeof keyPath_) {
        return E_FAIL;
    }
    keyPath_[length] = '\\';
    strcpy(keyPath_ + length + 1, name);
    return S_OK;
}

HRESULT RegistryPreferenceStore::LeaveSubKey() {
    char* last = MbFindLastChar(keyPath_, '\\');
    if (last == nullptr) {
        return E_FAIL;
    }
    *last = '\0';
    return S_OK;
}

HRESULT RegistryPreferenceStore::EnumSubKey(DWORD index, Buffer** name) {
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    *name = nullptr;
    HKEY key;
    if (RegOpenKeyA(Root(), keyPath_, &key) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    Buffer* buffer = Buffer::Create();
    if (buffer == nullptr) {
        RegCloseKey(key);
        return E_OUTOFMEMORY;
    }
    buffer->AddRef();
    const DWORD room = MAX_PATH + 1;
    HRESULT result = buffer->SetSize(room);
    if (SUCCEEDED(result)) {
        const LONG status =
            RegEnumKeyA(key, index, reinterpret_cast<char*>(buffer->GetData()), room);
        result = status == ERROR_SUCCESS ? S_OK : E_FAIL;
    }
    if (SUCCEEDED(result)) {
        *name = buffer;
    } else {
        buffer->Release();
    }
    RegCloseKey(key);
    return result;
}

// Answers 0 in every case, a missing name included: callers take 0 as "nothing of that name is
// left", and a missing name names nothing to delete.
HRESULT RegistryPreferenceStore::DeletePrefTree(const char* name) {
    if (name == nullptr) {
        return S_OK;
    }
    RegistryKey parent;
    parent.SetRootKey(Root());
    parent.SetSubKey(keyPath_);
    if (SUCCEEDED(parent.Open())) {
        parent.DeleteSubKey(name);
        parent.Close();
    }
    return S_OK;
}
