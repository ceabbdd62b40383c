#include "userdata/media_database.h"

#include "tests/support/machine_files.h"
#include "tests/support/user_data_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Console;

const char kPreferences[] = "Software\\Orvane\\LumoCrate\\Preferences";
const char kUserDataKey[] = "Software\\Orvane\\Preferences\\UserDataPath";

class UserDataRegistry : public testing::Test {
protected:
    testsupport::MakerDataLock lock; // first member: held before SetUp, released last
    void SetUp() override { testsupport::WipeUserDataKeys(); }
    void TearDown() override { testsupport::WipeUserDataKeys(); }
};

using ProbeMediaDatabaseTest = UserDataRegistry;

TEST_F(ProbeMediaDatabaseTest, ThePerUserPathComesFirst) {
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", "D:\\Music\\DB");
    testsupport::SetText(HKEY_CLASSES_ROOT, kPreferences, "DatabasePath", "E:\\Machine\\DB");
    String path;
    EXPECT_EQ(1, ProbeMediaDatabase(&path));
    EXPECT_STREQ("D:\\Music\\DB", path);
    EXPECT_EQ(1, ProbeMediaDatabase(nullptr));
}

TEST_F(ProbeMediaDatabaseTest, APerUserKeyWithoutAPathHidesTheMachineWideOne) {
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "Other", "x");
    testsupport::SetText(HKEY_CLASSES_ROOT, kPreferences, "DatabasePath", "E:\\Machine\\DB");
    String path("stale");
    EXPECT_EQ(0, ProbeMediaDatabase(&path));
    EXPECT_STREQ("", path); // the per-user key was read: its missing value empties the path
}

TEST_F(ProbeMediaDatabaseTest, TheMachineWideKeyServesWhenThereIsNoPerUserKey) {
    testsupport::SetText(HKEY_CLASSES_ROOT, kPreferences, "DatabasePath", "E:\\Machine\\DB");
    String path;
    EXPECT_EQ(1, ProbeMediaDatabase(&path));
    EXPECT_STREQ("E:\\Machine\\DB", path);
}

TEST_F(ProbeMediaDatabaseTest, NoKeyLeavesThePathAlone) {
    String path("untouched");
    EXPECT_EQ(0, ProbeMediaDatabase(&path));
    EXPECT_STREQ("untouched", path);
}

TEST_F(ProbeMediaDatabaseTest, TextsEndWhereTheRegistrySaysTheyEnd) {
    // Stored without a terminator: the text is the 5 bytes written, nothing that follows them.
    testsupport::SetBytes(HKEY_CURRENT_USER, kPreferences, "DatabasePath", "D:\\DBxyz", 5, REG_SZ);
    String path;
    EXPECT_EQ(1, ProbeMediaDatabase(&path));
    EXPECT_STREQ("D:\\DB", path);

    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", "D:\\Expand",
                         REG_EXPAND_SZ);
    EXPECT_EQ(1, ProbeMediaDatabase(&path));
    EXPECT_STREQ("D:\\Expand", path);
}

TEST_F(ProbeMediaDatabaseTest, ValuesThatAreNotUsableTextsReadAsEmpty) {
    const DWORD number = 0x00003A44; // the bytes "D:" followed by zeros
    testsupport::SetBytes(HKEY_CURRENT_USER, kPreferences, "DatabasePath", &number, sizeof number,
                          REG_DWORD);
    String path("stale");
    EXPECT_EQ(0, ProbeMediaDatabase(&path));
    EXPECT_STREQ("", path);

    testsupport::SetBytes(HKEY_CURRENT_USER, kPreferences, "DatabasePath", "C:\\", 4, REG_BINARY);
    EXPECT_EQ(0, ProbeMediaDatabase(&path));

    // Longer than the 260 bytes the program reads: not half a path.
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath",
                         "C:\\" + std::string(300, 'a'));
    EXPECT_EQ(0, ProbeMediaDatabase(&path));
    EXPECT_STREQ("", path);

    // 259 bytes and the terminator fit exactly.
    const std::string longest = "C:\\" + std::string(256, 'a');
    testsupport::SetText(HKEY_CURRENT_USER, kPreferences, "DatabasePath", longest);
    EXPECT_EQ(1, ProbeMediaDatabase(&path));
    EXPECT_EQ(longest, std::string(path.Text()));
}

using RestoreDatabasePathTest = UserDataRegistry;

TEST_F(RestoreDatabasePathTest, WritesTheTextWithItsTerminator) {
    EXPECT_EQ(1, RestoreDatabasePath(String("D:\\DB")));
    DWORD type = REG_NONE;
    std::string data;
    ASSERT_TRUE(
        testsupport::ReadValue(HKEY_CLASSES_ROOT, kPreferences, "DatabasePath", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("D:\\DB\0", 6), data);
}

TEST_F(RestoreDatabasePathTest, AnEmptyPathWritesNothing) {
    EXPECT_EQ(0, RestoreDatabasePath(String()));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kPreferences));
}

using ReadUserDataPathTest = UserDataRegistry;

TEST_F(ReadUserDataPathTest, ReadsTheDefaultValueOrNothing) {
    String path("stale");
    ReadUserDataPath(path);
    EXPECT_STREQ("", path);

    testsupport::SetText(HKEY_CURRENT_USER, kUserDataKey, "", "C:\\Users\\bob\\Lumo\\Data");
    ReadUserDataPath(path);
    EXPECT_STREQ("C:\\Users\\bob\\Lumo\\Data", path);
}

struct Answer {
    const char* name;
    const char* typed;
    int erase;
};

void PrintTo(const Answer& answer, std::ostream* out) {
    *out << answer.name;
}

std::string AnswerName(const testing::TestParamInfo<Answer>& info) {
    return info.param.name;
}

class AskEraseDatabaseTest : public testing::TestWithParam<Answer> {};

TEST_P(AskEraseDatabaseTest, OnlyNErases) {
    Console console(GetParam().typed);
    EXPECT_EQ(GetParam().erase, AskEraseDatabase());
    EXPECT_EQ("\n\nDo you want to leave your Media Database on your machine,\n"
              "to be used the next time Lumora Deck is installed? \n\n"
              "Enter \"N\" to permanently erase your database.\n"
              "Enter \"Y\" to keep your database. (Recommended).\n",
              console.Output());
}

INSTANTIATE_TEST_SUITE_P(Answers, AskEraseDatabaseTest,
                         testing::Values(Answer{"n", "n\n", 1}, Answer{"N", "N\n", 1},
                                         Answer{"y", "y\n", 0}, Answer{"x", "x\n", 0},
                                         Answer{"BlankFirst", " n\n", 0},
                                         Answer{"EmptyLine", "\n", 0}, Answer{"EndOfInput", "", 0},
                                         Answer{"no", "no\n", 1}),
                         AnswerName);

// What was typed ahead of the question is not its answer.
TEST(AskEraseDatabaseInput, DiscardsWhatWasTypedBeforeTheQuestion) {
    Console console("", "YN\n");
    char confirmation = 0;
    ASSERT_EQ(1, scanf("%c", &confirmation));
    ASSERT_EQ('Y', confirmation);
    EXPECT_EQ(0, AskEraseDatabase()); // the N was read ahead with the Y, and is dropped
}

} // namespace
