#include "fs/sparing_directory.h"

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Exists;
using testsupport::MakeFile;
using testsupport::MakeFolders;
using testsupport::ScratchFolder;

int RemoveKeeping(const std::string& path, int recurse = 1, const char* name = "db") {
    SparingDirectory folder;
    folder.SetPath(path.c_str());
    return folder.RemoveTreeKeeping(recurse, name);
}

TEST(RemoveTreeKeeping, SparesTheNamedFoldersAndTheFoldersAboveThem) {
    ScratchFolder root;
    const std::string lumo = root / "Lumo";
    ASSERT_TRUE(MakeFile(lumo + "\\A\\db\\x.dat"));
    ASSERT_TRUE(MakeFile(lumo + "\\B\\y.dat"));
    ASSERT_TRUE(MakeFile(lumo + "\\z.dat"));

    EXPECT_EQ(1, RemoveKeeping(lumo));

    EXPECT_TRUE(Exists(lumo + "\\A\\db\\x.dat"));
    EXPECT_FALSE(Exists(lumo + "\\z.dat"));
    EXPECT_FALSE(Exists(lumo + "\\B"));
}

TEST(RemoveTreeKeeping, ASparedFolderKeepsAllItHoldsAtAnyDepth) {
    ScratchFolder root;
    const std::string top = root / "Deck";
    ASSERT_TRUE(MakeFile(top + "\\1\\2\\3\\db\\tracks\\t.dat"));
    ASSERT_TRUE(MakeFile(top + "\\1\\2\\3\\db\\index.dat"));
    ASSERT_TRUE(MakeFile(top + "\\1\\2\\skin.dat"));
    ASSERT_TRUE(MakeFile(top + "\\1\\other\\o.dat"));

    EXPECT_EQ(1, RemoveKeeping(top));

    EXPECT_TRUE(Exists(top + "\\1\\2\\3\\db\\tracks\\t.dat"));
    EXPECT_TRUE(Exists(top + "\\1\\2\\3\\db\\index.dat"));
    EXPECT_FALSE(Exists(top + "\\1\\2\\skin.dat"));
    EXPECT_FALSE(Exists(top + "\\1\\other"));
}

TEST(RemoveTreeKeeping, OnlyFoldersOfExactlyThatNameAreSpared) {
    ScratchFolder root;
    const std::string lumo = root / "Lumo";
    ASSERT_TRUE(MakeFile(lumo + "\\DB\\upper.dat"));
    ASSERT_TRUE(MakeFile(lumo + "\\mydb\\longer.dat"));
    // Beside DB it would be the same name on Windows.
    ASSERT_TRUE(MakeFile(lumo + "\\Files\\db", "a file, not a folder"));

    EXPECT_EQ(0, RemoveKeeping(lumo));

    EXPECT_FALSE(Exists(lumo));
}

TEST(RemoveTreeKeeping, WithoutRecursionOnlyAnEmptyFolderGoes) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Full\\f.dat"));
    ASSERT_TRUE(MakeFolders(root / "Empty"));

    EXPECT_EQ(0, RemoveKeeping(root / "Full", 0));
    EXPECT_TRUE(Exists(root / "Full\\f.dat"));
    EXPECT_EQ(0, RemoveKeeping(root / "Empty", 0));
    EXPECT_FALSE(Exists(root / "Empty"));
}

// An empty profile would otherwise go itself, as the folder is removed only when empty.
TEST(RemoveTreeKeeping, AnEmptyProtectedFolderStaysWithoutRecursionToo) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFolders(root / "profile"));
    testsupport::ScopedEnvironment user("USERPROFILE", root / "profile");
    testsupport::ScratchLog log;

    EXPECT_EQ(1, RemoveKeeping(root / "profile", 0));
    EXPECT_TRUE(Exists(root / "profile"));
    const std::vector<std::string> actions = log.Actions();
    ASSERT_EQ(1u, actions.size()) << "the refusal is logged once";
    EXPECT_EQ(0u, actions[0].find("refused")) << actions[0];
}

TEST(RemoveTreeKeeping, AMissingFolderCountsAsLeftInPlace) {
    ScratchFolder root;
    EXPECT_EQ(1, RemoveKeeping(root / "Absent"));
    EXPECT_EQ(1, RemoveKeeping(""));
}

// A path from a registry value a user can edit must never empty the user's profile or a folder
// above it: the removal is refused and the folder counts as left in place.
TEST(RemoveTreeKeeping, TheProfileFolderAndItsAncestorsAreRefused) {
    ScratchFolder root;
    const std::string profile = root / "Users\\bob";
    ASSERT_TRUE(MakeFile(profile + "\\Documents\\letter.txt"));
    ASSERT_TRUE(MakeFile(root / "Users\\readme.txt"));
    testsupport::ScopedEnvironment user("USERPROFILE", profile);

    EXPECT_EQ(1, RemoveKeeping(profile));
    EXPECT_EQ(1, RemoveKeeping(root / "Users"));
    EXPECT_EQ(1, RemoveKeeping(root / "Users\\bob\\Documents\\..\\.."));
    EXPECT_EQ(1, RemoveKeeping(root / "USERS\\BOB"));
    EXPECT_TRUE(Exists(profile + "\\Documents\\letter.txt"));
    EXPECT_TRUE(Exists(root / "Users\\readme.txt"));

    // Below the profile the removal is an ordinary one.
    EXPECT_EQ(0, RemoveKeeping(profile + "\\Documents"));
    EXPECT_FALSE(Exists(profile + "\\Documents"));
}

} // namespace
