#include "driver/cdplayer_cleanup.h"

#include "platform/win32api.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CdPlayerCleanup : public testing::Test {
protected:
    testsupport::MakerDataLock lock; // first member: held before SetUp, released last

    void SetUp() override {
        char folder[MAX_PATH] = {};
        ASSERT_GT(GetWindowsDirectoryA(folder, MAX_PATH), 0u);
        path_ = std::string(folder) + "\\cdplayer.ini";
        testsupport::RemoveAll(path_);
    }
    void TearDown() override { testsupport::RemoveAll(path_); }

    // The file's lines, each ended by "\n" whatever line ends were written.
    std::string Lines() const {
        std::string text;
        for (char c : testsupport::ReadWholeFile(path_)) {
            if (c != '\r') {
                text += c;
            }
        }
        return text;
    }

    std::string path_;
};

TEST_F(CdPlayerCleanup, RecordingStatusLinesGoFromEverySectionAndTheRestStays) {
    ASSERT_TRUE(testsupport::MakeFile(path_, "[Disc1]\r\nRecStatus=1\r\nArtist=X\r\n"
                                             "[Disc2]\r\nrecstatusX=1\r\nrecstat=2\r\nTitle=Y\r\n"
                                             "[Disc3]\r\nRECSTATUS=0\r\n"));
    CleanCdPlayerIni();
    EXPECT_EQ(Lines(), "[Disc1]\nArtist=X\n[Disc2]\nrecstat=2\nTitle=Y\n[Disc3]\n");
}

// The fixed 4098-byte buffer would cut this section and write back only its first part.
TEST_F(CdPlayerCleanup, ASectionOfTwentyKilobytesKeepsEveryLineButTheRecordingStatusOnes) {
    std::string big = "[Big]\r\n";
    for (int i = 0; i < 800; ++i) {
        big += "Track" + std::to_string(i) + "=A title of some length\r\n";
        big += i % 2 == 0 ? "RecStatus" + std::to_string(i) + "=1\r\n" : "";
    }
    ASSERT_GT(big.size(), 20u * 1024);
    ASSERT_TRUE(testsupport::MakeFile(path_, big + "[After]\r\nz=1\r\n"));
    CleanCdPlayerIni();
    const std::string lines = Lines();
    EXPECT_EQ(lines.find("RecStatus"), std::string::npos);
    for (int i = 0; i < 800; ++i) {
        EXPECT_NE(lines.find("\nTrack" + std::to_string(i) + "=A title of some length\n"),
                  std::string::npos)
            << i;
    }
    EXPECT_NE(lines.find("[After]\nz=1\n"), std::string::npos);
}

// More section names than the first 10240-byte list holds: the last ones are cleaned too.
TEST_F(CdPlayerCleanup, ALongSectionListIsWalkedWhole) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "[A section with a rather long name, one of many: number " + std::to_string(i) +
                "]\r\nrecstatus=1\r\n";
    }
    ASSERT_TRUE(testsupport::MakeFile(path_, text));
    CleanCdPlayerIni();
    EXPECT_EQ(Lines().find("recstatus"), std::string::npos);
}

// Every section written back made the clean-up of a 1 MiB file take minutes: sections without
// such lines are not written, so the file keeps its blanks and remarks byte for byte (a write
// spells each entry anew on both builds).
TEST_F(CdPlayerCleanup, SectionsWithoutRecordingStatusLinesAreNotWrittenBack) {
    const std::string text =
        "[Disc1]\r\n; the user's remark\r\nArtist = X\r\n\r\n[Disc2]\r\nTitle=Y\r\n";
    ASSERT_TRUE(testsupport::MakeFile(path_, text));
    CleanCdPlayerIni();
    EXPECT_EQ(testsupport::ReadWholeFile(path_), text);
}

// The file as it was goes to the undo copy before the first rewrite of a run, and only then; the
// previous run's copy is kept beside it.
TEST_F(CdPlayerCleanup, TheFileAsItWasIsCopiedBeforeTheRunsFirstRewriteOnly) {
    const std::string first = "[Disc1]\r\nRecStatus=1\r\nArtist=X\r\n[Disc2]\r\nrecstatus=0\r\n";
    ASSERT_TRUE(testsupport::MakeFile(path_, first));
    testsupport::ScratchUndo undo;
    CleanCdPlayerIni();
    ASSERT_TRUE(testsupport::MakeFile(path_, "[Disc3]\r\nRecStatus=1\r\n"));
    CleanCdPlayerIni();
    EXPECT_EQ(testsupport::ReadBytes(undo.Path(kUndoCdPlayerName)), first);
    CloseUndoFile();
    OpenUndoFile();
    ASSERT_TRUE(testsupport::MakeFile(path_, "[Disc4]\r\nRecStatus=1\r\n"));
    CleanCdPlayerIni();
    EXPECT_EQ(testsupport::ReadBytes(undo.Path(kUndoCdPlayerName)), "[Disc4]\r\nRecStatus=1\r\n");
    EXPECT_EQ(testsupport::ReadBytes(undo.Path("ovuninst-undo-cdplayer.1.ini")), first);
    const std::vector<std::string> lines = undo.Lines();
    EXPECT_EQ(lines[lines.size() - 3],
              "undo      cdplayer.ini as it was in " + undo.Path(kUndoCdPlayerName) +
                  "; to restore it, copy it back over cdplayer.ini in the Windows folder");
}

// The list ends at two terminators in a row; a profile layer that lists an empty name ("[]")
// puts a single one between two names, and the names after it are cleaned too.
TEST(SectionNameList, EndsAtTwoTerminatorsNotAtAnEmptyName) {
    const auto walk = [](const char* names, DWORD length) {
        std::string walked;
        for (const char* name = NextSectionName(names, length, nullptr); name != nullptr;
             name = NextSectionName(names, length, name)) {
            walked += std::string("[") + name + "]";
        }
        return walked;
    };
    EXPECT_EQ(walk("One\0\0Two\0\0", 9), "[One][][Two]");
    EXPECT_EQ(walk("\0Two\0\0", 5), "[][Two]");
    EXPECT_EQ(walk("\0\0", 0), "");
}

TEST_F(CdPlayerCleanup, AMissingFileIsNotMade) {
    CleanCdPlayerIni();
    EXPECT_FALSE(testsupport::Exists(path_));
}

} // namespace
