// The profile (.ini) functions the cdplayer.ini clean-up uses, checked the same way against the
// Linux layer and, under Wine, a real Win32: a bare file name is a file in the Windows folder,
// lists end with a double terminator, a list cut to fit ends at size - 2, and a written text's
// line feeds leave each line one entry. Each test has an .ini file of its own, removed at its end.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/machine_files.h"

namespace {

const char kSentinel = '\x5A';

std::string TestFileName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string("ovconf-") + info->name() + ".ini";
}

class ProfileConformance : public testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH] = {};
        ASSERT_GT(GetWindowsDirectoryA(folder, MAX_PATH), 0u);
        name_ = TestFileName();
        path_ = std::string(folder) + "\\" + name_;
        testsupport::RemoveAll(path_);
    }
    void TearDown() override { testsupport::RemoveAll(path_); }

    void Write(const std::string& content) { ASSERT_TRUE(testsupport::MakeFile(path_, content)); }

    // A call's buffer of `size` bytes, followed by sentinel bytes that must stay.
    struct Guarded {
        explicit Guarded(size_t size) : bytes(size + 8, kSentinel), size(size) {}
        char* data() { return &bytes[0]; }
        std::string Head(size_t n) const { return bytes.substr(0, n); }
        bool TailUntouched() const {
            return bytes.find_first_not_of(kSentinel, size) == std::string::npos;
        }
        std::string bytes;
        size_t size;
    };

    std::string name_;
    std::string path_;
};

const char kThreeSections[] = "[One]\r\na=1\r\n\r\n[two]\r\nb=2\r\n[Three]\r\n";

TEST_F(ProfileConformance, SectionNamesAreListedWithADoubleTerminator) {
    Write(kThreeSections);
    Guarded names(64);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names.data(), 64, name_.c_str()), 14u);
    EXPECT_EQ(names.Head(15), std::string("One\0two\0Three\0\0", 15));
    EXPECT_TRUE(names.TailUntouched());
}

TEST_F(ProfileConformance, ASectionNameListCutToFitAnswersSizeMinusTwo) {
    Write(kThreeSections);
    // The cut name keeps what fits before one terminator; no second one follows it.
    Guarded names(12);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names.data(), 12, name_.c_str()), 10u);
    EXPECT_EQ(names.Head(12), std::string("One\0two\0Th\0Z", 12));
    EXPECT_TRUE(names.TailUntouched());
}

TEST_F(ProfileConformance, AMissingFileHasNoSections) {
    Guarded names(16);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names.data(), 16, name_.c_str()), 0u);
    EXPECT_EQ(names.bytes[0], '\0');
    Guarded section(16);
    EXPECT_EQ(GetPrivateProfileSectionA("One", section.data(), 16, name_.c_str()), 0u);
    EXPECT_EQ(section.Head(2), std::string("\0\0", 2));
    EXPECT_TRUE(section.TailUntouched());
}

TEST_F(ProfileConformance, ASectionIsItsEntriesFoundIgnoringCase) {
    Write(
        "[Disc]\r\nRecStatus=1\r\n  Artist = X  \r\n; a remark\r\n\r\nbare\r\n[Other]\r\nc=3\r\n");
    Guarded section(64);
    const std::string expected("RecStatus=1\0Artist=X\0bare\0\0", 27);
    EXPECT_EQ(GetPrivateProfileSectionA("dISC", section.data(), 64, name_.c_str()), 26u);
    EXPECT_EQ(section.Head(27), expected);
    EXPECT_TRUE(section.TailUntouched());

    Guarded missing(16);
    EXPECT_EQ(GetPrivateProfileSectionA("None", missing.data(), 16, name_.c_str()), 0u);
    EXPECT_EQ(missing.Head(2), std::string("\0\0", 2));
}

TEST_F(ProfileConformance, ASectionCutToFitEndsWithTwoTerminatorsAtSizeMinusTwo) {
    Write("[Disc]\r\nRecStatus=1\r\nArtist=X\r\n");
    Guarded section(16);
    EXPECT_EQ(GetPrivateProfileSectionA("Disc", section.data(), 16, name_.c_str()), 14u);
    EXPECT_EQ(section.Head(16), std::string("RecStatus=1\0Ar\0\0", 16));
    EXPECT_TRUE(section.TailUntouched());
}

TEST_F(ProfileConformance, AWrittenSectionKeepsEachLineOfItsTextAnEntryAndLeavesTheOthers) {
    Write("[Disc]\r\nRecStatus=1\r\nArtist=X\r\n[Other]\r\nc=3\r\n");
    const char text[] = "Artist=X\nTitle=Y\0";
    ASSERT_TRUE(WritePrivateProfileSectionA("disc", text, name_.c_str()));

    // Read from the file itself: Wine answers later reads from the text it was given.
    std::string file = testsupport::ReadWholeFile(path_);
    for (char& c : file) {
        c = c == '\r' ? '\n' : c;
    }
    EXPECT_NE(file.find("\nArtist=X\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\nTitle=Y\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("RecStatus"), std::string::npos) << file;
    Guarded other(32);
    EXPECT_EQ(GetPrivateProfileSectionA("Other", other.data(), 32, name_.c_str()), 4u);
    EXPECT_EQ(other.Head(5), std::string("c=3\0\0", 5));
}

TEST_F(ProfileConformance, AnEmptyTextEmptiesTheSectionAndANewFileIsMade) {
    Write("[Disc]\r\nRecStatus=1\r\n");
    ASSERT_TRUE(WritePrivateProfileSectionA("Disc", "\0", name_.c_str()));
    Guarded section(16);
    EXPECT_EQ(GetPrivateProfileSectionA("Disc", section.data(), 16, name_.c_str()), 0u);
    Guarded names(16);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names.data(), 16, name_.c_str()), 5u);

    testsupport::RemoveAll(path_);
    ASSERT_TRUE(WritePrivateProfileSectionA("New", "k=v\0", name_.c_str()));
    EXPECT_TRUE(testsupport::Exists(path_));
    Guarded made(16);
    EXPECT_EQ(GetPrivateProfileSectionA("New", made.data(), 16, name_.c_str()), 4u);
    EXPECT_EQ(made.Head(5), std::string("k=v\0\0", 5));
}

} // namespace
