#include "userdata/user_data_removal.h"

#include "platform/win32api.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "tests/support/user_data_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Console;
using testsupport::Exists;
using testsupport::MakeFile;
using testsupport::ScratchFolder;

const char kPreferences[] = "Software\\Orvane\\LumoCrate\\Preferences";

class UserDataRemoval : public testing::Test {
protected:
    testsupport::MakerDataLock lock; // first member: held before SetUp, released last
    void SetUp() override { testsupport::WipeUserDataKeys(); }
    void TearDown() override { testsupport::WipeUserDataKeys(); }

    ScratchFolder root;
};

using CleanUserDataFolderTest = UserDataRemoval;

TEST_F(CleanUserDataFolderTest, KeepingRemovesTheBrandFolderButItsDbFolders) {
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\db\\library.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\Profiles\\bob\\settings.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\cache.tmp"));
    ASSERT_TRUE(MakeFile(root / "Data\\other.dat"));
    String path((root / "Data\\Lumo\\Profiles\\bob").c_str());

    CleanUserDataFolder(0, path);

    EXPECT_EQ(root / "Data\\Lumo", std::string(path.Text())) << "cut in place to the brand folder";
    EXPECT_TRUE(Exists(root / "Data\\Lumo\\db\\library.dat"));
    EXPECT_FALSE(Exists(root / "Data\\Lumo\\Profiles"));
    EXPECT_FALSE(Exists(root / "Data\\Lumo\\cache.tmp"));
    EXPECT_TRUE(Exists(root / "Data\\other.dat"));
}

TEST_F(CleanUserDataFolderTest, ErasingRemovesTheWholeBrandFolderAtItsFirstLevel) {
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\db\\library.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\A\\Lumo\\B\\b.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\other.dat"));
    String path((root / "Data\\Lumo\\A\\Lumo\\B").c_str());

    CleanUserDataFolder(1, path);

    EXPECT_EQ(root / "Data\\Lumo", std::string(path.Text()));
    EXPECT_FALSE(Exists(root / "Data\\Lumo"));
    EXPECT_TRUE(Exists(root / "Data\\other.dat"));
}

// Without a "\Lumo\" level the path names no folder of the maker's; in particular a text that
// starts with "Lumo" must not be taken for a folder "Lumo" in the working folder.
TEST_F(CleanUserDataFolderTest, APathWithoutTheBrandLevelRemovesNothing) {
    ASSERT_TRUE(MakeFile(root / "Lumo\\relative.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\LumoPlayer\\x.dat"));
    ASSERT_TRUE(MakeFile(root / "Data\\Lumo\\y.dat"));
    char previous[MAX_PATH + 1] = {};
    ASSERT_NE(nullptr, _getcwd(previous, MAX_PATH));
    ASSERT_EQ(0, _chdir(root.Path().c_str()));

    for (const std::string& text :
         {std::string("LumoPlayer\\Data"), std::string("Lumo"), root / "Data\\LumoPlayer\\x",
          root / "Data\\Lumo", std::string()}) {
        String path(text.c_str());
        CleanUserDataFolder(1, path);
        EXPECT_EQ(text, std::string(path.Text())) << "left as it was";
    }
    EXPECT_EQ(0, _chdir(previous));
    EXPECT_TRUE(Exists(root / "Lumo\\relative.dat"));
    EXPECT_TRUE(Exists(root / "Data\\LumoPlayer\\x.dat"));
    EXPECT_TRUE(Exists(root / "Data\\Lumo\\y.dat"));
}

using RemoveMediaDatabaseTest = UserDataRemoval;

TEST_F(RemoveMediaDatabaseTest, TakesTheLumoraDeckDbFolderTheDatabaseLiesIn) {
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB\\Data\\library.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB\\Art\\cover.jpg"));
    ASSERT_TRUE(MakeFile(root / "Media\\notes.txt"));
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath",
                         root / "Media\\Lumora Deck DB\\Data");
    Console console("");

    RemoveMediaDatabase();

    EXPECT_EQ("\nMedia Database removed.\n", console.Output());
    EXPECT_FALSE(Exists(root / "Media\\Lumora Deck DB"));
    EXPECT_TRUE(Exists(root / "Media\\notes.txt"));
}

TEST_F(RemoveMediaDatabaseTest, ADatabaseElsewhereGoesAlone) {
    ASSERT_TRUE(MakeFile(root / "Media\\Library\\library.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\notes.txt"));
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", root / "Media\\Library");
    Console console("");

    RemoveMediaDatabase();

    EXPECT_EQ("\nMedia Database removed.\n", console.Output());
    EXPECT_FALSE(Exists(root / "Media\\Library"));
    EXPECT_TRUE(Exists(root / "Media\\notes.txt"));
}

TEST_F(RemoveMediaDatabaseTest, WithoutADatabaseNothingHappens) {
    ASSERT_TRUE(MakeFile(root / "Lumora Deck DB\\library.db"));
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "Volume", "80");
    Console console("");

    RemoveMediaDatabase();

    EXPECT_EQ("", console.Output());
    EXPECT_TRUE(Exists(root / "Lumora Deck DB\\library.db"));
}

// A database path a user can edit must not empty the profile folder.
TEST_F(RemoveMediaDatabaseTest, AProtectedPathRemovesNothing) {
    const std::string profile = root / "Users\\bob";
    ASSERT_TRUE(MakeFile(profile + "\\Documents\\letter.txt"));
    testsupport::ScopedEnvironment user("USERPROFILE", profile);
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", root / "Users");
    Console console("");

    RemoveMediaDatabase();

    console.Output();
    EXPECT_TRUE(Exists(profile + "\\Documents\\letter.txt"));
}

} // namespace
