// The sparing tree removal: everything goes except the folders of one name, at any depth, with
// all they hold (and so the folders above them, which stay because they are not empty).
#include "fs/sparing_directory.h"

#include "fs/lumoarena_folders.h"
#include "fs/removal_guard.h"
#include "fs/folder_name.h"

namespace {

const unsigned kEntryRoom = 261;
const unsigned short kEntrySize = 260;

// Deletes the folder's files and sub-trees, sparing the sub-folders named `name`; true when
// something was spared.
bool RemoveEntriesKeeping(SparingDirectory& folder, const char* name) {
    bool spared = false;
    String entry;
    EntryKind kind = folder.FindFirst("*", entry.GetBuffer(kEntryRoom), kEntrySize);
    entry.ReleaseBuffer(-1);
    while (kind != EK_None) {
        if (kind == EK_File) {
            folder.RemoveFile(entry);
        } else if (EndsWithFolderName(entry, name)) {
            spared = true;
            if (IsRemovalLogOpen()) {
                LogAction(LV_Kept, LT_Folder, entry,
                          Concat(Concat("rule: every folder named \"", name), "\" is spared"));
            }
        } else {
            SparingDirectory child;
            child.SetPath(entry);
            spared = child.RemoveTreeKeeping(1, name) != 0 || spared;
        }
        kind = folder.FindNext(entry.GetBuffer(kEntryRoom), kEntrySize);
        entry.ReleaseBuffer(-1);
    }
    return spared;
}

} // namespace

int SparingDirectory::RemoveTreeKeeping(int recurse, const char* name) {
    if (!Exists()) {
        return 1;
    }
    if (recurse != 0) {
        // A path from a value a user can edit, or one cut by formatting, must not empty a
        // folder the system or the user needs.
        String reached;
        if (IsProtectedFolder(path, &reached)) {
            LogRefusedRemoval(path, reached);
            return 1;
        }
        if (RefusedForLumoArena(path)) {
            return 1;
        }
        if (IsPossiblyCutPath(path)) {
            LogAction(LV_Refused, LT_Folder, path,
                      "rule: a path that may have been cut to fit is never deleted");
            return 1;
        }
        // A junction or symbolic link goes itself (Remove deletes the link, not what it points
        // at); the folder it points at is not the maker's to empty.
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            RemoveAs(LT_Link);
            return 0;
        }
        if (RemoveEntriesKeeping(*this, name)) {
            return 1;
        }
    }
    Remove();
    return 0;
}
