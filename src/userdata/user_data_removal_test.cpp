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

// The profile reached through a folder link, in a user-data path a user can edit: the path cut
// at the brand folder names the profile itself (a profile folder named "Lumo"), though no part of
// its spelling is the profile's and it is no link itself.
TEST_F(CleanUserDataFolderTest, AProfileReachedThroughAFolderLinkKeepsEveryFile) {
    const std::string profile = root / "Users\\Lumo";
    ASSERT_TRUE(MakeFile(profile + "\\Documents\\letter.txt"));
    ASSERT_TRUE(MakeFile(profile + "\\ntuser.dat"));
    testsupport::ScopedEnvironment user("USERPROFILE", profile);
    testsupport::FolderLink link(root / "Home", root / "Users");
    ASSERT_TRUE(link.Made());

    for (int erase : {1, 0}) {
        String path((root / "Home\\Lumo\\Data").c_str());
        CleanUserDataFolder(erase, path);
        EXPECT_TRUE(Exists(profile + "\\Documents\\letter.txt")) << erase;
        EXPECT_TRUE(Exists(profile + "\\ntuser.dat")) << erase;
    }
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

// Only a whole folder name is cut at: "Lumora Deck DB2" is not "Lumora Deck DB", and its sibling
// of that name, which the user never named, keeps its files; nor is "MyLumora Deck DB", which
// would otherwise go whole with everything beside the database.
TEST_F(RemoveMediaDatabaseTest, ALongerFolderNameIsNotTheDatabaseFolder) {
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB2\\Data\\library.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB\\other.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\MyLumora Deck DB\\Data\\library.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\MyLumora Deck DB\\mine.txt"));
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB2\\Lumora Deck DB\\Data\\x.db"));
    ASSERT_TRUE(MakeFile(root / "Media\\Lumora Deck DB2\\kept.txt"));
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath",
                         root / "Media\\Lumora Deck DB2\\Data");
    Console console("");

    RemoveMediaDatabase();

    EXPECT_EQ("\nMedia Database removed.\n", console.Output());
    EXPECT_FALSE(Exists(root / "Media\\Lumora Deck DB2\\Data"));
    EXPECT_TRUE(Exists(root / "Media\\Lumora Deck DB\\other.db"));
    EXPECT_TRUE(Exists(root / "Media\\Lumora Deck DB2\\kept.txt"));

    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath",
                         root / "Media\\MyLumora Deck DB\\Data");
    Console mine("");
    RemoveMediaDatabase();
    mine.Output();
    EXPECT_FALSE(Exists(root / "Media\\MyLumora Deck DB\\Data"));
    EXPECT_TRUE(Exists(root / "Media\\MyLumora Deck DB\\mine.txt"));

    // A later whole name still takes its folder: the first whole one is the database's.
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath",
                         root / "Media\\Lumora Deck DB2\\Lumora Deck DB\\Data");
    Console again("");
    RemoveMediaDatabase();
    again.Output();
    EXPECT_FALSE(Exists(root / "Media\\Lumora Deck DB2\\Lumora Deck DB"));
    EXPECT_TRUE(Exists(root / "Media\\Lumora Deck DB2\\kept.txt"));
    EXPECT_TRUE(Exists(root / "Media\\Lumora Deck DB\\other.db"));
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

// "C:\Documents and Settings" is a junction to "C:\Users" on every Windows since Vista: a
// database path spelt through it names the profile, which keeps every file.
TEST_F(RemoveMediaDatabaseTest, AProfileReachedThroughAFolderLinkKeepsEveryFile) {
    const std::string profile = root / "Users\\bob";
    ASSERT_TRUE(MakeFile(profile + "\\Documents\\letter.txt"));
    ASSERT_TRUE(MakeFile(profile + "\\Lumora Deck DB\\library.db"));
    testsupport::ScopedEnvironment user("USERPROFILE", profile);
    testsupport::FolderLink link(root / "Documents and Settings", root / "Users");
    ASSERT_TRUE(link.Made());
    Console console("");

    for (const char* database : {"Documents and Settings\\bob", "Documents and Settings"}) {
        testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", root / database);
        RemoveMediaDatabase();
        EXPECT_TRUE(Exists(profile + "\\Documents\\letter.txt")) << database;
        EXPECT_TRUE(Exists(profile + "\\Lumora Deck DB\\library.db")) << database;
    }
    console.Output();
}

} // namespace
