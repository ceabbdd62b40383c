#include "loader/common_preferences.h"

#include "fs/mb_text.h"
#include "loader/platform_detection.h"
#include "registry/registry_preference_store.h"

#include <new>

namespace {

const char kPrefix[] = "Software\\";
const char kSuffix[] = "\\Preferences";

// Composes the key path into path (RegistryPreferenceStore::kKeyPathRoom bytes); false when it
// would not fit.
bool ComposeKeyPath(const char* company, char* path) {
    const size_t room = RegistryPreferenceStore::kKeyPathRoom;
    if (strlen(kPrefix) + strlen(company) >= room) {
        return false;
    }
    strcpy(path, kPrefix);
    strcat(path, company);
    if (char* comma = MbFindChar(path, ',')) {
        *comma = '\0';
    }
    if (strlen(path) + strlen(kSuffix) >= room) {
        return false;
    }
    strcat(path, kSuffix);
    const int platform = DetectPlatform();
    if (platform == kPlatformCode1 || platform == kPlatformWin32s) {
        for (char* space = MbFindChar(path, ' '); space; space = MbFindChar(space, ' ')) {
            *space = '_';
        }
    }
    return true;
}

} // namespace

PreferenceStore* OpenCommonPreferences(const char* company) {
    char path[RegistryPreferenceStore::kKeyPathRoom];
    if (company == nullptr || !ComposeKeyPath(company, path)) {
        return nullptr;
    }
    return new (std::nothrow) RegistryPreferenceStore(path, 1);
}
