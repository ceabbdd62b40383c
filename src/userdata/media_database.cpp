#include "userdata/media_database.h"

#include "platform/win32api.h"
#include "userdata/keep_or_erase_question.h"
#include "registry/registry_value_text.h"

namespace {

const char kPreferencesKey[] = "Software\\Orvane\\LumoCrate\\Preferences";
const char kDatabaseValue[] = "DatabasePath";

} // namespace

int ProbeMediaDatabase(String* out) {
    HKEY key = nullptr;
    // The per-user key hides the machine-wide one, even when it holds no path.
    if (RegOpenKeyA(HKEY_CURRENT_USER, kPreferencesKey, &key) != ERROR_SUCCESS &&
        RegOpenKeyA(HKEY_CLASSES_ROOT, kPreferencesKey, &key) != ERROR_SUCCESS) {
        return 0;
    }
    const String path = ReadRegistryText(key, kDatabaseValue);
    RegCloseKey(key);
    if (out != nullptr) {
        *out = path;
    }
    return path.Length() != 0 ? 1 : 0;
}

int AskEraseDatabase() {
    static const char* const kLines[] = {
        "\n\nDo you want to leave your Media Database on your machine,\n",
        "to be used the next time Lumora Deck is installed? \n\n",
        "Enter \"N\" to permanently erase your database.\n",
        "Enter \"Y\" to keep your database. (Recommended).\n",
    };
    return AskKeepOrErase(kLines, sizeof kLines / sizeof *kLines, "keep the media database?");
}

int RestoreDatabasePath(const String& path) {
    if (path.Length() == 0) {
        return 0;
    }
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, kPreferencesKey, &key) != ERROR_SUCCESS) {
        return 0;
    }
    RegSetValueExA(key, kDatabaseValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.Text()),
                   path.Length() + 1);
    RegCloseKey(key);
    return 1;
}

void ReadUserDataPath(String& out) {
    String path;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\Preferences\\UserDataPath", &key) ==
        ERROR_SUCCESS) {
        path = ReadRegistryText(key, "");
        RegCloseKey(key);
    }
    out = path;
}
