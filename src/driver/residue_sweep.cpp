#include "driver/residue_sweep.h"

#include "driver/cdplayer_cleanup.h"
#include "driver/deferred_removals.h"
#include "fs/sparing_directory.h"
#include "platform/win32api.h"
#include "registry/delete_registry_tree.h"
#include "userdata/maker_processes.h"
#include "userdata/media_database.h"
#include "userdata/music_data.h"
#include "registry/registry_value_text.h"
#include "support/removal_log.h"
#include "userdata/user_data_removal.h"

#include <initializer_list>

namespace {

const char kMakerKey[] = "Software\\Orvane";

// What the sweep needs beside the run state: the Windows folders and the one folder object
// every folder and file operation goes through.
struct Sweep {
    Sweep(const RunState& runState, const String& programFiles, const String& commonFiles)
        : state(runState), programFilesFolder(programFiles), commonFilesFolder(commonFiles) {}
    const RunState& state;
    String programFilesFolder;
    String commonFilesFolder;
    String scratch;
    SparingDirectory folder;
};

// Reads the sub-key name at `index` of `key`; empty when it cannot be read.
String SubKeyName(HKEY key, DWORD index) {
    String name;
    char* buffer = name.GetBuffer(kPathRoom + 1);
    if (RegEnumKeyA(key, index, buffer, kPathRoom) != ERROR_SUCCESS) {
        buffer[0] = '\0';
    }
    name.ReleaseBuffer(-1);
    return name;
}

// Deletes the sub-keys of root\Software\Orvane that `wanted` picks, last index first.
template <typename Wanted> void SweepMakerKey(HKEY root, Wanted wanted) {
    HKEY key;
    if (RegOpenKeyA(root, kMakerKey, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        count = 0;
    }
    for (DWORD i = count; i-- > 0;) {
        const String name = SubKeyName(key, i);
        if (name.Length() > 0 && wanted(name.Text())) {
            String path;
            path.Format("%s\\%s", kMakerKey, name.Text());
            DeleteRegistryTree(root, path);
        }
    }
    RegCloseKey(key);
}

void SweepUserKeys(const RunState& state) {
    if (state.eraseMusicData == 1) {
        RemoveMusicData();
        DeleteRegistryTree(HKEY_CURRENT_USER, kMakerKey);
        return;
    }
    // The music service's key stays with everything in it, and so do the maker's key's values.
    SweepMakerKey(HKEY_CURRENT_USER, [](const char* name) {
        if (_stricmp(name, "Tunelane-OV") != 0) {
            return true;
        }
        String path;
        path.Format("%s\\%s", kMakerKey, name);
        LogKey(LV_Kept, HKEY_CURRENT_USER, path, "rule: the music service's data is kept");
        return false;
    });
}

void SweepMachineKeys() {
    SweepMakerKey(HKEY_CLASSES_ROOT, [](const char* name) {
        return _stricmp(name, "Preferences") == 0 || _stricmp(name, "LumoCrate") == 0;
    });
}

String WindowsFolderValue(const char* valueName) {
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", &key) !=
        ERROR_SUCCESS) {
        return String();
    }
    const String value = ReadRegistryText(key, valueName);
    RegCloseKey(key);
    return value;
}

void RemoveTree(Sweep& sweep, const char* path, int recurse = 1) {
    sweep.folder.SetPath(path);
    sweep.folder.RemoveTree(recurse);
}

// A tree removal that spares every "db" folder when the database stays.
void RemoveSparingDatabase(Sweep& sweep, const char* path) {
    sweep.folder.SetPath(path);
    if (sweep.state.eraseDatabase == 1) {
        sweep.folder.RemoveTree(1);
    } else {
        sweep.folder.RemoveTreeKeeping(1, "db");
    }
}

void RemoveFormatted(Sweep& sweep, const char* format, const char* base) {
    sweep.scratch.Format(format, base);
    RemoveTree(sweep, sweep.scratch);
}

void RemoveFileFormatted(Sweep& sweep, const char* format, const char* base) {
    sweep.scratch.Format(format, base);
    sweep.folder.RemoveFile(sweep.scratch);
}

void RemovePlayerFolder(Sweep& sweep) {
    const String& player = sweep.state.playerFolder;
    if (player.Length() == 0) {
        return;
    }
    // The working folder leaves every folder about to be removed.
    if (sweep.programFilesFolder.Length() > 0) {
        sweep.folder.SetPath(sweep.programFilesFolder);
        sweep.folder.MakeCurrent();
    }
    if (sweep.state.standardPlayerFolder == 1) {
        RemoveSparingDatabase(sweep, player);
        return;
    }
    // A folder of another name may hold other things: only the player's own leave it.
    RemoveFormatted(sweep, "%s\\Datacache", player);
    RemoveFileFormatted(sweep, "%s\\lumora music license.html", player);
    RemoveFileFormatted(sweep, "%s\\lumora music license.txt", player);
    // Only when empty, and never a protected folder the registration names.
    RemoveTree(sweep, player, 0);
}

void RemoveSharedFolders(Sweep& sweep) {
    if (sweep.commonFilesFolder.Length() == 0) {
        return;
    }
    RemoveFormatted(sweep, "%s\\Lumo\\Update_OB", sweep.commonFilesFolder);
    RemoveFormatted(sweep, "%s\\Lumo\\Common", sweep.commonFilesFolder);
}

void RemoveSystemFiles(Sweep& sweep) {
    const String& system = sweep.state.systemFolder;
    if (system.Length() == 0) {
        return;
    }
    for (const char* name : {"ovdx5016.dll", "ovdx5032.dll", "optnscpl.cpl", "lmoc3260.dll"}) {
        sweep.scratch.Format("%s\\%s", system.Text(), name);
        sweep.folder.RemoveFile(sweep.scratch);
    }
}

// Relative paths are taken in the folder object's last path. The Strings are freed; the lists
// keep their elements and count. The index has the count's own type: a 16-bit one wrapped at
// 65,536 paths, and the walk never ended, freeing the same Strings again.
void RemoveDeferredFiles(Sweep& sweep) {
    for (int i = 0; i < deferredFiles.GetCount(); ++i) {
        String* path = static_cast<String*>(deferredFiles[i]);
        if (path != nullptr) {
            sweep.folder.RemoveFile(*path);
            delete path;
        }
    }
}

void RemoveDeferredFolders(Sweep& sweep) {
    for (int i = 0; i < deferredFolders.GetCount(); ++i) {
        String* path = static_cast<String*>(deferredFolders[i]);
        if (path != nullptr) {
            sweep.folder.SetPath(*path);
            sweep.folder.RemoveTree(0); // only an empty folder goes
            delete path;
        }
    }
}

void RemoveProgramFolders(Sweep& sweep) {
    const String programFiles = sweep.programFilesFolder;
    if (programFiles.Length() == 0) {
        return;
    }
    sweep.scratch.Format("%s\\Lumo", programFiles.Text());
    sweep.folder.SetPath(sweep.scratch);
    sweep.folder.MakeCurrent();
    for (const char* product : {"LumoDeck", "Lumora Deck", "LumoCrate"}) {
        sweep.scratch.Format("%s\\Lumo\\%s", programFiles.Text(), product);
        RemoveSparingDatabase(sweep, sweep.scratch);
    }
    for (const char* product :
         {"LumoForge", "LumoForgePlus", "LumoReel", "LumoReelPlus", "LumoHub", "LumoRelay"}) {
        sweep.scratch.Format("%s\\Lumo\\%s", programFiles.Text(), product);
        RemoveTree(sweep, sweep.scratch);
    }
    // "Lumo" itself goes only when nothing else is left in it.
    sweep.scratch.Format("%s\\Lumo", programFiles.Text());
    _chdir(programFiles);
    sweep.folder.SetPath(sweep.scratch);
    sweep.folder.Remove();
}

} // namespace

