// Folders the system records in registry values, read the one way every folder judgement reads
// them.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

inline constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// The folder `get` (GetWindowsDirectoryA, GetSystemDirectoryA) names; empty when it fails or
// would not fit kPathRoom bytes.
String SystemFolder(UINT(WINAPI* get)(LPSTR, UINT));

// The text of value data of `type` and `size` bytes in `data`, which has room for kPathRoom + 1
// bytes: a REG_SZ or REG_EXPAND_SZ (its %variables% left as they stand) of at most kPathRoom
// bytes, ended where the registry says the data ends, whatever it holds; otherwise empty.
String FolderText(DWORD type, char* data, DWORD size);

// The FolderText of the value `name` of the open `key`; empty for a missing value. `type`
// receives the value's type when given.
String ReadFolderValue(HKEY key, const char* name, DWORD* type = nullptr);

// Asks `visit` about HKEY_LOCAL_MACHINE's kCurrentVersionKey, opened for queries in the program's
// own registry view and then in the 64-bit one, until it answers true; true when it did. A 32-bit
// program's own view may lack the "W6432" values (Wine's does); on a system without a 64-bit
// view the flag is ignored and the one view is asked twice.
template <typename Visit> bool AnyCurrentVersionView(Visit visit) {
    const REGSAM views[] = {0, KEY_WOW64_64KEY};
    for (const REGSAM view : views) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE | view,
                          &key) != ERROR_SUCCESS) {
            continue;
        }
        const bool found = visit(key);
        RegCloseKey(key);
        if (found) {
            return true;
        }
    }
    return false;
}
