#include "fs/file_path.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scratch.h"

namespace {

using testsupport::IsFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;

TEST(FilePath, KeepsItsTextAsGiven) {
    EXPECT_STREQ("C:\\a\\..\\B.txt", FilePath("C:\\a\\..\\B.txt").GetText());
    EXPECT_STREQ("", FilePath(nullptr).GetText());
    EXPECT_STREQ("", FilePath("").GetText());
}

TEST(FilePathIsRegularFile, FilesOfAnySizeOnly) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "empty.lma"));
    ASSERT_TRUE(WriteFile(scratch / "full.lma", std::string(5000, 'x')));
    ASSERT_TRUE(WriteFile(scratch / "locked.lma", "x", true));
    ASSERT_EQ(0, _mkdir((scratch / "db.lma").c_str()));

    EXPECT_EQ(1, IsRegularFile(FilePath((scratch / "empty.lma").c_str())));
    EXPECT_EQ(1, IsRegularFile(FilePath((scratch / "full.lma").c_str())));
    EXPECT_EQ(1, IsRegularFile(FilePath((scratch / "locked.lma").c_str())));
    EXPECT_EQ(0, IsRegularFile(FilePath((scratch / "db.lma").c_str())));
    EXPECT_EQ(0, IsRegularFile(FilePath((scratch / "missing.lma").c_str())));
    EXPECT_EQ(0, IsRegularFile(FilePath("")));
}

TEST(FilePathDelete, DeletesWritableFilesOnly) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "plain.lma", "x"));
    ASSERT_TRUE(WriteFile(scratch / "locked.lma", "x", true));
    ASSERT_EQ(0, _mkdir((scratch / "folder.lma").c_str()));

    EXPECT_EQ(S_OK, Delete(FilePath((scratch / "plain.lma").c_str())));
    EXPECT_FALSE(IsFile(scratch / "plain.lma"));
    EXPECT_EQ(E_FAIL, Delete(FilePath((scratch / "plain.lma").c_str())));
    EXPECT_EQ(E_FAIL, Delete(FilePath((scratch / "locked.lma").c_str())));
    EXPECT_TRUE(IsFile(scratch / "locked.lma"));
    EXPECT_EQ(E_FAIL, Delete(FilePath((scratch / "folder.lma").c_str())));
    EXPECT_TRUE(testsupport::IsFolder(scratch / "folder.lma"));
}

TEST(FilePathDelete, APathThatMayHaveBeenCutIsNotDeleted) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "kept.lma"));
    const std::string padded = scratch / (std::string(520, 'x') + "\\..\\kept.lma");
    EXPECT_EQ(E_FAIL, Delete(FilePath(padded.c_str())));
    EXPECT_TRUE(IsFile(scratch / "kept.lma"));
}

} // namespace
