// The folders the system records for its accounts are protected like the Windows folder, with
// their ancestors, whatever the environment says: a run as SYSTEM (another profile, or none in
// USERPROFILE) still keeps every user's profile and the shell folders. Played on every build.
#include "fs/removal_guard.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"

namespace {

using testsupport::ScopedEnvironment;
using testsupport::ScratchFolder;

const char kProfileList[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A value set for the object's lifetime, and the key it made, if any, deleted after.
class ValueFor {
public:
    ValueFor(HKEY root, const std::string& key, const char* name, DWORD type,
             const std::string& text)
        : root_(root), key_(key), name_(name) {
        HKEY opened = nullptr;
        made_ = RegOpenKeyA(root, key.c_str(), &opened) != ERROR_SUCCESS;
        if (opened != nullptr) {
            RegCloseKey(opened);
        }
        EXPECT_EQ(RegCreateKeyA(root, key.c_str(), &opened), ERROR_SUCCESS) << key;
        EXPECT_EQ(RegSetValueExA(opened, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(opened);
    }
    ~ValueFor() {
        if (made_) {
            RegDeleteKeyA(root_, key_.c_str());
            return;
        }
        HKEY opened = nullptr;
        if (RegOpenKeyA(root_, key_.c_str(), &opened) == ERROR_SUCCESS) {
            RegDeleteValueA(opened, name_.c_str());
            RegCloseKey(opened);
        }
    }
    ValueFor(const ValueFor&) = delete;
    ValueFor& operator=(const ValueFor&) = delete;

private:
    HKEY root_;
    std::string key_;
    std::string name_;
    bool made_ = false;
};

std::string Reached(const std::string& path) {
    String reached;
    return IsProtectedFolder(path.c_str(), &reached) ? std::string(reached.Text()) : "";
}

TEST(RecordedFolders, EveryListedProfileAndTheProfilesFolderWithoutUserProfile) {
    ScratchFolder scratch;
    _mkdir((scratch / "Users").c_str());
    _mkdir((scratch / "Users\\Other").c_str());
    ScopedEnvironment noProfile("USERPROFILE", ""); // as a scheduled task may run it
    ScopedEnvironment root("OVTEST_ROOT", scratch.Path());
    const std::string sid = std::string(kProfileList) + "\\S-1-5-21-7-7-7-1007";
    ValueFor other(HKEY_LOCAL_MACHINE, sid, "ProfileImagePath", REG_EXPAND_SZ,
                   "%OVTEST_ROOT%\\Users\\Other");
    const std::string otherProfile = scratch / "Users\\Other";
    EXPECT_EQ(Reached(otherProfile), "the profile of S-1-5-21-7-7-7-1007 " + otherProfile);
    EXPECT_EQ(1, IsProtectedFolder((scratch / "Users").c_str()));
    EXPECT_EQ(0, IsProtectedFolder((otherProfile + "\\Documents\\Lumora Deck DB").c_str()))
        << "what is in a profile stays removable";

    // The machine's own profiles folder and every profile it lists, read as the program reads
    // them.
    HKEY list = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kProfileList, &list), ERROR_SUCCESS);
    char folder[261] = "";
    DWORD size = 260;
    ASSERT_EQ(RegQueryValueExA(list, "ProfilesDirectory", nullptr, nullptr,
                               reinterpret_cast<LPBYTE>(folder), &size),
              ERROR_SUCCESS);
    RegCloseKey(list);
    EXPECT_EQ(Reached(folder), std::string("the profiles folder ") + folder);
    ValueFor unset(HKEY_LOCAL_MACHINE, kProfileList, "Default", REG_EXPAND_SZ,
                   "%OVTEST_UNSET%\\Default");
    EXPECT_EQ(0, IsProtectedFolder((std::string(folder) + "\\Default\\x").c_str()))
        << "a text naming a variable that is not set names no folder";
}

TEST(RecordedFolders, TheUsersAndTheMachinesShellFolders) {
    ScratchFolder scratch;
    ScopedEnvironment root("OVTEST_ROOT", scratch.Path());
    ValueFor documents(HKEY_CURRENT_USER, kShellFolders, "OvTest Documents", REG_SZ,
                       scratch / "Documents");
    ValueFor common(HKEY_LOCAL_MACHINE, kUserShellFolders, "OvTest Common", REG_EXPAND_SZ,
                    "%OVTEST_ROOT%\\Common");
    EXPECT_EQ(Reached(scratch / "Documents"),
              "the user's shell folder OvTest Documents " + scratch / "Documents");
    EXPECT_EQ(Reached(scratch / "Common"),
              "the machine's shell folder OvTest Common " + scratch / "Common");
    EXPECT_EQ(1, IsProtectedFolder(scratch.Path().c_str())) << "an ancestor of both";
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Documents\\Lumora Deck DB").c_str()));
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Commons").c_str()));
}

} // namespace
