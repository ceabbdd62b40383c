#include "fs/removal_guard.h"

#include "support/mb_text.h"
#include "platform/win32api.h"
#include "support/string.h"

namespace {

constexpr unsigned kFolderRoom = 260;
constexpr char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const kFolderValues[] = {"ProgramFilesDir", "CommonFilesDir", "ProgramW6432Dir",
                                     "CommonW6432Dir"};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAbsolute(const char* path) {
    return (IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) ||
           (IsSeparator(path[0]) && IsSeparator(path[1]));
}

// Single-byte letters upper-case; double-byte characters unchanged.
String UpperCase(const String& text) {
    String upper;
    for (const char* p = text.Text(); *p != '\0';) {
        const char* next = MbNext(p);
        if (next == p + 1 && *p >= 'a' && *p <= 'z') {
            upper.Append(static_cast<char>(*p - 'a' + 'A'));
        } else {
            upper.Append(p, static_cast<unsigned>(next - p));
        }
        p = next;
    }
    return upper;
}

String CurrentFolder() {
    String folder;
    char* buffer = folder.GetBuffer(kFolderRoom + 1);
    const bool known = _getcwd(buffer, kFolderRoom) != nullptr;
    if (!known) {
        buffer[0] = '\0';
    }
    folder.ReleaseBuffer(-1);
    return folder;
}

// The path made full: "X:\..." or "\\server\share\...". Empty when it cannot be.
String FullText(const char* path) {
    if (strncmp(path, "\\\\?\\", 4) == 0 || strncmp(path, "\\\\.\\", 4) == 0) {
        if (!IsDriveLetter(path[4]) || path[5] != ':') {
            return String(); // device and long network forms are not judged, so refused
        }
        path += 4;
    }
    if (IsAbsolute(path)) {
        return String(path);
    }
    const String current = CurrentFolder();
    if (current.Length() < 3 || !IsAbsolute(current)) {
        return String();
    }
    String full;
    if (IsDriveLetter(path[0]) && path[1] == ':') {
        const bool sameDrive = (current[0] | 0x20) == (path[0] | 0x20);
        full = sameDrive ? current : String(path, 2);
        path += 2;
    } else if (IsSeparator(path[0])) {
        full = String(current.Text(), 2);
    } else {
        full = current;
    }
    full += "\\";
    full += path;
    return full;
}

// Adds a component to `form`, or takes the last one off for "..": never above `rootLength`.
void AddComponent(String* form, unsigned rootLength, const String& part) {
    if (part.Length() == 0 || strcmp(part, ".") == 0) {
        return;
    }
    if (strcmp(part, "..") == 0) {
        const char* last = MbFindLastChar(form->Text(), '\\');
        const unsigned cut = last != nullptr ? static_cast<unsigned>(last - form->Text()) : 0;
        if (cut >= rootLength) {
            *form = form->Left(cut);
        }
        return;
    }
    unsigned length = part.Length();
    while (length > 0 && (part[length - 1] == '.' || part[length - 1] == ' ')) {
        --length;
    }
    if (length > 0) {
        form->Append("\\");
        form->Append(part.Text(), length);
    }
}

// "C:\A\B" for a drive path, "\\SERVER\SHARE\A" for a network one: components resolved, letters
// upper-case. Empty when the path cannot be judged.
String ComparableForm(const char* path) {
    const String full = UpperCase(FullText(path));
    if (full.Length() == 0) {
        return String();
    }
    const bool network = IsSeparator(full[0]);
    String form = network ? String("\\\\") : String(full.Text(), 2);
    const char* p = full.Text() + 2;
    // A share's root is its server and share name: both components belong to the root.
    unsigned rootParts = network ? 2 : 0;
    unsigned rootLength = form.Length();
    String part;
    for (;;) {
        const char* next = MbNext(p);
        if (*p == '\0' || (next == p + 1 && IsSeparator(*p))) {
            if (rootParts > 0 && part.Length() > 0) {
                form.Append(form.Length() > 2 ? "\\" : "");
                form.Append(part);
                rootLength = form.Length();
                --rootParts;
            } else {
                AddComponent(&form, rootLength, part);
            }
            part.Empty();
            if (*p == '\0') {
                break;
            }
        } else {
            part.Append(p, static_cast<unsigned>(next - p));
        }
        p = next;
    }
    if (network && rootParts > 0) {
        return String(); // no share named: nothing to judge by
    }
    return form;
}

bool IsRootForm(const String& form) {
    if (form[0] != '\\') {
        return form.Length() == 2;
    }
    return MbFindChar(form.Text() + 2, '\\') == nullptr ||
           MbFindChar(MbFindChar(form.Text() + 2, '\\') + 1, '\\') == nullptr;
}

// True when `candidate` is `folder` or one of its ancestors.
bool Contains(const String& candidate, const String& folder) {
    const unsigned n = candidate.Length();
    return strncmp(folder, candidate, n) == 0 && (folder[n] == '\0' || folder[n] == '\\');
}

bool Covers(const String& candidate, const char* folder) {
    if (folder == nullptr || !IsAbsolute(folder)) {
        return false;
    }
    const String form = ComparableForm(folder);
    return form.Length() > 0 && Contains(candidate, form);
}

bool CoversFolderOf(const String& candidate, UINT(WINAPI* get)(LPSTR, UINT)) {
    String folder;
    const UINT length = get(folder.GetBuffer(kFolderRoom + 1), kFolderRoom);
    folder.ReleaseBuffer(length > 0 && length < kFolderRoom ? static_cast<int>(length) : 0);
    return Covers(candidate, folder);
}

bool CoversRegistryFolder(const String& candidate) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool covers = false;
    for (const char* name : kFolderValues) {
        String value;
        DWORD type = REG_NONE;
        DWORD size = kFolderRoom;
        char* buffer = value.GetBuffer(kFolderRoom + 1);
        const LONG status =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
        const bool text = status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
        // The value's data is ended at the size the registry reports, whatever it holds.
        buffer[text && size <= kFolderRoom ? size : 0] = '\0';
        value.ReleaseBuffer(-1);
        covers = covers || Covers(candidate, value);
    }
    RegCloseKey(key);
    return covers;
}

} // namespace

int IsProtectedFolder(const char* path) {
    if (path == nullptr || *path == '\0') {
        return 1;
    }
    const String candidate = ComparableForm(path);
    if (candidate.Length() == 0 || IsRootForm(candidate)) {
        return 1;
    }
    const bool covers = CoversFolderOf(candidate, GetWindowsDirectoryA) ||
                        CoversFolderOf(candidate, GetSystemDirectoryA) ||
                        CoversRegistryFolder(candidate) || Covers(candidate, getenv("USERPROFILE"));
    return covers ? 1 : 0;
}
