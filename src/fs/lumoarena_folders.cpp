#include "fs/lumoarena_folders.h"

#include "fs/folder_values.h"
#include "fs/removal_guard.h"
#include "platform/win32api.h"
#include "support/mb_text.h"
#include "support/removal_log.h"

namespace {

constexpr DWORD kNameRoom = 256;
const char kProductKey[] = "Software\\Orvane\\LumoArena";
const char* const kProgramValues[] = {"ProgramFilesDir", "ProgramW6432Dir",
                                      "ProgramFilesDir (x86)"};
const char* const kCommonValues[] = {"CommonFilesDir", "CommonW6432Dir", "CommonFilesDir (x86)"};

struct Judge {
    const FolderReach& reach;
    String* reached;

    bool operator()(const char* what, const String& folder) const {
        if (folder.Length() < 3 || !reach.Reaches(folder)) {
            return false;
        }
        if (reached != nullptr) {
            *reached = Concat(Concat(what, " "), folder);
        }
        return true;
    }
};

// LumoArena's folder below the maker's Lumo folder of each folder value of `values` (a path
// reaching the Lumo folder reaches it too).
bool AnyBelowWindowsFolders(const Judge& judge, const char* const (&values)[3], const char* what) {
    return AnyCurrentVersionView([&](HKEY key) {
        for (const char* name : values) {
            const String base = ReadFolderValue(key, name);
            if (base.Length() > 0 && judge(what, Concat(base, "\\Lumo\\LumoArena"))) {
                return true;
            }
        }
        return false;
    });
}

// The folder holding the file a component's Location names.
String FolderOfLocation(const String& location) {
    const char* last = MbFindLastChar(location.Text(), '\\');
    return last != nullptr ? location.Left(static_cast<unsigned>(last - location.Text()))
                           : String();
}

// Each key below `key` in turn, opened, until `visit` answers true.
template <typename Visit> bool AnySubKey(HKEY key, Visit visit) {
    char name[kNameRoom];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, kNameRoom) == ERROR_SUCCESS; ++i) {
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
            continue;
        }
        const bool found = visit(sub, name);
        RegCloseKey(sub);
        if (found) {
            return true;
        }
    }
    return false;
}

bool AnyComponentFolder(const Judge& judge) {
    HKEY product = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kProductKey, 0, KEY_READ, &product) != ERROR_SUCCESS) {
        return false;
    }
    const bool found = AnySubKey(product, [&](HKEY version, const char*) {
        HKEY components = nullptr;
        if (RegOpenKeyExA(version, "Preferences\\Components", 0, KEY_READ, &components) !=
            ERROR_SUCCESS) {
            return false;
        }
        const bool any = AnySubKey(components, [&](HKEY component, const char* name) {
            return judge(Concat("the folder of LumoArena's component ", name),
                         FolderOfLocation(ReadFolderValue(component, "Location")));
        });
        RegCloseKey(components);
        return any;
    });
    RegCloseKey(product);
    return found;
}

} // namespace

int ReachesLumoArena(const char* path, String* reached) {
    const FolderReach reach(path);
    const Judge judge{reach, reached};
    return AnyBelowWindowsFolders(judge, kProgramValues, "LumoArena's program folder") ||
                   AnyBelowWindowsFolders(judge, kCommonValues, "LumoArena's shared folder") ||
                   AnyComponentFolder(judge)
               ? 1
               : 0;
}

bool RefusedForLumoArena(const char* path) {
    String reached;
    if (!ReachesLumoArena(path, &reached)) {
        return false;
    }
    if (IsRemovalLogOpen()) {
        LogAction(LV_Refused, LT_Folder, path,
                  Concat("rule: LumoArena is spared; it would reach ", reached));
    }
    return true;
}
