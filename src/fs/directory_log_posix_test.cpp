// Links in the removal log, on the Linux layer, where a link to a folder is removed as Windows
// removes a junction (Wine's _rmdir follows a host symbolic link and finds the folder not empty).
#include "fs/directory.h"
#include "fs/sparing_directory.h"

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

TEST(DirectoryLogLinks, ALinkIsRemovedItselfAndSaysSo) {
    testsupport::ScratchFolder root;
    ASSERT_TRUE(testsupport::MakeFile(root / "Elsewhere\\kept.dat"));
    testsupport::FolderLink first(root / "First", root / "Elsewhere");
    testsupport::FolderLink second(root / "Second", root / "Elsewhere");
    ASSERT_TRUE(first.Made() && second.Made());
    testsupport::ScratchLog log;
    Directory plain;
    plain.SetPath((root / "First").c_str());
    EXPECT_EQ(plain.RemoveTree(1), 1);
    SparingDirectory sparing;
    sparing.SetPath((root / "Second").c_str());
    EXPECT_EQ(sparing.RemoveTreeKeeping(1, "db"), 0);
    const char* why = "  (a link: removed itself, what it points at not entered)";
    EXPECT_THAT(log.Actions(), ElementsAre("removed  link      " + root / "First" + why,
                                           "removed  link      " + root / "Second" + why));
    EXPECT_TRUE(testsupport::Exists(root / "Elsewhere\\kept.dat"));
}

} // namespace
