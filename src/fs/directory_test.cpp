#include "fs/directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"

namespace {

using testsupport::IsFile;
using testsupport::IsFolder;
using testsupport::Names;
using testsupport::ScratchFolder;
using testsupport::WriteFile;

std::string PathAfterSetPath(const char* text) {
    Directory folder;
    folder.SetPath(text);
    return folder.GetPath().Text();
}

// Every entry FindFirst and FindNext report, as full paths.
std::vector<std::string> Enumerate(Directory& folder, const char* pattern = "*",
                                   unsigned short size = 260) {
    std::vector<std::string> entries;
    std::vector<char> out(size + 1u, '\0');
    for (EntryKind kind = folder.FindFirst(pattern, out.data(), size); kind != EK_None;
         kind = folder.FindNext(out.data(), size)) {
        entries.push_back(out.data());
    }
    return entries;
}

TEST(DirectorySetPath, BareDriveBecomesItsRootAndOneTrailingBackslashGoes) {
    EXPECT_EQ("D:\\", PathAfterSetPath("D:"));
    EXPECT_EQ("D:\\", PathAfterSetPath("D:\\"));
    EXPECT_EQ("D:\\Data", PathAfterSetPath("D:\\Data\\"));
    EXPECT_EQ("D:\\Data\\", PathAfterSetPath("D:\\Data\\\\"));
    EXPECT_EQ("D:\\Data", PathAfterSetPath("D:\\Data"));

    Directory folder;
    folder.SetPath("C:\\Kept");
    folder.SetPath(nullptr);
    EXPECT_STREQ("C:\\Kept", folder.GetPath());
}

TEST(DirectoryExists, FoldersAndUsableRootsOnly) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "file.txt"));
    Directory folder;

    const std::pair<std::string, int> cases[] = {
        {"", 0},
        {".", 0},
        {"..", 0},
        {".\\" + scratch.Path(), 0},
        {scratch.Path(), 1},
        {scratch / "file.txt", 0},
        {scratch / "missing", 0},
        {"C:\\", 1},
        {"Q:\\", 0},
    };
    for (const auto& [path, exists] : cases) {
        folder.SetPath(path.c_str());
        EXPECT_EQ(exists, folder.Exists()) << path;
    }
}

TEST(DirectoryRemoveTree, ClearsReadOnlyFilesAndRemovesEveryLevel) {
    ScratchFolder scratch;
    const std::string top = scratch / "top";
    ASSERT_EQ(0, _mkdir(top.c_str()));
    ASSERT_EQ(0, _mkdir((top + "\\a").c_str()));
    ASSERT_EQ(0, _mkdir((top + "\\a\\b").c_str()));
    ASSERT_EQ(0, _mkdir((top + "\\empty").c_str()));
    ASSERT_TRUE(WriteFile(top + "\\one.txt", "1", true));
    ASSERT_TRUE(WriteFile(top + "\\a\\two.txt", "22"));
    ASSERT_TRUE(WriteFile(top + "\\a\\b\\three.txt", "333", true));

    Directory folder;
    folder.SetPath(top.c_str());
    EXPECT_EQ(1, folder.RemoveTree(1));
    EXPECT_FALSE(IsFolder(top));
    EXPECT_TRUE(IsFolder(scratch.Path()));
}

TEST(DirectoryRemoveTree, MissingFolderCountsAsRemovedAndTouchesNothing) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "bystander.txt"));
    Directory folder;
    folder.SetPath((scratch / "missing").c_str());
    EXPECT_EQ(1, folder.RemoveTree(1));
    EXPECT_TRUE(IsFile(scratch / "bystander.txt"));
}

TEST(DirectoryRemoveTree, WithoutRecursionOnlyAnEmptyFolderGoes) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "full").c_str()));
    ASSERT_TRUE(WriteFile(scratch / "full\\kept.txt"));
    ASSERT_EQ(0, _mkdir((scratch / "empty").c_str()));

    Directory folder;
    folder.SetPath((scratch / "full").c_str());
    EXPECT_EQ(0, folder.RemoveTree(0));
    EXPECT_TRUE(IsFile(scratch / "full\\kept.txt"));

    folder.SetPath((scratch / "empty").c_str());
    EXPECT_EQ(1, folder.RemoveTree(0));
    EXPECT_FALSE(IsFolder(scratch / "empty"));
}