void SweepResidue(RunState& state, SetupRoad& road) {
    DeleteRegistryTree(HKEY_CLASSES_ROOT,
                       "Software\\Orvane\\Update\\6.0\\Preferences\\Components\\athdb:7.0");
    CloseSetupRoad(road);
    TerminateMakerProcesses();
    CleanUserDataFolder(state.eraseDatabase, state.userDataPath);
    if (state.eraseDatabase == 1) {
        RemoveMediaDatabase();
    }
    SweepUserKeys(state);
    SweepMachineKeys();
    if (state.eraseDatabase == 0) {
        RestoreDatabasePath(state.databasePath); // the machine sweep deleted the key holding it
    }
    Sweep sweep(state, WindowsFolderValue("ProgramFilesDir"), WindowsFolderValue("CommonFilesDir"));
    RemovePlayerFolder(sweep);
    RemoveSharedFolders(sweep);
    RemoveSystemFiles(sweep);
    RemoveDeferredFiles(sweep);
    RemoveDeferredFolders(sweep);
    if (state.eraseDatabase == 1) {
        CleanCdPlayerIni();
    }
    RemoveProgramFolders(sweep);
    if (state.errorOccurred == 0) {
        printf("\r\t\t\t\t\t\t\t\t\t");
        printf("\nThis application completed successfully.");
    }
}
