#include "loader/common_preferences.h"

#include "support/mb_text.h"
#include "loader/platform_detection.h"
#include "registry/registry_preference_store.h"

#include <new>

namespace {

const char kPrefix[] = "Software\\";
const char kSuffix[] = "\\Preferences";

// Composes the key path into path (RegistryPreferenceStore::kKeyPathRoom bytes); false when it
// would not fit. Only the company name's part before its first comma counts.
bool ComposeKeyPath(const char* company, char* path) {
    const char* comma = MbFindChar(company, ',');
    const size_t length = comma ? static_cast<size_t>(comma - company) : strlen(company);
    if (strlen(kPrefix) + length + strlen(kSuffix) >= RegistryPreferenceStore::kKeyPathRoom) {
        return false;
    }
    strcpy(path, kPrefix);
    strncat(path, company, length);
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
