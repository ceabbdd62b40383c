#include "userdata/user_data_removal.h"

#include "fs/sparing_directory.h"
#include "platform/win32api.h"
#include "userdata/media_database.h"

namespace {

const char kBrandMarker[] = "\\Lumo\\";
const unsigned kBrandFolderEnd = 5; // the bytes of "\Lumo", the folder's own name included
const char kDatabaseFolderName[] = "Lumora Deck DB";

} // namespace

void CleanUserDataFolder(int erase, String& path) {
    const int at = path.Find(kBrandMarker);
    // Without a brand level there is no folder of the maker's to remove: the first bytes of the
    // text would otherwise be taken as a relative folder.
    if (at < 0) {
        return;
    }
    path = path.Left(static_cast<unsigned>(at) + kBrandFolderEnd);
    SparingDirectory folder;
    folder.SetPath(path);
    if (erase == 1) {
        folder.RemoveTree(1);
    } else {
        folder.RemoveTreeKeeping(1, "db");
    }
}

void RemoveMediaDatabase() {
    String path;
    if (ProbeMediaDatabase(&path) == 0) {
        return;
    }
    Directory folder;
    folder.SetPath(path);
    folder.RemoveTree(1);
    // A database kept inside a "Lumora Deck DB" folder takes that folder with it.
    const int at = path.Find(kDatabaseFolderName);
    if (at >= 0) {
        folder.SetPath(Concat(path.Left(static_cast<unsigned>(at)), kDatabaseFolderName));
        folder.RemoveTree(1);
    }
    printf("\nMedia Database removed.\n");
}
