// Directory against situations only the Linux layer can stage: drives of every type, symbolic
// links, refusals injected into single calls, and paths longer than Windows allows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "fs/directory.h"
#include "fs/removal_guard.h"
#include "platform/posix/paths/drives.h"
#include "tests/support/scratch_machine.h"
#include "platform/posix/core/test_controls.h"
#include "support/string.h"

namespace ovlayer {
namespace {

namespace fs = std::filesystem;

class DirectoryLayer : public ::testing::Test {
protected:
    ~DirectoryLayer() override {
        ClearInjectedFailures();
        StopJournal();
    }
    std::string Host(const std::string& below) const {
        return testsupport::DriveC(machine_, below);
    }
    void File(const std::string& below, const std::string& content = "x") const {
        testsupport::HostFile(Host(below), content);
    }

    testsupport::ScratchMachine machine_;
};

TEST_F(DirectoryLayer, ExistsAndMediaFollowEachDriveType) {
    fs::create_directories(machine_.Folder() + "/media");
    struct Case {
        const char* type;
        int exists;
        int removable;
        int freeSpace;
    };
    const Case cases[] = {{"fixed", 1, 0, 1},
                          {"removable", 1, 1, 1},
                          {"remote", 1, 0, 1},
                          {"ramdisk", 1, 0, 1},
                          {"cdrom", 0, 1, 0}};
    Directory folder;
    for (const Case& c : cases) {
        ASSERT_TRUE(AddDrive('e', machine_.Folder() + "/media", c.type));
        folder.SetPath("E:");
        EXPECT_EQ(c.exists, folder.Exists()) << c.type;
        EXPECT_EQ(c.removable, folder.IsRemovableMedia()) << c.type;
        EXPECT_EQ(c.freeSpace, folder.HasFreeSpace()) << c.type;
    }
    folder.SetPath("F:\\");
    EXPECT_EQ(0, folder.Exists());
}

TEST_F(DirectoryLayer, TheRootsOfOtherDrivesAreLeftAlone) {
    File("../media/disc/track.cda");
    Directory folder;
    folder.SetPath("D:\\");
    for (const char* type : {"cdrom", "removable", "remote"}) {
        ASSERT_TRUE(AddDrive('d', machine_.Folder() + "/media", type));
        EXPECT_EQ(0, folder.RemoveTree(1)) << type;
    }
    EXPECT_TRUE(fs::exists(machine_.Folder() + "/media/disc/track.cda"));
}

// A link inside the tree points at someone else's folder: the link goes, the folder keeps all.
TEST_F(DirectoryLayer, RemoveTreeRemovesLinksAndNeverEntersThem) {
    File("Shared/keep.txt");
    File("Shared/deeper/keep2.txt");
    File("Orvane/own.txt");
    fs::create_directories(Host("Orvane/sub"));
    fs::create_directory_symlink(Host("Shared"), Host("Orvane/sub/junction"));
    fs::create_symlink(Host("Shared/keep.txt"), Host("Orvane/file-link"));
    fs::create_symlink(Host("Nowhere"), Host("Orvane/dangling"));

    Directory folder;
    folder.SetPath("C:\\Orvane");
    EXPECT_EQ(1, folder.RemoveTree(1));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Orvane"))));
    EXPECT_TRUE(fs::exists(Host("Shared/keep.txt")));
    EXPECT_TRUE(fs::exists(Host("Shared/deeper/keep2.txt")));
}

// A host process that swaps the folder being emptied, and a folder listed but not yet entered,
// for links to a canary folder holding the same names: every deletion still takes place where
// the listing saw its entries, from the held folders, and the canary keeps every file.
class SwappingDirectory : public Directory {
public:
    std::function<void()> onFirstFile;
    int RemoveFile(const char* name) override {
        if (onFirstFile) {
            std::function<void()> swap;
            swap.swap(onFirstFile);
            swap();
        }
        return Directory::RemoveFile(name);
    }
};

TEST_F(DirectoryLayer, FoldersSwappedForLinksDuringTheRemovalAreNeverEntered) {
    for (const char* tree : {"Orvane", "Canary"}) {
        for (const char* file : {"a1.txt", "b.txt", "later/c.txt", "sub/d.txt"}) {
            File(std::string(tree) + "/" + file);
        }
    }
    SwappingDirectory folder;
    folder.onFirstFile = [&] {
        (fs::rename)(Host("Orvane"), Host("Moved"));
        fs::create_directory_symlink(Host("Canary"), Host("Orvane"));
        (fs::rename)(Host("Moved/later"), Host("Moved/later-moved"));
        fs::create_directory_symlink(Host("Canary"), Host("Moved/later"));
    };
    folder.SetPath("C:\\Orvane");
    folder.RemoveTree(1);

    for (const char* file : {"a1.txt", "b.txt", "later/c.txt", "sub/d.txt"}) {
        EXPECT_TRUE(fs::exists(Host(std::string("Canary/") + file))) << file;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Orvane"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Moved/later"))));
    EXPECT_FALSE(fs::exists(Host("Moved/a1.txt")));
    EXPECT_FALSE(fs::exists(Host("Moved/b.txt")));
    EXPECT_FALSE(fs::exists(Host("Moved/sub")));
    EXPECT_TRUE(fs::exists(Host("Moved/later-moved/c.txt")));
}

