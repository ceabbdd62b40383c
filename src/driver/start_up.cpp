#include "driver/start_up.h"

#include "platform/win32api.h"
#include "registry/registry_backup.h"
#include "support/removal_log.h"
#include "userdata/console_answer.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr REGSAM kProbeAccess = KEY_READ | KEY_WRITE;
const char kMakerKey[] = "Software\\Orvane";

void ReportRestrictedUser() {
    printf("\nYou cannot run this application as a restricted user.\n");
    LogKey(LV_Failed, HKEY_CLASSES_ROOT, kMakerKey,
           "the rights probe may not write it: a restricted user, nothing is removed");
}

// Deletes `child` below `parent`, a key of the same root; failures are left alone.
void DeleteProbeKey(RegistryKey& key, const char* parent, const char* child) {
    const RegistryBackupPause madeByTheProbe; // nothing of the user's to put back
    key.Close();
    key.SetSubKey(parent);
    if (SUCCEEDED(key.Open())) {
        key.DeleteSubKey(child);
        key.Close();
    }
}

} // namespace

bool ProveRights(RunState& state) {
    RegistryKey& key = state.rightsKey;
    key.SetAccessMask(kProbeAccess);
    key.SetRootKey(HKEY_CLASSES_ROOT);
    key.SetSubKey(kMakerKey);
    if (SUCCEEDED(key.Open())) {
        key.Close();
        key.SetSubKey("Software\\Orvane\\test");
        if (FAILED(key.Create(nullptr, 0))) {
            ReportRestrictedUser();
            return false;
        }
        DeleteProbeKey(key, kMakerKey, "test");
        return true;
    }
    if (FAILED(key.Create(nullptr, 0))) {
        ReportRestrictedUser();
        return false;
    }
    DeleteProbeKey(key, "Software", "Orvane");
    return true;
}

bool ConfirmRemoval() {
    printf("\nWARNING:\n");
    printf("This uninstaller will remove all Orvane applications\n");
    printf("and files from your computer except for LumoArena.\n");
    printf("If LumoArena is installed please run the LumoArena installer\n");
    printf("after this process has finished because some shared files\n");
    printf("and settings may be affected.\n");
    printf("\n");
    printf("Enter \"Y\" to continue or \"N\" to exit.\n");
    const char answer = ReadAnswer();
    const bool confirmed = toupper(static_cast<unsigned char>(answer)) == 'Y';
    LogAnswer("remove every Orvane application but LumoArena?", answer,
              confirmed ? "go on" : "stop, nothing is removed");
    return confirmed;
}
