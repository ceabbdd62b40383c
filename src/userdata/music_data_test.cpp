#include "userdata/music_data.h"

#include "tests/support/machine_files.h"
#include "tests/support/user_data_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Console;
using testsupport::Exists;
using testsupport::KeyExists;
using testsupport::MakeFile;

const char kMusicKey[] = "Software\\Orvane\\Tunelane-OV";
const char kMachineMusicKey[] = "Software\\Tunelane-OV";
const char* const kFiles[] = {"db.lma", "tac.lma", "mcs.lma"};

// The music service's data lives in fixed places: the program's own keys and three files in the
// system folder. Each test starts and ends without any of them.
class MusicData : public testing::Test {
protected:
    testsupport::MakerDataLock lock; // first member: held before SetUp, released last
    void SetUp() override { WipeAll(); }
    void TearDown() override { WipeAll(); }

    static void WipeAll() {
        testsupport::WipeUserDataKeys();
        for (const char* name : kFiles) {
            testsupport::RemoveAll(SystemFile(name));
        }
    }
    static std::string SystemFile(const char* name) {
        return testsupport::SystemFolder() + "\\" + name;
    }
};

using ProbeMusicDataTest = MusicData;

TEST_F(ProbeMusicDataTest, FindsEitherKeyOfTheMaker) {
    EXPECT_EQ(0, ProbeMusicData());
    testsupport::SetText(HKEY_CLASSES_ROOT, kMusicKey, "Account", "x");
    EXPECT_EQ(1, ProbeMusicData());
    testsupport::WipeUserDataKeys();
    testsupport::SetText(HKEY_CURRENT_USER, kMusicKey, "Account", "x");
    EXPECT_EQ(1, ProbeMusicData());
}

TEST_F(ProbeMusicDataTest, TheMachineWideServiceKeyAloneIsNoTrace) {
    testsupport::SetText(HKEY_LOCAL_MACHINE, kMachineMusicKey, "Installed", "1");
    EXPECT_EQ(0, ProbeMusicData());
}

TEST_F(ProbeMusicDataTest, AnyOneDatabaseFileIsATrace) {
    for (const char* name : kFiles) {
        ASSERT_TRUE(MakeFile(SystemFile(name)));
        EXPECT_EQ(1, ProbeMusicData()) << name;
        testsupport::RemoveAll(SystemFile(name));
    }
}

TEST_F(ProbeMusicDataTest, AFolderOfADatabaseFilesNameIsNoTrace) {
    ASSERT_TRUE(testsupport::MakeFolders(SystemFile("db.lma")));
    EXPECT_EQ(0, ProbeMusicData());
}

TEST(AskEraseMusicData, OnlyNErasesAndTheQuestionIsPrintedWhole) {
    const std::string question =
        "\n\nDo you want to leave ALL of the registry keys associated\nwith Lumora Music and leave "
        "the MCS database files?\n\n"
        "Enter \"N\" to erase Lumora Music info.\n"
        "Enter \"Y\" to keep Lumora Music info. (Recommended).\n";
    for (const auto& answer :
         {std::make_pair("n\n", 1), std::make_pair("N\n", 1), std::make_pair("Y\n", 0),
          std::make_pair("y\n", 0), std::make_pair("q\n", 0), std::make_pair("", 0)}) {
        Console console(answer.first);
        EXPECT_EQ(answer.second, AskEraseMusicData()) << answer.first;
        EXPECT_EQ(question, console.Output());
    }
}

using RemoveMusicDataTest = MusicData;

TEST_F(RemoveMusicDataTest, RemovesTheThreeKeyTreesAndTheThreeFiles) {
    testsupport::SetText(HKEY_CURRENT_USER, std::string(kMusicKey) + "\\Licenses", "Count", "3");
    testsupport::SetText(HKEY_CLASSES_ROOT, std::string(kMusicKey) + "\\Cache\\Deep", "A", "1");
    testsupport::SetText(HKEY_LOCAL_MACHINE, std::string(kMachineMusicKey) + "\\Setup", "B", "2");
    testsupport::SetText(HKEY_CURRENT_USER, "Software\\Orvane\\LumoCrate", "Other", "stays");
    for (const char* name : kFiles) {
        ASSERT_TRUE(MakeFile(SystemFile(name)));
    }
    Console console("");

    RemoveMusicData();

    EXPECT_EQ("\nLumora Music info removed.\n", console.Output());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMusicKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMusicKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineMusicKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\LumoCrate"));
    for (const char* name : kFiles) {
        EXPECT_FALSE(Exists(SystemFile(name))) << name;
    }
}

TEST_F(RemoveMusicDataTest, ReportsRemovalEvenWithNothingLeftAndSparesFolders) {
    ASSERT_TRUE(MakeFile(SystemFile("db.lma") + "\\inside.dat"));
    Console console("");

    RemoveMusicData();

    EXPECT_EQ("\nLumora Music info removed.\n", console.Output());
    EXPECT_TRUE(Exists(SystemFile("db.lma") + "\\inside.dat"));
}

} // namespace
