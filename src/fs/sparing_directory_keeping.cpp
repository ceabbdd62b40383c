// The sparing tree removal: everything goes except the folders of one name, at any depth, with
// all they hold (and so the folders above them, which stay because they are not empty).
#include "fs/sparing_directory.h"

#include "fs/held_folder.h"
#include "fs/lumoarena_folders.h"
#include "fs/removal_guard.h"
#include "fs/folder_name.h"

namespace {

// Deletes the folder's files and sub-trees, sparing the sub-folders named `name`; true when
// something was spared.
bool RemoveEntriesKeeping(SparingDirectory& folder, const char* name) {
    bool spared = false;
    String entry;
    EntryKind kind = folder.FindFirst("*", entry.GetBuffer(kPathRoom + 1), kPathRoom);
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
        kind = folder.FindNext(entry.GetBuffer(kPathRoom + 1), kPathRoom);
        entry.ReleaseBuffer(-1);
    }
    return spared;
}

} // namespace

int SparingDirectory::RemoveTreeKeeping(int recurse, const char* name) {
    // Held from before the judgement to just before its own removal, as RemoveTree holds its
    // folders: the folder judged is the folder emptied, and nobody puts a link in its place.
    HeldFolder held(recurse != 0 ? path.Text() : nullptr);
    // RemoveTree's own judgement, taken first as there: a path from a value a user can edit, or
    // one cut by formatting, must not remove a folder the system or the user needs, with
    // recursion off too (an empty protected folder would go itself). Refused, it stays in place.
    if (RefusesFolderRemoval(path, held.Identity())) {
        return 1;
    }
    // An empty folder holds no LumoArena: only an emptying removal is judged.
    if (recurse != 0 && RefusedForLumoArena(path)) {
        return 1;
    }
    if (!Exists()) {
        return 1;
    }
    if (recurse != 0) {
        // A junction or symbolic link goes itself (Remove deletes the link, not what it points
        // at); the folder it points at is not the maker's to empty.
        if (IsLinkToRemoveItself(held, path)) {
            held.Close();
            RemoveAs(LT_Link);
            return 0;
        }
        // Only a held folder is entered; one that cannot be held stays if it is not empty.
        if (held.IsOpen() && RemoveEntriesKeeping(*this, name)) {
            return 1;
        }
    }
    held.Close();
    Remove();
    return 0;
}
