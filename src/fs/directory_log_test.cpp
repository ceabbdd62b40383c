// What the folder removals write to the removal log: each file and folder removed or not, the
// folders spared by name, links removed without being entered, and refusals with their rule.
#include "fs/directory.h"
#include "fs/sparing_directory.h"

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using testsupport::MakeFile;
using testsupport::ScratchFolder;
using testsupport::ScratchLog;

TEST(DirectoryLog, EveryFileAndFolderRemovedOrNot) {
    ScratchFolder root;
    const std::string top = root / "Tree";
    ASSERT_TRUE(MakeFile(top + "\\one.txt"));
    ASSERT_TRUE(testsupport::MakeFolders(top + "\\sub"));
    ASSERT_TRUE(testsupport::WriteFile(top + "\\sub\\two.txt", "2", true));
    ScratchLog log;
    Directory folder;
    folder.SetPath(top.c_str());
    ASSERT_EQ(folder.RemoveTree(1), 1);
    EXPECT_EQ(folder.RemoveFile("absent.txt"), 1); // nothing there: nothing to log
    folder.SetPath(root.Path().c_str());
    EXPECT_EQ(folder.RemoveTree(0), 1);
    // The order is the file system's: each folder after what it held.
    EXPECT_THAT(log.Actions(), UnorderedElementsAre("removed  file      " + top + "\\one.txt",
                                                    "removed  file      " + top + "\\sub\\two.txt",
                                                    "removed  folder    " + top + "\\sub",
                                                    "removed  folder    " + top,
                                                    "removed  folder    " + root.Path()));
}

// A DatabasePath naming the Windows folder: the refusal says which rule and which folder.
TEST(DirectoryLog, ARefusalNamesTheProtectedFolderItWouldReach) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string below = std::string(windows, length) + "\\Lumo\\..";
    ScratchLog log;
    Directory folder;
    folder.SetPath(below.c_str());
    EXPECT_EQ(folder.RemoveTree(1), 0);
    SparingDirectory sparing;
    sparing.SetPath(windows);
    EXPECT_EQ(sparing.RemoveTreeKeeping(1, "db"), 1);
    const std::string rule = "  (rule: a protected folder or its ancestor is never emptied; it "
                             "would reach the Windows folder " +
                             std::string(windows, length) + ")";
    EXPECT_THAT(log.Actions(), ElementsAre("refused  folder    " + below + rule,
                                           "refused  folder    " + std::string(windows) + rule));
}

TEST(DirectoryLog, FoldersSparedByName) {
    ScratchFolder root;
    const std::string top = root / "Lumo";
    ASSERT_TRUE(MakeFile(top + "\\A\\db\\x.dat"));
    ASSERT_TRUE(MakeFile(top + "\\B\\y.dat"));
    ScratchLog log;
    SparingDirectory folder;
    folder.SetPath(top.c_str());
    EXPECT_EQ(folder.RemoveTreeKeeping(1, "db"), 1);
    EXPECT_THAT(log.Actions(),
                UnorderedElementsAre("kept     folder    " + top +
                                         "\\A\\db  (rule: every folder named \"db\" is spared)",
                                     "removed  file      " + top + "\\B\\y.dat",
                                     "removed  folder    " + top + "\\B"));
}

} // namespace
