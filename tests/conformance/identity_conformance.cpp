// What a path names on disk: CreateFileA with backup semantics and GetFileInformationByHandle
// give one volume serial number and file index for every spelling that reaches a file or folder
// (a link among its folders, another letter case, a short 8.3 name), and different ones for
// different entries. The same source runs against the Linux layer and, under Wine, a real Win32.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32api.h"
#include "tests/support/known_gap.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"

namespace {

using testsupport::FolderLink;
using testsupport::MakeFile;
using testsupport::MakeFolders;
using testsupport::ScratchFolder;

constexpr DWORD kMarker = 0xBEEF;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Identity {
    DWORD status = ERROR_SUCCESS; // of the open, or of the information call
    DWORD attributes = 0;
    DWORD serial = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const Identity& o) const {
        return status == ERROR_SUCCESS && o.status == ERROR_SUCCESS && serial == o.serial &&
               high == o.high && low == o.low;
    }
};

std::ostream& operator<<(std::ostream& out, const Identity& id) {
    return out << "{status " << id.status << ", serial " << id.serial << ", index " << id.high
               << ":" << id.low << "}";
}

Identity Identify(const std::string& path, DWORD flags = FILE_FLAG_BACKUP_SEMANTICS) {
    Identity id;
    SetLastError(kMarker);
    const HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        id.status = GetLastError();
        return id;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
        id = Identity{ERROR_SUCCESS, info.dwFileAttributes, info.dwVolumeSerialNumber,
                      info.nFileIndexHigh, info.nFileIndexLow};
    } else {
        id.status = GetLastError();
    }
    EXPECT_TRUE(CloseHandle(handle));
    return id;
}

TEST(IdentityConformance, OneIdentityPerEntryWhateverTheSpelling) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Real\\Sub\\file.txt"));
    const Identity real = Identify(root / "Real");
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), real.status);
    EXPECT_NE(0u, real.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(real, Identify(root / "REAL"));
    EXPECT_EQ(real, Identify(root / "Real\\"));
    EXPECT_EQ(real, Identify(root / "Real\\Sub\\.."));
    EXPECT_FALSE(real == Identify(root / "Real\\Sub"));
    EXPECT_FALSE(real == Identify(root.Path()));
    EXPECT_EQ(Identify(root / "Real\\Sub\\file.txt"), Identify(root / "real\\SUB\\File.TXT", 0))
        << "a file needs no backup semantics";
}

TEST(IdentityConformance, RefusalsOfTheOpen) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFolders(root / "Folder"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Identify(root / "Folder", 0).status)
        << "a folder is opened only with backup semantics";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), Identify(root / "Missing").status);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), Identify(root / "Missing\\x").status);
    BY_HANDLE_FILE_INFORMATION info;
    SetLastError(kMarker);
    EXPECT_FALSE(GetFileInformationByHandle(INVALID_HANDLE_VALUE, &info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

// A folder link is followed when opened, as a junction is on Windows: the path through it names
// its target, and so does every path below it.
TEST(IdentityConformance, AFolderReachedThroughALinkIsItsTarget) {
    ScratchFolder root;
    ASSERT_TRUE(MakeFile(root / "Users\\bob\\letter.txt"));
    FolderLink link(root / "Documents and Settings", root / "Users");
    ASSERT_TRUE(link.Made());
    EXPECT_NE(0u, GetFileAttributesA((root / "Documents and Settings").c_str()) &
                      FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(Identify(root / "Users"), Identify(root / "Documents and Settings"));
    EXPECT_EQ(Identify(root / "Users\\bob"), Identify(root / "documents and settings\\BOB"));
    EXPECT_EQ(Identify(root / "Users\\bob\\letter.txt"),
              Identify(root / "Documents and Settings\\bob\\letter.txt"));
}

// Opened as itself (FILE_FLAG_OPEN_REPARSE_POINT), a folder link names the link: a reparse point
// of its own identity, not its target. A removal that holds what it enters tells a link by it.
TEST(IdentityConformance, AFolderLinkOpenedAsItselfIsAReparsePoint) {
    KNOWN_GAP_UNDER_WINE("Wine 8.0 opens a host link's target even when asked for the link itself: "
                         "the handle is the target's, no reparse point (the removals then tell the "
                         "link by its path's attributes)");
    ScratchFolder root;
    ASSERT_TRUE(MakeFolders(root / "Users\\bob"));
    FolderLink link(root / "Documents and Settings", root / "Users");
    ASSERT_TRUE(link.Made());
    const Identity itself = Identify(root / "Documents and Settings",
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), itself.status);
    EXPECT_NE(0u, itself.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_FALSE(itself == Identify(root / "Users"));
    const Identity folder =
        Identify(root / "Users", FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    EXPECT_EQ(Identify(root / "Users"), folder);
    EXPECT_EQ(0u, folder.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST(IdentityConformance, LetterCaseBeyondAscii) {
    if (GetSystemMetrics(SM_DBCSENABLED) != 0) {
        GTEST_SKIP() << "the letters are code page 1252's; this system has a double-byte one";
    }
    ScratchFolder root;
    ASSERT_EQ(0, _mkdir((root / "jos\xE9").c_str()));
    const Identity folder = Identify(root / "jos\xE9");
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), folder.status);
    EXPECT_EQ(folder, Identify(root / "JOS\xC9"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), Identify(root / "jose").status);
}

TEST(IdentityConformance, AShortNameNamesItsLongOne) {
    KNOWN_GAP_ON_THE_LINUX_LAYER("no 8.3 short names are kept, so no other spelling reaches the "
                                 "folder");
    ScratchFolder root;
    ASSERT_TRUE(MakeFolders(root / "Long Folder Name"));
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((root / "Long Folder Name").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    ASSERT_NE('\0', found.cAlternateFileName[0]);
    EXPECT_EQ(Identify(root / "Long Folder Name"), Identify(root / found.cAlternateFileName));
}

} // namespace
