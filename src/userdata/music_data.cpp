#include "userdata/music_data.h"

#include "fs/file_path.h"
#include "platform/win32api.h"
#include "registry/delete_registry_tree.h"
#include "support/string.h"
#include "userdata/keep_or_erase_question.h"

namespace {

const char kMakerMusicKey[] = "Software\\Orvane\\Tunelane-OV";
const char* const kDatabaseFileNames[] = {"db.lma", "tac.lma", "mcs.lma"};
const int kDatabaseFileCount = 3;

bool KeyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The full paths of the system folder's three database files, in probing order. A path is left
// empty when the system folder is unknown or the path would not fit, so that no other file is
// ever named in its place.
struct DatabaseFiles {
    DatabaseFiles() {
        char folder[kPathRoom] = {};
        const UINT length = GetSystemDirectoryA(folder, kPathRoom);
        if (length == 0 || length >= kPathRoom) {
            return;
        }
        for (int i = 0; i < kDatabaseFileCount; ++i) {
            char path[kPathRoom] = {};
            const int written = _snprintf(path, kPathRoom, "%s\\%s", folder, kDatabaseFileNames[i]);
            if (written > 0 && static_cast<UINT>(written) < kPathRoom) {
                paths[i] = path;
            }
        }
    }
    // A regular file of that name exists (a folder of the name does not count).
    bool Exists(int i) const { return paths[i].Length() != 0 && IsRegularFile(FilePath(paths[i])); }

    String paths[kDatabaseFileCount];
};

} // namespace

int ProbeMusicData() {
    if (KeyExists(HKEY_CURRENT_USER, kMakerMusicKey) ||
        KeyExists(HKEY_CLASSES_ROOT, kMakerMusicKey)) {
        return 1;
    }
    const DatabaseFiles files;
    for (int i = 0; i < kDatabaseFileCount; ++i) {
        if (files.Exists(i)) {
            return 1;
        }
    }
    return 0;
}

int AskEraseMusicData() {
    static const char* const kLines[] = {
        ("\n\nDo you want to leave ALL of the registry keys associated\nwith Lumora Music and "
         "leave the MCS database files?\n\n"),
        "Enter \"N\" to erase Lumora Music info.\n",
        "Enter \"Y\" to keep Lumora Music info. (Recommended).\n",
    };
    return AskKeepOrErase(kLines, sizeof kLines / sizeof *kLines, "keep the music service's data?");
}

void RemoveMusicData() {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, kMakerMusicKey);
    DeleteRegistryTree(HKEY_CURRENT_USER, kMakerMusicKey);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, "Software\\Tunelane-OV");
    const DatabaseFiles files;
    for (int i = 0; i < kDatabaseFileCount; ++i) {
        if (files.Exists(i)) {
            Delete(FilePath(files.paths[i]));
        }
    }
    printf("\nLumora Music info removed.\n");
}