// Windows changes a link's own attributes: a read-only file outside the tree, reached through a
// file link inside it, stays read-only whether the link's attributes are set directly or the
// removals clear them before deleting it.
TEST_F(DirectoryLayer, ClearingALinksReadOnlyBitNeverTouchesItsTarget) {
    File("Outside/precious.txt");
    fs::permissions(Host("Outside/precious.txt"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto readOnly = fs::status(Host("Outside/precious.txt")).permissions();
    fs::create_directories(Host("Orvane/sub"));
    fs::create_symlink(Host("Outside/precious.txt"), Host("Orvane/sub/link"));
    fs::create_symlink(Host("Outside/precious.txt"), Host("Orvane/direct"));
    fs::create_symlink(Host("Outside/precious.txt"), Host("Single"));

    EXPECT_EQ(TRUE, SetFileAttributesA("C:\\Single", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0, _chmod("C:\\Single", _S_IREAD | _S_IWRITE));
    Directory folder;
    folder.SetPath("C:\\");
    EXPECT_EQ(1, folder.RemoveFile("C:\\Single"));
    folder.SetPath("C:\\Orvane");
    EXPECT_EQ(1, folder.RemoveTree(1));

    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Orvane"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Single"))));
    EXPECT_EQ(readOnly, fs::status(Host("Outside/precious.txt")).permissions());
}

TEST_F(DirectoryLayer, ALinkGivenAsTheTreeIsRemovedItself) {
    File("Shared/keep.txt");
    fs::create_directory_symlink(Host("Shared"), Host("Link"));
    Directory folder;
    folder.SetPath("C:\\Link");
    EXPECT_EQ(1, folder.RemoveTree(1));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("Link"))));
    EXPECT_TRUE(fs::exists(Host("Shared/keep.txt")));
}

TEST_F(DirectoryLayer, ARefusedDeletionKeepsThatFileAndItsFoldersOnly) {
    File("Top/a.txt");
    File("Top/b.txt");
    File("Top/sub/c.txt");
    File("Top/z/deep/d.txt");
    FailNextCall(Call::_unlink, EACCES);

    Directory folder;
    folder.SetPath("C:\\Top");
    EXPECT_EQ(0, folder.RemoveTree(1));
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(Host("Top"))) {
        left.push_back(fs::relative(entry.path(), Host("Top")).string());
    }
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, left);
}

TEST_F(DirectoryLayer, RemoveFileFailsOnlyWhenAccessIsRefused) {
    File("Dir/a.txt");
    Directory folder;
    folder.SetPath("C:\\Dir");
    FailNextCall(Call::_unlink, EACCES);
    EXPECT_EQ(0, folder.RemoveFile("a.txt"));
    FailNextCall(Call::_unlink, EBUSY);
    EXPECT_EQ(1, folder.RemoveFile("a.txt"));
    EXPECT_TRUE(fs::exists(Host("Dir/a.txt")));
}

// The run reads the protected folders' identities once: a judgement after the first opens only
// the folder judged.
TEST_F(DirectoryLayer, ARunOpensTheProtectedFoldersOnceForAllItsJudgements) {
    File("Orvane/one/a.txt");
    File("Orvane/two/b.txt");
    const ProtectedFolderIdentities identities;
    EXPECT_EQ(0, IsProtectedFolder("C:\\Orvane\\one"));
    StartJournal();
    EXPECT_EQ(0, IsProtectedFolder("C:\\Orvane\\two"));
    StopJournal();
    std::vector<std::string> opens;
    for (const std::string& line : TakeJournal()) {
        if (line.rfind("CreateFileA(", 0) == 0) {
            opens.push_back(line.substr(0, line.find(',')));
        }
    }
    EXPECT_EQ(std::vector<std::string>{"CreateFileA(C:\\Orvane\\two"}, opens);
}