TEST(DirectoryRemoveTree, AnEmptyProtectedFolderStaysWithoutRecursionToo) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "profile").c_str()));
    testsupport::ScopedEnvironment user("USERPROFILE", scratch / "profile");
    Directory folder;
    folder.SetPath((scratch / "profile").c_str());
    EXPECT_EQ(0, folder.RemoveTree(0));
    EXPECT_TRUE(IsFolder(scratch / "profile"));
}

// A file the runtime holds open (without delete sharing) cannot be deleted, on Windows and on the
// Linux layer alike.
TEST(DirectoryRemoveTree, AnUndeletableFileKeepsItsFoldersAndEverythingElseGoes) {
    ScratchFolder scratch;
    const std::string top = scratch / "top";
    ASSERT_EQ(0, _mkdir(top.c_str()));
    ASSERT_EQ(0, _mkdir((top + "\\held").c_str()));
    ASSERT_EQ(0, _mkdir((top + "\\other").c_str()));
    ASSERT_TRUE(WriteFile(top + "\\loose.txt"));
    ASSERT_TRUE(WriteFile(top + "\\other\\x.txt"));
    const int held = _creat((top + "\\held\\locked.txt").c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(held, 0);

    Directory folder;
    folder.SetPath(top.c_str());
    const int removed = folder.RemoveTree(1);
    _close(held);

    EXPECT_EQ(0, removed);
    EXPECT_TRUE(IsFile(top + "\\held\\locked.txt"));
    EXPECT_EQ(std::vector<std::string>{"held"}, Names(top));
}

TEST(DirectoryRemoveFile, MissingCountsAsGoneAndReadOnlyIsCleared) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "plain.txt"));
    ASSERT_TRUE(WriteFile(scratch / "locked.txt", "x", true));
    ASSERT_TRUE(WriteFile(scratch / "full.txt"));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());

    EXPECT_EQ(1, folder.RemoveFile("missing.txt"));
    EXPECT_EQ(1, folder.RemoveFile("plain.txt"));
    EXPECT_EQ(1, folder.RemoveFile("locked.txt"));
    EXPECT_EQ(1, folder.RemoveFile((scratch / "full.txt").c_str()));
    EXPECT_EQ(0, folder.RemoveFile(nullptr));
    EXPECT_TRUE(Names(scratch.Path()).empty());
}

TEST(DirectoryRemoveFile, AFolderOfThatNameIsRefused) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "sub").c_str()));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());
    EXPECT_EQ(0, folder.RemoveFile("sub"));
    EXPECT_TRUE(IsFolder(scratch / "sub"));
}

TEST(DirectoryFind, ReportsFullPathsAndNeverTheDotEntries) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "a.txt"));
    ASSERT_EQ(0, _mkdir((scratch / "sub").c_str()));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());

    std::vector<std::string> entries = Enumerate(folder);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((std::vector<std::string>{scratch / "a.txt", scratch / "sub"}), entries);

    char out[260] = "untouched";
    EXPECT_EQ(EK_None, folder.FindFirst("*.none", out, sizeof out));
    EXPECT_STREQ("untouched", out);

    folder.SetPath((scratch / "sub").c_str());
    EXPECT_EQ(EK_None, folder.FindFirst("*", out, sizeof out));
}

TEST(DirectoryFind, KindsTellFilesFromFolders) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "f"));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());
    char out[260];
    EXPECT_EQ(EK_File, folder.FindFirst("f", out, sizeof out));
    ASSERT_TRUE(WriteFile(scratch / "g"));
    ASSERT_EQ(0, _unlink((scratch / "f").c_str()));
    ASSERT_EQ(0, _mkdir((scratch / "f").c_str()));
    EXPECT_EQ(EK_Folder, folder.FindFirst("f", out, sizeof out));
    EXPECT_EQ(scratch / "f", out);
}

