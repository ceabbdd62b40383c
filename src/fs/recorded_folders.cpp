#include "fs/recorded_folders.h"

#include "fs/folder_values.h"
#include "platform/win32api.h"

namespace {

constexpr DWORD kNameRoom = 256;
const char kProfileList[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char* const kProfileListValues[] = {"ProgramData", "Public", "Default"};
const char* const kShellFolderKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"};
// Both views of the machine's keys: a 32-bit program's own may lack what the 64-bit one holds.
const REGSAM kViews[] = {0, KEY_WOW64_64KEY};

using Take = bool (*)(void*, const char*, const String&);

struct Taker {
    Take take;
    void* context;
    bool operator()(const char* what, const String& folder) const {
        const bool absolute =
            folder.Length() > 2 && (folder[1] == ':' || (folder[0] == '\\' && folder[1] == '\\'));
        return absolute && take(context, what, folder);
    }
    bool operator()(const String& what, const String& folder) const {
        return (*this)(what.Text(), folder);
    }
};

// The value of a variable of the environment; the Windows folder's when a scheduled task's
// environment lacks one of those naming it.
String Variable(const String& name) {
    if (const char* value = getenv(name)) {
        return String(value);
    }
    if (_stricmp(name, "SystemRoot") == 0 || _stricmp(name, "windir") == 0) {
        return SystemFolder(GetWindowsDirectoryA);
    }
    if (_stricmp(name, "SystemDrive") == 0) {
        const String windows = SystemFolder(GetWindowsDirectoryA);
        return windows.Length() >= 2 ? windows.Left(2) : String();
    }
    return String();
}

// The text with each %NAME% filled in; empty when a variable has no value.
String Expanded(const String& text) {
    String filled;
    for (const char* p = text.Text(); *p != '\0';) {
        const char* end = *p == '%' ? strchr(p + 1, '%') : nullptr;
        if (end == nullptr) {
            filled.Append(p, 1);
            ++p;
            continue;
        }
        const String value = Variable(String(p + 1, static_cast<int>(end - p - 1)));
        if (value.Length() == 0) {
            return String();
        }
        filled.Append(value);
        p = end + 1;
    }
    return filled;
}

// A folder from a value's data, its %variables% filled in.
String FolderFrom(DWORD type, char* data, DWORD size) {
    const String text = FolderText(type, data, size);
    return type == REG_EXPAND_SZ ? Expanded(text) : text;
}

String FolderValue(HKEY key, const char* name) {
    DWORD type = REG_NONE;
    const String text = ReadFolderValue(key, name, &type);
    return type == REG_EXPAND_SZ ? Expanded(text) : text;
}

bool AnyProfile(const Taker& take, REGSAM view) {
    HKEY list = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | view, &list) !=
        ERROR_SUCCESS) {
        return false;
    }
    bool found = take("the profiles folder", FolderValue(list, "ProfilesDirectory"));
    for (const char* name : kProfileListValues) {
        found =
            found || take(Concat("the folder of ProfileList's ", name), FolderValue(list, name));
    }
    char sid[kNameRoom];
    for (DWORD i = 0; !found && RegEnumKeyA(list, i, sid, kNameRoom) == ERROR_SUCCESS; ++i) {
        HKEY profile = nullptr;
        if (RegOpenKeyExA(list, sid, 0, KEY_QUERY_VALUE | view, &profile) == ERROR_SUCCESS) {
            found = take(Concat("the profile of ", sid), FolderValue(profile, "ProfileImagePath"));
            RegCloseKey(profile);
        }
    }
    RegCloseKey(list);
    return found;
}

bool AnyShellFolder(const Taker& take, HKEY root, const char* path, REGSAM view,
                    const char* whose) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    char name[kNameRoom];
    char data[kPathRoom + 1];
    for (DWORD i = 0; !found; ++i) {
        DWORD nameSize = kNameRoom;
        DWORD size = kPathRoom;
        DWORD type = REG_NONE;
        const LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<LPBYTE>(data), &size);
        if (status == ERROR_NO_MORE_ITEMS ||
            (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)) {
            break;
        }
        if (status == ERROR_SUCCESS) {
            found = take(Concat(whose, name), FolderFrom(type, data, size));
        }
    }
    RegCloseKey(key);
    return found;
}

} // namespace

bool AnyRecordedFolder(Take take, void* context) {
    const Taker taker{take, context};
    for (const REGSAM view : kViews) {
        if (AnyProfile(taker, view)) {
            return true;
        }
        for (const char* path : kShellFolderKeys) {
            if (AnyShellFolder(taker, HKEY_LOCAL_MACHINE, path, view,
                               "the machine's shell folder ")) {
                return true;
            }
        }
    }
    for (const char* path : kShellFolderKeys) {
        if (AnyShellFolder(taker, HKEY_CURRENT_USER, path, 0, "the user's shell folder ")) {
            return true;
        }
    }
    return false;
}
