#include "fs/directory.h"

#include "support/mb_text.h"
#include "fs/held_folder.h"
#include "fs/lumoarena_folders.h"
#include "fs/removal_guard.h"
#include "support/removal_log.h"

namespace {

// The character before the end is a single-byte backslash (a double-byte character's trail
// byte 0x5C does not count).
bool EndsWithSeparator(const char* text) {
    const size_t length = strlen(text);
    if (length == 0) {
        return false;
    }
    const char* last = MbPrev(text, text + length);
    return last == text + length - 1 && *last == '\\';
}

void AppendSeparatorIfNeeded(String* text) {
    if (!EndsWithSeparator(*text)) {
        text->Append("\\");
    }
}

// The entry's name after its last single-byte backslash is neither "." nor "..".
bool IsProperEntry(const char* entryPath) {
    const char* last = MbFindLastChar(entryPath, '\\');
    if (last == nullptr) {
        return false;
    }
    return strcmp(last + 1, ".") != 0 && strcmp(last + 1, "..") != 0;
}

EntryKind KindOf(const WIN32_FIND_DATAA& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EK_Folder : EK_File;
}

// Why a removal failed, for the removal log.
String ErrnoReason(int error) {
    if (error == EACCES) {
        return String("access refused");
    }
    if (error == ENOTEMPTY) {
        return String("not empty");
    }
    String reason;
    return reason.Format("errno %d", error);
}

} // namespace

Directory::Directory() : findHandle(INVALID_HANDLE_VALUE) {}

Directory::~Directory() {
    CloseFind();
}

void Directory::CloseFind() {
    if (findHandle != INVALID_HANDLE_VALUE) {
        FindClose(findHandle);
        findHandle = INVALID_HANDLE_VALUE;
    }
}

void Directory::SetPath(const char* text) {
    if (text == nullptr) {
        return;
    }
    path = text;
    if (path.Length() == 2 && path[1] == ':') {
        path.Append("\\");
    }
    if (path.Length() > 3 && EndsWithSeparator(text)) {
        path = path.Left(path.Length() - 1);
    }
}

int Directory::SetToTempFolder(HMODULE module, const char* subFolder) {
    bool found = false;
    if (const char* temp = getenv("TEMP")) {
        path = temp;
        found = HasFreeSpace() != 0;
        if (!found) {
            path.Empty();
        }
    }
    if (!found && module != nullptr) {
        GetModuleFileNameA(module, path.GetBuffer(kPathRoom + 1), kPathRoom);
        path.ReleaseBuffer(-1);
        const int slash = path.ReverseFind('\\');
        path = slash < 0 ? String() : path.Left(static_cast<unsigned>(slash));
        found = HasFreeSpace() != 0;
        if (!found) {
            path.Empty();
        }
    }
    if (!found) {
        GetWindowsDirectoryA(path.GetBuffer(kPathRoom + 1), kPathRoom);
        path.ReleaseBuffer(-1);
        if (!HasFreeSpace()) {
            path.Empty();
            return 0;
        }
    }
    if (subFolder != nullptr && *subFolder != '\0') {
        AppendSeparatorIfNeeded(&path);
        path.Append(subFolder);
    }
    return 1;
}

int Directory::Create() {
    _mkdir(path);
    return Exists();
}

int Directory::Exists() {
    if (path.Length() == 0 || path[0] == '.') {
        return 0;
    }
    if (path.Length() == 3 && path[1] == ':' && path[2] == '\\') {
        const UINT type = GetDriveTypeA(path);
        return type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_REMOVABLE ||
                       type == DRIVE_RAMDISK
                   ? 1
                   : 0;
    }
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(path, &found);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FindClose(find);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}

int Directory::RemoveTree(int recurse) {
    // The tree's own folder is held from before it is judged until just before its own removal:
    // the folder judged is the folder emptied. Without recursion nothing is listed or held.
    HeldFolder held(recurse ? path.Text() : nullptr);
    // Judged before Exists: a protected folder is refused whether or not it is there to see,
    // and without recursion too: an empty one (a fresh program-files folder) would go itself.
    if (RefusesFolderRemoval(path, held.Identity())) {
        return 0;
    }
    // An empty folder holds no LumoArena: only an emptying removal is judged.
    if (recurse && RefusedForLumoArena(path)) {
        return 0;
    }
    if (!Exists()) {
        return 1;
    }
    return RemoveTreeChecked(recurse, &held);
}

// The sub-folders of a folder that passed the protection check cannot be protected themselves
// (a protected folder's ancestors are protected too), so they are not judged again.
int Directory::RemoveTreeChecked(int recurse, HeldFolder* held) {
    if (!recurse) {
        return Remove();
    }
    // A link's target is someone else's folder: only the link goes.
    if (IsLinkToRemoveItself(*held, path)) {
        held->Close();
        return RemoveAs(LT_Link);
    }
    // Only a held folder is entered: what its listing names cannot be swapped meanwhile. One
    // that cannot be held stays if it is not empty.
    if (held->IsOpen()) {
        RemoveContents();
    }
    held->Close();
    return Remove();
}