// An entry whose full path does not fit the buffer is passed over; the text of the entry before
// it must never come back in its place.
TEST(DirectoryFind, AnEntryTooLongForTheBufferIsSkippedNotRepeated) {
    ScratchFolder scratch;
    const std::string longName(40, 'z');
    ASSERT_TRUE(WriteFile(scratch / "a"));
    ASSERT_TRUE(WriteFile(scratch / longName));
    ASSERT_TRUE(WriteFile(scratch / "b"));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());

    const auto room = static_cast<unsigned short>(scratch.Path().size() + 1 + 10 + 1);
    std::vector<std::string> entries = Enumerate(folder, "*", room);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((std::vector<std::string>{scratch / "a", scratch / "b"}), entries);

    EXPECT_EQ(3u, Enumerate(folder).size());
}

TEST(DirectoryRemove, SucceedsWhileAnEnumerationWasLeftOpen) {
    ScratchFolder scratch;
    const std::string sub = scratch / "sub";
    ASSERT_EQ(0, _mkdir(sub.c_str()));
    ASSERT_TRUE(WriteFile(sub + "\\only.txt"));
    Directory folder;
    folder.SetPath(sub.c_str());

    char out[260];
    ASSERT_EQ(EK_File, folder.FindFirst("*", out, sizeof out));
    ASSERT_EQ(EK_None, folder.FindNext(out, sizeof out));
    ASSERT_EQ(1, folder.RemoveFile(out));
    EXPECT_EQ(1, folder.Remove());
    EXPECT_FALSE(IsFolder(sub));
    EXPECT_EQ(EK_None, folder.FindNext(out, sizeof out));
}

TEST(DirectoryCreate, MakesOneLevelOnly) {
    ScratchFolder scratch;
    Directory folder;
    folder.SetPath((scratch / "new").c_str());
    EXPECT_EQ(1, folder.Create());
    EXPECT_TRUE(IsFolder(scratch / "new"));
    folder.SetPath((scratch / "missing\\deeper").c_str());
    EXPECT_EQ(0, folder.Create());
    EXPECT_FALSE(IsFolder(scratch / "missing"));
}

TEST(DirectoryWorkingFolder, MakeCurrentAndSetToCurrentFolderMeet) {
    ScratchFolder scratch;
    Directory saved;
    ASSERT_EQ(1, saved.SetToCurrentFolder());

    Directory folder;
    folder.SetPath(scratch.Path().c_str());
    ASSERT_EQ(1, folder.MakeCurrent());
    Directory current;
    EXPECT_EQ(1, current.SetToCurrentFolder());
    EXPECT_EQ(0, _stricmp(scratch.Path().c_str(), current.GetPath()));

    folder.SetPath((scratch / "missing").c_str());
    EXPECT_EQ(0, folder.MakeCurrent());
    EXPECT_EQ(1, saved.MakeCurrent());
}

TEST(DirectorySpace, FreeSpaceAndRemovableMediaOfTheSystemDrive) {
    ScratchFolder scratch;
    Directory folder;
    folder.SetPath(scratch.Path().c_str());
    EXPECT_EQ(1, folder.HasFreeSpace());
    EXPECT_EQ(0, folder.IsRemovableMedia());
    folder.SetPath((scratch / "missing").c_str());
    EXPECT_EQ(0, folder.HasFreeSpace());
    folder.SetPath("relative");
    EXPECT_EQ(0, folder.IsRemovableMedia());
}

TEST(DirectorySetToTempFolder, PicksAnExistingFolderAndAppendsTheSubFolder) {
    Directory folder;
    ASSERT_EQ(1, folder.SetToTempFolder(nullptr, "ovsub"));
    const std::string path = folder.GetPath().Text();
    ASSERT_GT(path.size(), 6u);
    EXPECT_EQ("\\ovsub", path.substr(path.size() - 6));
    EXPECT_TRUE(IsFolder(path.substr(0, path.size() - 6)));

    Directory plain;
    ASSERT_EQ(1, plain.SetToTempFolder(nullptr, nullptr));
    EXPECT_EQ(path.substr(0, path.size() - 6), std::string(plain.GetPath().Text()));
}