TEST_F(DirectoryLayer, FilesLoseTheirReadOnlyBitBeforeDeletionAndFindsAreClosedBeforeRmdir) {
    File("Top/r.txt");
    fs::permissions(Host("Top/r.txt"), fs::perms::owner_read);
    Directory folder;
    folder.SetPath("C:\\Top");
    StartJournal();
    EXPECT_EQ(1, folder.RemoveTree(1));
    StopJournal();
    std::vector<std::string> calls;
    for (const std::string& line : TakeJournal()) {
        if (line[0] == '_' || line.find("C:\\Top\\*") != std::string::npos) {
            calls.push_back(line);
        }
    }
    EXPECT_EQ(
        (std::vector<std::string>{"FindFirstFileA(C:\\Top\\*)", "FindNextFileA(C:\\Top\\*)",
                                  "FindNextFileA(C:\\Top\\*)", "_chmod(C:\\Top\\r.txt, 0x180)",
                                  "_unlink(C:\\Top\\r.txt)", "FindNextFileA(C:\\Top\\*)",
                                  "FindClose(C:\\Top\\*)", "_rmdir(C:\\Top)"}),
        calls);
}

// A path cut by formatting can name a real folder: the one the cut text stops at.
TEST_F(DirectoryLayer, ATreeNamedByACutPathIsNotRemoved) {
    std::string windows = "C:";
    std::string host = Host("");
    while (windows.size() + 101 < 511) {
        windows += "\\" + std::string(100, 'd');
        host += "/" + std::string(100, 'd');
    }
    const std::string last(511 - windows.size() - 1, 'e');
    windows += "\\" + last;
    host += "/" + last;
    ASSERT_EQ(511u, windows.size());
    testsupport::HostFile(host + "/precious.db");

    String cut;
    cut.Format("%s\\%s", windows.c_str(), "Orvane\\Cache");
    ASSERT_STREQ(windows.c_str(), cut);
    Directory folder;
    folder.SetPath(cut);
    EXPECT_EQ(1, folder.Exists());
    EXPECT_EQ(0, folder.RemoveTree(1));
    EXPECT_EQ(0, folder.Remove());
    EXPECT_TRUE(fs::exists(host + "/precious.db"));
}

// Windows paths stop at 260 bytes; an entry whose full path does not fit the enumeration buffer
// is left where it is, and so is every folder above it.
TEST_F(DirectoryLayer, AnEntryTooLongForTheBufferIsLeftInPlace) {
    const std::string deep(200, 'p');
    const std::string longName(70, 'n');
    File("Top/" + deep + "/short.txt");
    File("Top/" + deep + "/" + longName);
    File("Top/other.txt");

    Directory folder;
    folder.SetPath("C:\\Top");
    EXPECT_EQ(0, folder.RemoveTree(1));
    EXPECT_TRUE(fs::exists(Host("Top/" + deep + "/" + longName)));
    EXPECT_FALSE(fs::exists(Host("Top/" + deep + "/short.txt")));
    EXPECT_FALSE(fs::exists(Host("Top/other.txt")));
}

TEST_F(DirectoryLayer, TheDriveRootIsRefusedWithoutTouchingIt) {
    File("Users/me/Documents/letter.doc");
    File("top.txt");
    Directory folder;
    for (const char* root : {"C:", "C:\\", "c:\\Users\\..", "C:\\windows\\..\\Users\\me\\..\\.."}) {
        folder.SetPath(root);
        StartJournal();
        EXPECT_EQ(0, folder.RemoveTree(1)) << root;
        StopJournal();
        for (const std::string& line : TakeJournal()) {
            EXPECT_EQ(std::string::npos, line.find("_unlink")) << root;
            EXPECT_EQ(std::string::npos, line.find("_rmdir")) << root;
        }
    }
    EXPECT_TRUE(fs::exists(Host("Users/me/Documents/letter.doc")));
    EXPECT_TRUE(fs::exists(Host("top.txt")));
}

} // namespace
} // namespace ovlayer
