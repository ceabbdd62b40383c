#include "fs/removal_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fs/directory.h"
#include "tests/support/scratch.h"
#include "support/string.h"
#include "tests/support/known_gap.h"
#include "tests/support/machine_files.h"

namespace {

using testsupport::IsFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;

std::string FolderOf(UINT(WINAPI* get)(LPSTR, UINT)) {
    char buffer[261] = "";
    get(buffer, 260);
    return buffer;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// USERPROFILE names a folder of the test's own for as long as the object lives.
class ProfileAt {
public:
    // The environment keeps copies: a putenv of the object's own texts left USERPROFILE pointing
    // into freed memory once the object was gone.
    explicit ProfileAt(const std::string& folder) {
        const char* old = getenv("USERPROFILE");
        old_ = old != nullptr ? old : "";
        testsupport::SetVariable("USERPROFILE", folder);
    }
    ~ProfileAt() { testsupport::SetVariable("USERPROFILE", old_); }

private:
    std::string old_;
};

TEST(ProtectedFolder, EveryDriveAndShareRootInAnySpelling) {
    for (const char* root : {"C:\\", "D:", "D:\\", "C:/", "C:\\.", "C:\\.\\", "C:\\..",
                             "C:\\Orvane\\..", "C:\\..\\..\\Orvane\\..", "\\\\server\\share",
                             "\\\\server\\share\\", "\\\\server\\share\\x\\..", "\\\\?\\C:\\"}) {
        EXPECT_EQ(1, IsProtectedFolder(root)) << root;
    }
    EXPECT_EQ(0, IsProtectedFolder("\\\\server\\share\\Orvane"));
    EXPECT_EQ(1, IsProtectedFolder(nullptr));
    EXPECT_EQ(1, IsProtectedFolder(""));
    EXPECT_EQ(1, IsProtectedFolder("\\\\?\\UNC\\server\\share\\x"));
}

TEST(ProtectedFolder, TheWindowsAndSystemFoldersAndTheirAncestorsButNotWhatIsInThem) {
    const std::string windows = FolderOf(GetWindowsDirectoryA);
    const std::string system = FolderOf(GetSystemDirectoryA);
    ASSERT_GT(windows.size(), 3u);
    for (const std::string& path :
         {windows, system, Upper(windows), windows + "\\", windows + "\\.", windows + ".",
          system + "\\..", system + "\\..\\.\\", windows + "\\Temp\\..\\System32\\..",
          "c:/" + windows.substr(3), "\\\\?\\" + system}) {
        EXPECT_EQ(1, IsProtectedFolder(path.c_str())) << path;
    }
    for (const std::string& path : {windows + "\\Temp\\Orvane", system + "\\Orvane", windows + "x",
                                    windows.substr(0, windows.size() - 1)}) {
        EXPECT_EQ(0, IsProtectedFolder(path.c_str())) << path;
    }
}

TEST(ProtectedFolder, TheProfileFolderAndItsAncestors) {
    ScratchFolder scratch;
    ProfileAt profile(scratch / "Profile");
    EXPECT_EQ(1, IsProtectedFolder((scratch / "Profile").c_str()));
    EXPECT_EQ(1, IsProtectedFolder((scratch / "PROFILE\\").c_str()));
    EXPECT_EQ(1, IsProtectedFolder(scratch.Path().c_str()));
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Profile\\Lumo").c_str()));
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Prof").c_str()));
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Profile2").c_str()));
}

// What a path names on disk is judged, not its spelling: a link among its folders reaches the
// profile or an ancestor of it, or the profile's own path runs through a link.
TEST(ProtectedFolder, AProfileReachedThroughALinkAmongItsFolders) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "Users").c_str()));
    ASSERT_EQ(0, _mkdir((scratch / "Users\\bob").c_str()));
    ASSERT_EQ(0, _mkdir((scratch / "Users\\bob\\Lumo").c_str()));
    testsupport::FolderLink link(scratch / "Documents and Settings", scratch / "Users");
    ASSERT_TRUE(link.Made());
    {
        ProfileAt profile(scratch / "Users\\bob");
        EXPECT_EQ(1, IsProtectedFolder((scratch / "Documents and Settings\\bob").c_str()));
        EXPECT_EQ(1, IsProtectedFolder((scratch / "DOCUMENTS AND SETTINGS\\Bob\\").c_str()));
        EXPECT_EQ(1, IsProtectedFolder((scratch / "Documents and Settings").c_str()));
        EXPECT_EQ(0, IsProtectedFolder((scratch / "Documents and Settings\\bob\\Lumo").c_str()));
        EXPECT_EQ(0, IsProtectedFolder((scratch / "Documents and Settings\\ann").c_str()))
            << "a folder that cannot be opened is judged by its spelling";
    }
    {
        // Kept for the run, the identities judge as read afresh: the second round is answered
        // from what the first read.
        ProfileAt profile(scratch / "Users\\bob");
        const ProtectedFolderIdentities identities;
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(1, IsProtectedFolder((scratch / "Documents and Settings\\bob").c_str()));
            EXPECT_EQ(1, IsProtectedFolder((scratch / "Documents and Settings").c_str()));
            EXPECT_EQ(0,
                      IsProtectedFolder((scratch / "Documents and Settings\\bob\\Lumo").c_str()));
        }
    }
    ProfileAt profile(scratch / "Documents and Settings\\bob");
    EXPECT_EQ(1, IsProtectedFolder((scratch / "Users\\bob").c_str()));
    EXPECT_EQ(1, IsProtectedFolder((scratch / "Users").c_str()));
    EXPECT_EQ(0, IsProtectedFolder((scratch / "Users\\bob\\Lumo").c_str()));
}

