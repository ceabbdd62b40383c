// LumoArena's folders and the maker's Lumo folders that hold them are never emptied: neither a
// tree removal nor a sparing removal reaches them, while what lies beside them goes. Played on
// every build.
#include "fs/lumoarena_folders.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/sparing_directory.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

namespace {

using testsupport::ScratchFolder;

std::string Reached(const std::string& path) {
    String reached;
    return ReachesLumoArena(path.c_str(), &reached) ? std::string(reached.Text()) : "";
}

std::string WindowsFolderValue(const char* name) {
    char value[261] = "";
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", &key) ==
        ERROR_SUCCESS) {
        DWORD size = sizeof value - 1;
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size);
        RegCloseKey(key);
    }
    return value;
}

TEST(LumoArenaFolders, ItsFoldersBelowTheProgramAndCommonFilesFoldersAndTheirAncestors) {
    const std::string program = WindowsFolderValue("ProgramFilesDir");
    const std::string common = WindowsFolderValue("CommonFilesDir");
    ASSERT_FALSE(program.empty());
    ASSERT_FALSE(common.empty());
    const std::string arena = program + "\\Lumo\\LumoArena";
    EXPECT_EQ(Reached(program + "\\Lumo"), "LumoArena's program folder " + arena);
    EXPECT_EQ(Reached(arena + "\\.."), "LumoArena's program folder " + arena);
    EXPECT_EQ(Reached(common + "\\LUMO\\"),
              "LumoArena's shared folder " + common + "\\Lumo\\LumoArena");
    for (const std::string& beside : {program + "\\Lumo\\LumoCrate", program + "\\Lumo\\LumoArenaX",
                                      common + "\\Lumo\\Common", common + "\\Lumo\\Update_OB"}) {
        EXPECT_EQ(Reached(beside), "") << beside;
    }
}

class LumoArenaComponent : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::WriteFile(Make(scratch_ / "Games\\LumoArena") + "\\arena.exe",
                                           "the games product"));
        ASSERT_TRUE(testsupport::WriteFile(Make(scratch_ / "Games\\Other") + "\\other.txt"));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, kComponent, &key), ERROR_SUCCESS);
        const std::string location = scratch_ / "Games\\LumoArena\\arena.exe";
        RegSetValueExA(key, "Location", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                       static_cast<DWORD>(location.size() + 1));
        RegCloseKey(key);
    }
    void TearDown() override {
        for (const char* key :
             {kComponent, "Software\\Orvane\\LumoArena\\1.0\\Preferences\\Components",
              "Software\\Orvane\\LumoArena\\1.0\\Preferences", "Software\\Orvane\\LumoArena\\1.0",
              "Software\\Orvane\\LumoArena"}) {
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        }
    }
    static std::string Make(const std::string& folder) {
        _mkdir(folder.substr(0, folder.rfind('\\')).c_str());
        _mkdir(folder.c_str());
        return folder;
    }

    static constexpr const char* kComponent =
        "Software\\Orvane\\LumoArena\\1.0\\Preferences\\Components\\arena:1.0";
    testsupport::MakerDataLock lock_; // first: held before SetUp, released last
    ScratchFolder scratch_;
};

TEST_F(LumoArenaComponent, TreeAndSparingRemovalsOfAFolderHoldingItAreRefused) {
    const std::string games = scratch_ / "Games";
    testsupport::ScratchLog log;
    SparingDirectory folder;
    folder.SetPath(games.c_str());
    EXPECT_EQ(folder.RemoveTreeKeeping(1, "db"), 1);
    EXPECT_EQ(folder.RemoveTree(1), 0);
    EXPECT_TRUE(testsupport::IsFile(games + "\\LumoArena\\arena.exe"));
    EXPECT_TRUE(testsupport::IsFile(games + "\\Other\\other.txt"));
    folder.SetPath((games + "\\Other").c_str());
    EXPECT_EQ(folder.RemoveTree(1), 1) << "what lies beside it goes";
    const std::string refused = "refused  folder    " + games +
                                "  (rule: LumoArena is spared; it would reach the folder of "
                                "LumoArena's component arena:1.0 " +
                                games + "\\LumoArena)";
    const std::vector<std::string> actions = log.Actions();
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0], refused);
    EXPECT_EQ(actions[1], refused);
}

} // namespace
