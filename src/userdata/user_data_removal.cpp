#include "userdata/user_data_removal.h"

#include "support/mb_text.h"
#include "fs/sparing_directory.h"
#include "platform/win32api.h"
#include "userdata/media_database.h"

namespace {

const char kBrandMarker[] = "\\Lumo\\";
const unsigned kBrandFolderEnd = 5; // the bytes of "\Lumo", the folder's own name included
const char kDatabaseFolderName[] = "Lumora Deck DB";

// The length of `path` up to the end of its first whole folder named "Lumora Deck DB": the name
// after a backslash or at the text's start, and followed by a backslash or by the end of the
// text. 0 when there is none. A name that merely begins a longer one ("Lumora Deck DB2") is not
// that folder: cutting there would name a sibling the user never gave; nor is one that ends a
// longer one ("MyLumora Deck DB"), which would go whole.
unsigned DatabaseFolderEnd(const String& path) {
    const size_t nameLength = strlen(kDatabaseFolderName);
    for (const char* at = MbFindText(path.Text(), kDatabaseFolderName); at != nullptr;
         at = MbFindText(MbNext(at), kDatabaseFolderName)) {
        const char* before = at == path.Text() ? nullptr : MbPrev(path.Text(), at);
        const bool starts = before == nullptr || (before + 1 == at && *before == '\\');
        if (starts && (at[nameLength] == '\0' || at[nameLength] == '\\')) {
            return static_cast<unsigned>(at - path.Text() + nameLength);
        }
    }
    return 0;
}

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
    const unsigned end = DatabaseFolderEnd(path);
    if (end > 0) {
        folder.SetPath(path.Left(end));
        folder.RemoveTree(1);
    }
    printf("\nMedia Database removed.\n");
}