TEST(DirectoryRenameOver, ReplacesTargetsAndKeepsReadOnlyTargetsReadOnly) {
    ScratchFolder scratch;
    Directory folder;
    ASSERT_TRUE(WriteFile(scratch / "new.txt", "new"));
    ASSERT_TRUE(WriteFile(scratch / "old.txt", "old", true));
    EXPECT_EQ(S_OK,
              folder.RenameOver((scratch / "new.txt").c_str(), (scratch / "old.txt").c_str()));
    EXPECT_FALSE(IsFile(scratch / "new.txt"));
    EXPECT_NE(0u, testsupport::Attributes(scratch / "old.txt") & FILE_ATTRIBUTE_READONLY);
    struct _stat info;
    ASSERT_EQ(0, _stat((scratch / "old.txt").c_str(), &info));
    EXPECT_EQ(3, info.st_size);

    ASSERT_TRUE(WriteFile(scratch / "a.txt", "a"));
    EXPECT_EQ(S_OK, folder.RenameOver((scratch / "a.txt").c_str(), (scratch / "b.txt").c_str()));
    EXPECT_TRUE(IsFile(scratch / "b.txt"));
    EXPECT_EQ(0u, testsupport::Attributes(scratch / "b.txt") & FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(E_FAIL,
              folder.RenameOver((scratch / "gone.txt").c_str(), (scratch / "c.txt").c_str()));
    EXPECT_EQ(E_FAIL, folder.RenameOver(nullptr, (scratch / "c.txt").c_str()));
}

// A folder whose operations record their calls: the operations must reach one another through
// the dispatch table, so that a derived folder changes them for every caller.
class RecordingDirectory : public Directory {
public:
    std::vector<std::string> calls;
    int existsAnswer = -1;

    int Exists() override {
        calls.push_back("Exists");
        return existsAnswer >= 0 ? existsAnswer : Directory::Exists();
    }
    EntryKind FindFirst(const char* pattern, char* out, unsigned short size) override {
        calls.push_back(std::string("FindFirst ") + pattern);
        return Directory::FindFirst(pattern, out, size);
    }
    EntryKind FindNext(char* out, unsigned short size) override {
        calls.push_back("FindNext");
        return Directory::FindNext(out, size);
    }
    int RemoveFile(const char* name) override {
        calls.push_back("RemoveFile");
        return Directory::RemoveFile(name);
    }
    int Remove() override {
        calls.push_back("Remove");
        return Directory::Remove();
    }
};

TEST(DirectoryDispatch, RemoveTreeWorksThroughTheOverridableOperations) {
    ScratchFolder scratch;
    const std::string top = scratch / "top";
    ASSERT_EQ(0, _mkdir(top.c_str()));
    ASSERT_TRUE(WriteFile(top + "\\one.txt"));

    RecordingDirectory folder;
    folder.SetPath(top.c_str());
    folder.existsAnswer = 0;
    EXPECT_EQ(1, folder.RemoveTree(1));
    EXPECT_EQ(std::vector<std::string>{"Exists"}, folder.calls);
    EXPECT_TRUE(IsFile(top + "\\one.txt"));

    folder.calls.clear();
    folder.existsAnswer = -1;
    EXPECT_EQ(1, folder.RemoveTree(1));
    // "." comes first and is passed over by asking FindNext.
    EXPECT_EQ((std::vector<std::string>{"Exists", "FindFirst *", "FindNext", "RemoveFile",
                                        "FindNext", "Remove"}),
              folder.calls);
    EXPECT_FALSE(IsFolder(top));
}

TEST(DirectoryDispatch, HasFreeSpaceAndCreateAskExists) {
    ScratchFolder scratch;
    RecordingDirectory folder;
    folder.SetPath(scratch.Path().c_str());
    folder.existsAnswer = 0;
    EXPECT_EQ(0, folder.HasFreeSpace());
    EXPECT_EQ(0, folder.Create());
    EXPECT_EQ((std::vector<std::string>{"Exists", "Exists"}), folder.calls);
}

} // namespace