void Directory::RemoveContents() {
    String entry;
    EntryKind kind = FindFirst("*", entry.GetBuffer(kPathRoom + 1), kPathRoom);
    entry.ReleaseBuffer(-1);
    while (kind != EK_None) {
        if (kind == EK_File) {
            RemoveFile(entry);
        } else {
            // Held before it is looked at: a folder gone since the listing cannot be held.
            HeldFolder held(entry);
            if (held.IsOpen()) {
                Directory child;
                child.SetPath(entry);
                child.RemoveTreeChecked(1, &held);
            }
        }
        kind = FindNext(entry.GetBuffer(kPathRoom + 1), kPathRoom);
        entry.ReleaseBuffer(-1);
    }
}

int Directory::RemoveFile(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    String full;
    if (strlen(name) > 1 && name[1] == ':') {
        full = name;
    } else {
        full = path;
        AppendSeparatorIfNeeded(&full);
        full.Append(name);
    }
    if (RefusesCutPath(LT_File, full)) {
        return 0;
    }
    _chmod(full, _S_IREAD | _S_IWRITE);
    if (_unlink(full) == 0) {
        LogAction(LV_Removed, LT_File, full);
        return 1;
    }
    // A file that is not there counts as gone, and was not deleted by this run: no line.
    if (errno != ENOENT && IsRemovalLogOpen()) {
        LogAction(LV_Failed, LT_File, full, ErrnoReason(errno));
    }
    return errno == EACCES ? 0 : 1;
}

int Directory::SetToCurrentFolder() {
    const bool done = _getcwd(path.GetBuffer(kPathRoom + 1), kPathRoom) != nullptr;
    path.ReleaseBuffer(-1);
    return done ? 1 : 0;
}

int Directory::MakeCurrent() {
    return _chdir(path) == 0 ? 1 : 0;
}

int Directory::IsRemovableMedia() {
    if (path.Length() < 2 || path[1] != ':') {
        return 0;
    }
    const UINT type = GetDriveTypeA(path);
    return type == DRIVE_CDROM || type == DRIVE_REMOVABLE ? 1 : 0;
}

int Directory::HasFreeSpace() {
    if (!Exists()) {
        return 0;
    }
    const int offset = path.Find(":\\");
    if (offset < 0) {
        return 0;
    }
    const String root = path.Left(static_cast<unsigned>(offset) + 2);
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    const BOOL known =
        GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
    return known && freeClusters != 0 ? 1 : 0;
}

bool Directory::ReportEntry(const WIN32_FIND_DATAA& found, char* out, unsigned short size) const {
    // An entry whose full path does not fit is skipped: out still holds the previous entry,
    // which must never be reported again in its place.
    if (out == nullptr || path.Length() + strlen(found.cFileName) + 1 >= size) {
        return false;
    }
    CopyBounded(out, path, size);
    if (!EndsWithSeparator(out)) {
        strcat(out, "\\");
    }
    strcat(out, found.cFileName);
    return IsProperEntry(out);
}

EntryKind Directory::FindFirst(const char* pattern, char* out, unsigned short size) {
    String search = path;
    AppendSeparatorIfNeeded(&search);
    search.Append(pattern != nullptr ? pattern : "");
    CloseFind();
    WIN32_FIND_DATAA found;
    findHandle = FindFirstFileA(search, &found);
    if (findHandle == INVALID_HANDLE_VALUE) {
        return EK_None;
    }
    if (ReportEntry(found, out, size)) {
        return KindOf(found);
    }
    return FindNext(out, size);
}

// Skipped entries are passed over in a loop, not by calling FindNext again: a folder holding
// many of them must not deepen the stack.
EntryKind Directory::FindNext(char* out, unsigned short size) {
    if (findHandle == INVALID_HANDLE_VALUE) {
        return EK_None;
    }
    WIN32_FIND_DATAA found;
    while (FindNextFileA(findHandle, &found)) {
        if (ReportEntry(found, out, size)) {
            return KindOf(found);
        }
    }
    return EK_None;
}

HRESULT Directory::RenameOver(const char* source, const char* target) {
    if (source == nullptr || target == nullptr || IsPossiblyCutPath(source) ||
        IsPossiblyCutPath(target)) {
        return E_FAIL;
    }
    if (_unlink(target) != 0 && errno == EACCES) {
        _chmod(target, _S_IREAD | _S_IWRITE);
        if (_unlink(target) != 0 && errno == EACCES) {
            return E_FAIL;
        }
        const int renamed = rename(source, target);
        _chmod(target, _S_IREAD);
        return renamed == 0 ? S_OK : E_FAIL;
    }
    return rename(source, target) == 0 ? S_OK : E_FAIL;
}

int Directory::Remove() {
    return RemoveAs(LT_Folder);
}

int Directory::RemoveAs(LogThing thing) {
    CloseFind();
    if (RefusesCutPath(thing, path)) {
        return 0;
    }
    if (_rmdir(path) == 0) {
        LogAction(LV_Removed, thing, path,
                  thing == LT_Link ? "a link: removed itself, what it points at not entered"
                                   : nullptr);
        return 1;
    }
    // A folder that is not there is passed over, not a failure.
    if (IsRemovalLogOpen() && errno != ENOENT) {
        LogAction(LV_Failed, thing, path, ErrnoReason(errno));
    }
    return 0;
}