TEST(ProtectedFolder, AnotherSpellingOfTheProfileOnDisk) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "Long Profile Name").c_str()));
    ProfileAt profile(scratch / "Long Profile Name");
    if (GetSystemMetrics(SM_DBCSENABLED) == 0) { // the letters below are code page 1252's
        ASSERT_EQ(0, _mkdir((scratch / "Long Profile Name\\jos\xE9").c_str()));
        ProfileAt accented(scratch / "Long Profile Name\\jos\xE9");
        EXPECT_EQ(1, IsProtectedFolder((scratch / "LONG PROFILE NAME\\JOS\xC9").c_str()));
    }
    KNOWN_GAP_ON_THE_LINUX_LAYER("no 8.3 short names are kept");
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((scratch / "Long Profile Name").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    ASSERT_NE('\0', found.cAlternateFileName[0]);
    EXPECT_EQ(1, IsProtectedFolder((scratch / found.cAlternateFileName).c_str()));
}

TEST(ProtectedFolder, RelativePathsAreJudgedFromTheWorkingFolder) {
    ScratchFolder scratch;
    const std::string lumo = scratch / "Profile\\Lumo";
    ASSERT_EQ(0, _mkdir((scratch / "Profile").c_str()));
    ASSERT_EQ(0, _mkdir(lumo.c_str()));
    ProfileAt profile(scratch / "Profile");
    char saved[261];
    ASSERT_NE(nullptr, _getcwd(saved, 260));
    ASSERT_EQ(0, _chdir(lumo.c_str()));

    EXPECT_EQ(0, IsProtectedFolder("."));
    EXPECT_EQ(0, IsProtectedFolder("Data"));
    EXPECT_EQ(1, IsProtectedFolder(".."));
    EXPECT_EQ(1, IsProtectedFolder("Data\\..\\.."));
    EXPECT_EQ(1, IsProtectedFolder("\\"));
    // "C:" alone is the working folder when that lies on C:.
    EXPECT_EQ(0, IsProtectedFolder(lumo.substr(0, 2).c_str()));
    EXPECT_EQ(1, IsProtectedFolder((lumo.substr(0, 2) + "..").c_str()));

    EXPECT_EQ(0, _chdir(saved));
}

// A 32-bit program on 64-bit Windows sees the 64-bit folders as "W6432" values, a 64-bit program
// sees the 32-bit ones as "(x86)" values: every view the machine has is protected.
TEST(ProtectedFolder, TheProgramAndCommonFilesFoldersOfTheRegistry) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_QUERY_VALUE, &key));
    for (const char* name : {"ProgramFilesDir", "CommonFilesDir", "ProgramW6432Dir",
                             "CommonW6432Dir", "ProgramFilesDir (x86)", "CommonFilesDir (x86)"}) {
        char value[261] = "";
        DWORD size = 260;
        if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size) !=
            ERROR_SUCCESS) {
            EXPECT_TRUE(strstr(name, "W6432") != nullptr || strstr(name, "x86") != nullptr) << name;
            continue;
        }
        EXPECT_EQ(1, IsProtectedFolder(value)) << value;
        EXPECT_EQ(1, IsProtectedFolder(Upper(value).c_str())) << value;
        EXPECT_EQ(0, IsProtectedFolder((std::string(value) + "\\Orvane").c_str())) << value;
    }
    RegCloseKey(key);
}

TEST(ProtectedFolder, ARecursiveRemovalOfAnAncestorOfTheProfileTouchesNothing) {
    ScratchFolder scratch;
    ASSERT_EQ(0, _mkdir((scratch / "Profile").c_str()));
    ASSERT_TRUE(WriteFile(scratch / "Profile\\ntuser.dat"));
    ASSERT_TRUE(WriteFile(scratch / "beside.txt"));
    ProfileAt profile(scratch / "Profile");

    Directory folder;
    folder.SetPath((scratch / "Profile\\..").c_str());
    EXPECT_EQ(0, folder.RemoveTree(1));
    folder.SetPath((scratch / "profile").c_str());
    EXPECT_EQ(0, folder.RemoveTree(1));
    EXPECT_TRUE(IsFile(scratch / "Profile\\ntuser.dat"));
    EXPECT_TRUE(IsFile(scratch / "beside.txt"));
}

TEST(PossiblyCutPath, TextsOfTheFormattingLimitOrLonger) {
    EXPECT_EQ(0, IsPossiblyCutPath(std::string(510, 'a').c_str()));
    EXPECT_EQ(1, IsPossiblyCutPath(std::string(511, 'a').c_str()));
    EXPECT_EQ(0, IsPossiblyCutPath(nullptr));
    String formatted;
    formatted.Format("C:\\%s", std::string(600, 'a').c_str());
    EXPECT_EQ(1, IsPossiblyCutPath(formatted));
}

TEST(PossiblyCutPath, IsNeverUsedForADeletion) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "kept.txt"));
    Directory folder;
    folder.SetPath(scratch.Path().c_str());
    const std::string padded = std::string(520, 'x') + "\\..\\kept.txt";
    EXPECT_EQ(0, folder.RemoveFile(padded.c_str()));
    EXPECT_TRUE(IsFile(scratch / "kept.txt"));
}

} // namespace
