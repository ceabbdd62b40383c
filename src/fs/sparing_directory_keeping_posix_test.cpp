// The sparing removal on the Linux layer's throwaway test machine, where refusals can be checked
// on the real roots and system folders, and symbolic links stand for junctions.
#include <filesystem>

#include "fs/sparing_directory.h"

#include "platform/posix/core/machine.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Exists;
using testsupport::MakeFile;
using testsupport::MakeFolders;
using testsupport::ScratchFolder;

int RemoveKeeping(const std::string& path) {
    SparingDirectory folder;
    folder.SetPath(path.c_str());
    return folder.RemoveTreeKeeping(1, "db");
}

std::filesystem::path HostPath(std::string windowsPath) {
    for (char& c : windowsPath) {
        c = c == '\\' ? '/' : c;
    }
    return ovlayer::MachinePath("drive_c") + windowsPath.substr(2);
}

TEST(RemoveTreeKeepingOnTheMachine, DrivesAndSystemFoldersAreRefused) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "stays.dat"));
    ASSERT_TRUE(MakeFile(std::string(ovlayer::kSystemFolder) + "\\stays.dll"));
    for (const std::string& path :
         {std::string("C:\\"), std::string("C:"), std::string("c:\\windows\\.."),
          std::string(ovlayer::kWindowsFolder), std::string(ovlayer::kSystemFolder),
          std::string(ovlayer::kProgramFilesFolder), std::string(ovlayer::kCommonFilesFolder)}) {
        EXPECT_EQ(1, RemoveKeeping(path)) << path;
    }
    EXPECT_TRUE(Exists(root / "stays.dat"));
    EXPECT_TRUE(Exists(std::string(ovlayer::kSystemFolder) + "\\stays.dll"));
}

TEST(RemoveTreeKeepingOnTheMachine, ALinkGoesItselfAndWhatItPointsAtStays) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Elsewhere\\precious.dat"));
    ASSERT_TRUE(MakeFile(root / "Lumo\\own.dat"));
    std::filesystem::create_directory_symlink(HostPath(root / "Elsewhere"),
                                              HostPath(root / "Lumo\\Shortcut"));
    ASSERT_TRUE(Exists(root / "Lumo\\Shortcut"));

    EXPECT_EQ(0, RemoveKeeping(root / "Lumo"));

    EXPECT_FALSE(Exists(root / "Lumo"));
    EXPECT_TRUE(Exists(root / "Elsewhere\\precious.dat"));
}

// Clearing the read-only bit of a file link before deleting it must not make its target, outside
// the tree, writable.
TEST(RemoveTreeKeepingOnTheMachine, AFileLinksTargetKeepsItsReadOnlyBit) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Elsewhere\\precious.dat"));
    ASSERT_EQ(0, _chmod((root / "Elsewhere\\precious.dat").c_str(), _S_IREAD));
    ASSERT_TRUE(MakeFolders(root / "Lumo\\db"));
    std::filesystem::create_symlink(HostPath(root / "Elsewhere\\precious.dat"),
                                    HostPath(root / "Lumo\\precious.lnk"));

    EXPECT_EQ(1, RemoveKeeping(root / "Lumo"));

    EXPECT_FALSE(Exists(root / "Lumo\\precious.lnk"));
    const DWORD attributes = GetFileAttributesA((root / "Elsewhere\\precious.dat").c_str());
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_READONLY);
}

TEST(RemoveTreeKeepingOnTheMachine, ALinkAsTheFolderItselfIsNotEntered) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Elsewhere\\precious.dat"));
    ASSERT_TRUE(MakeFolders(root / "Lumo"));
    std::filesystem::create_directory_symlink(HostPath(root / "Elsewhere"),
                                              HostPath(root / "Lumo\\LumoDeck"));

    EXPECT_EQ(0, RemoveKeeping(root / "Lumo\\LumoDeck"));

    EXPECT_FALSE(Exists(root / "Lumo\\LumoDeck"));
    EXPECT_TRUE(Exists(root / "Elsewhere\\precious.dat"));
}

} // namespace
