#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cerrno>
#include <string>

#include "support/removal_log.h"
#include "tests/support/scratch_log.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::ScratchLog;

// The line with every digit written as 9: times and durations compared by their shape.
std::string Shape(std::string line) {
    for (char& c : line) {
        c = c >= '0' && c <= '9' ? '9' : c;
    }
    return line;
}

TEST(RemovalLog, HeaderActionsCountsAndTime) {
    ScratchLog log;
    ASSERT_TRUE(IsRemovalLogOpen());
    LogAnswer("remove every Orvane application?", 'Y', "go on");
    LogKey(LV_Removed, HKEY_CLASSES_ROOT, "Software\\Orvane\\X");
    LogKey(LV_Failed, HKEY_CURRENT_USER, "Software\\Orvane", "status 5");
    LogAction(LV_Removed, LT_File, "C:\\P\\a.exe");
    LogAction(LV_Kept, LT_Folder, "C:\\L\\db", "rule");
    LogAction(LV_Refused, LT_Folder, "C:\\Windows", "rule");
    LogAction(LV_Deferred, LT_File, "C:\\P\\b.dll");
    LogAction(LV_Skipped, LT_Component, "Update");
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "ovuninst removal log");
    EXPECT_EQ(Shape(lines[1]), "started   9999-99-99 99:99:99");
    EXPECT_THAT(lines[2], StartsWith("program   ovuninst 1."));
    EXPECT_THAT(lines[2], HasSubstr(" build of "));
    EXPECT_EQ(lines[3], "code page " + std::to_string(GetACP()));
    const std::string temp = log.Path("");
    EXPECT_EQ(lines[4], "undo      " + temp +
                            "ovuninst-undo.reg  (every registry key removed, as it was; to "
                            "restore: regedit /S \"%TEMP%\\ovuninst-undo.reg\")");
    EXPECT_EQ(lines[5], "undo      " + temp +
                            "ovuninst-undo-cdplayer.ini  (cdplayer.ini as it was before its first "
                            "rewrite)");
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 6, lines.begin() + 14),
                ElementsAre("answer    remove every Orvane application? Y  (go on)",
                            "removed  key       HKEY_CLASSES_ROOT\\Software\\Orvane\\X",
                            "failed   key       HKEY_CURRENT_USER\\Software\\Orvane  (status 5)",
                            "removed  file      C:\\P\\a.exe",
                            "kept     folder    C:\\L\\db  (rule)",
                            "refused  folder    C:\\Windows  (rule)",
                            "deferred file      C:\\P\\b.dll", "skipped  component Update"));
    EXPECT_EQ(lines[14],
              "counts    removed 1 keys, 1 files, 0 folders, 0 links, 0 components; kept "
              "1; refused 1; failed 1; deferred 1; processes stopped 0");
    EXPECT_EQ(lines[15], "undo      no undo file was asked for");
    EXPECT_EQ(lines[16], "undo      cdplayer.ini was not rewritten: no copy was made");
    EXPECT_EQ(Shape(lines[17]), "took      9.999 s");
    EXPECT_EQ(Shape(lines[18]), "finished  9999-99-99 99:99:99");
}

TEST(RemovalLog, ThePreviousRunsLogIsKeptOnce) {
    ScratchLog log;
    LogAction(LV_Removed, LT_File, "first run");
    CloseRemovalLog();
    OpenRemovalLog();
    LogAction(LV_Removed, LT_File, "second run");
    CloseRemovalLog();
    OpenRemovalLog();
    EXPECT_EQ(log.Lines("ovuninst.1.log")[ScratchLog::kHeaderLines],
              "removed  file      second run");
    EXPECT_EQ(log.Lines().size(), ScratchLog::kHeaderLines + ScratchLog::kClosingLines)
        << "the third run's, empty";
}

// A transcript redirected into the log's own name ("> %TEMP%\ovuninst.log") is another
// writer's file: it is neither emptied nor renamed, and the log takes the next free name.
TEST(RemovalLog, AFileAnotherWriterHoldsIsLeftAloneForAFreeName) {
    ScratchLog log;
    CloseRemovalLog();
    const int transcript = _creat(log.Path().c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(transcript, 0);
    ASSERT_EQ(_write(transcript, "WARNING", 7), 7);
    const int second = _creat(log.Path("ovuninst.2.log").c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(second, 0); // a second writer, on the first free name
    OpenRemovalLog();
    LogAction(LV_Removed, LT_File, "C:\\x");
    CloseRemovalLog();
    _close(second);
    _close(transcript);
    EXPECT_EQ(testsupport::ReadBytes(log.Path()), "WARNING");
    EXPECT_FALSE(testsupport::IsFile(log.Path("ovuninst.1.log")));
    EXPECT_EQ(testsupport::ReadBytes(log.Path("ovuninst.2.log")), "");
    EXPECT_EQ(log.Lines("ovuninst.3.log")[ScratchLog::kHeaderLines], "removed  file      C:\\x");
}

// Texts go out as the bytes they are, however long: a name of double-byte characters longer
// than any buffer comes back whole, with every answer byte, none cut.
TEST(RemovalLog, LongDoubleByteNamesAreWrittenWhole) {
    ScratchLog log;
    std::string name = "C:\\";
    while (name.size() < 20000) {
        name += "\x83\x5C"; // a character whose trail byte is a backslash
    }
    LogAction(LV_Removed, LT_File, name.c_str());
    LogKey(LV_Removed, HKEY_LOCAL_MACHINE, name.c_str() + 3);
    LogAnswer("q", '\x83', "a lead byte");
    const std::vector<std::string> actions = log.Actions();
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0], "removed  file      " + name);
    EXPECT_EQ(actions[1], "removed  key       HKEY_LOCAL_MACHINE\\" + name.substr(3));
    EXPECT_EQ(actions[2], "answer    q 0x83  (a lead byte)");
}

// A log that cannot be made leaves no trace, and no call changes what its caller reads after.
TEST(RemovalLog, WithoutATemporaryFolderNothingIsWrittenAndErrorsStay) {
    testsupport::ScratchFolder scratch;
    testsupport::ScopedEnvironment tmp("TMP", scratch / "missing");
    OpenRemovalLog();
    EXPECT_FALSE(IsRemovalLogOpen());
    errno = EACCES;
    SetLastError(1234);
    LogAction(LV_Removed, LT_File, "C:\\x");
    CloseRemovalLog();
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_TRUE(testsupport::Names(scratch.Path()).empty());
}

TEST(RemovalLog, ItsCallsKeepTheCallersErrnoAndLastError) {
    ScratchLog log;
    errno = EACCES;
    SetLastError(4321);
    LogAction(LV_Failed, LT_File, "C:\\x", "access refused");
    LogKey(LV_Failed, HKEY_CURRENT_USER, "y");
    CloseRemovalLog(); // writes the file
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), 4321u);
}

} // namespace
