#include "fs/folder_values.h"

String SystemFolder(UINT(WINAPI* get)(LPSTR, UINT)) {
    String folder;
    const UINT length = get(folder.GetBuffer(kPathRoom + 1), kPathRoom);
    folder.ReleaseBuffer(length > 0 && length < kPathRoom ? static_cast<int>(length) : 0);
    return folder;
}

String FolderText(DWORD type, char* data, DWORD size) {
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kPathRoom) {
        return String();
    }
    data[size] = '\0';
    return String(data);
}

String ReadFolderValue(HKEY key, const char* name, DWORD* type) {
    char data[kPathRoom + 1];
    DWORD found = REG_NONE;
    DWORD size = kPathRoom;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &found, reinterpret_cast<LPBYTE>(data), &size);
    if (type != nullptr) {
        *type = found;
    }
    return status == ERROR_SUCCESS ? FolderText(found, data, size) : String();
}
