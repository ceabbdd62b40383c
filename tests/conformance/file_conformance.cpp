// The file and folder functions of kernel32 and the runtime, as the program calls them: statuses,
// errno values, buffer sizes and terminators, out-arguments left alone on failure. The same source
// runs against the Linux layer and, as an exe under Wine, against a real Win32.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"
#include "platform/win32api.h"

namespace {

using testsupport::Attributes;
using testsupport::IsFile;
using testsupport::IsFolder;
using testsupport::ScratchFolder;
using testsupport::WriteFile;

constexpr DWORD kMarker = 0xBEEF;
constexpr DWORD kErrorDirectory = 267;

class FileConformance : public ::testing::Test {
protected:
    FileConformance() : scratch_("C:\\ovconf") {}
    std::string operator/(const std::string& name) const { return scratch_ / name; }
    const std::string& Root() const { return scratch_.Path(); }

    ScratchFolder scratch_;
};

struct Found {
    std::string name;
    DWORD attributes;
    DWORD size;
};

// Every entry of a search, or the status of the failed FindFirstFileA.
std::vector<Found> Find(const std::string& pattern, DWORD* status = nullptr) {
    std::vector<Found> entries;
    WIN32_FIND_DATAA data;
    SetLastError(kMarker);
    const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (status != nullptr) {
            *status = GetLastError();
        }
        return entries;
    }
    do {
        entries.push_back(Found{data.cFileName, data.dwFileAttributes, data.nFileSizeLow});
    } while (FindNextFileA(find, &data));
    const DWORD end = GetLastError();
    FindClose(find);
    if (status != nullptr) {
        *status = end;
    }
    return entries;
}

DWORD StatusOf(BOOL result) {
    return result ? ERROR_SUCCESS : GetLastError();
}

int ErrnoOf(int result) {
    return result == 0 ? 0 : errno;
}

TEST_F(FileConformance, WindowsAndSystemFoldersFillOrSizeTheBuffer) {
    struct Case {
        UINT(WINAPI* get)(LPSTR, UINT);
        const char* text;
    };
    for (const Case& c : {Case{GetWindowsDirectoryA, "C:\\windows"},
                          Case{GetSystemDirectoryA, "C:\\windows\\system32"}}) {
        const UINT length = static_cast<UINT>(strlen(c.text));
        char buffer[300];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(length, c.get(buffer, 260));
        EXPECT_STREQ(c.text, buffer);
        EXPECT_EQ('#', buffer[length + 1]);

        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(length + 1, c.get(buffer, length));
        EXPECT_EQ('#', buffer[0]);
        EXPECT_EQ(length, c.get(buffer, length + 1));
        EXPECT_STREQ(c.text, buffer);
        EXPECT_EQ(length + 1, c.get(nullptr, 0));
    }
}

TEST_F(FileConformance, DriveTypes) {
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("c:"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:/"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("Q:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA(""));
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA(Root().c_str()));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA((*this / "missing\\").c_str()));
}

TEST_F(FileConformance, DiskFreeSpace) {
    DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
    EXPECT_EQ(8u, sectors);
    EXPECT_EQ(512u, bytes);
    EXPECT_NE(0u, freeClusters);
    EXPECT_LE(freeClusters, total);
    EXPECT_TRUE(GetDiskFreeSpaceA("C:\\", nullptr, nullptr, &freeClusters, nullptr));
    EXPECT_TRUE(GetDiskFreeSpaceA(Root().c_str(), nullptr, nullptr, nullptr, nullptr));

    sectors = bytes = freeClusters = total = 77;
    SetLastError(kMarker);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
              StatusOf(GetDiskFreeSpaceA("Q:\\", &sectors, &bytes, &freeClusters, &total)));
    EXPECT_EQ(77u, sectors + bytes + freeClusters + total - 3 * 77u);
    ASSERT_TRUE(WriteFile(*this / "file"));
    EXPECT_EQ(kErrorDirectory, StatusOf(GetDiskFreeSpaceA((*this / "file").c_str(), nullptr,
                                                          nullptr, nullptr, nullptr)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              StatusOf(GetDiskFreeSpaceA((*this / "missing\\").c_str(), nullptr, nullptr, nullptr,
                                         nullptr)));
}

TEST_F(FileConformance, FindListsDotsFirstThenEntriesWithTheirAttributes) {
    ASSERT_EQ(0, _mkdir((*this / "sub").c_str()));
    ASSERT_TRUE(WriteFile(*this / "sub\\Plain.txt", "12345"));
    ASSERT_TRUE(WriteFile(*this / "sub\\locked.txt", "", true));
    ASSERT_EQ(0, _mkdir((*this / "sub\\inner").c_str()));

    DWORD status = 0;
    const std::vector<Found> entries = Find(*this / "sub\\*", &status);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), status);
    ASSERT_EQ(5u, entries.size());
    EXPECT_EQ(".", entries[0].name);
    EXPECT_EQ("..", entries[1].name);
    for (const Found& entry : entries) {
        if (entry.name == "Plain.txt") {
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), entry.attributes);
            EXPECT_EQ(5u, entry.size);
        } else if (entry.name == "locked.txt") {
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY),
                      entry.attributes);
        } else {
            EXPECT_TRUE(entry.name == "inner" || entry.name == "." || entry.name == "..")
                << entry.name;
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), entry.attributes);
        }
    }
    const std::vector<Found> texts = Find(*this / "sub\\*.TXT");
    EXPECT_EQ(2u, texts.size());
}

TEST_F(FileConformance, FindOfOneNameGivesItsStoredSpelling) {
    ASSERT_EQ(0, _mkdir((*this / "sub").c_str()));
    ASSERT_TRUE(WriteFile(*this / "sub\\Plain.txt"));
    for (const std::string& pattern :
         {*this / "SUB\\PLAIN.TXT", *this / "sub/plain.txt", *this / "sub\\plain.txt.",
          *this / "sub\\inner\\..\\Plain.txt", *this / "sub.\\Plain.txt"}) {
        DWORD status = 0;
        const std::vector<Found> entries = Find(pattern, &status);
        ASSERT_EQ(1u, entries.size()) << pattern;
        EXPECT_EQ("Plain.txt", entries[0].name) << pattern;
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), status) << pattern;
    }
    const std::vector<Found> folder = Find(*this / "sub\\..\\SUB");
    ASSERT_EQ(1u, folder.size());
    EXPECT_EQ("sub", folder[0].name);
}

TEST_F(FileConformance, FindFailures) {
    ASSERT_TRUE(WriteFile(*this / "file.txt"));
    const std::pair<std::string, DWORD> cases[] = {
        {Root() + "\\", ERROR_FILE_NOT_FOUND},
        {"C:\\", ERROR_FILE_NOT_FOUND},
        {*this / "missing", ERROR_FILE_NOT_FOUND},
        {*this / "*.none", ERROR_FILE_NOT_FOUND},
        {*this / "missing\\*", ERROR_PATH_NOT_FOUND},
        {*this / "missing\\deeper\\x", ERROR_PATH_NOT_FOUND},
        {"Q:\\*", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& [pattern, expected] : cases) {
        DWORD status = 0;
        EXPECT_TRUE(Find(pattern, &status).empty()) << pattern;
        EXPECT_EQ(expected, status) << pattern;
    }
    WIN32_FIND_DATAA data;
    SetLastError(kMarker);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kMarker);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(FileConformance, FindNextAtTheEndKeepsFailingUntilClosed) {
    ASSERT_TRUE(WriteFile(*this / "only"));
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((*this / "only").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    for (int i = 0; i < 2; ++i) {
        SetLastError(kMarker);
        EXPECT_FALSE(FindNextFileA(find, &data));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    }
    SetLastError(kMarker);
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(kMarker, GetLastError());
}

TEST_F(FileConformance, DeleteFileRefusesFoldersAndReadOnlyFiles) {
    ASSERT_TRUE(WriteFile(*this / "plain"));
    ASSERT_TRUE(WriteFile(*this / "locked", "", true));
    ASSERT_EQ(0, _mkdir((*this / "folder").c_str()));

    SetLastError(kMarker);
    EXPECT_TRUE(DeleteFileA((*this / "PLAIN").c_str()));
    EXPECT_EQ(kMarker, GetLastError());
    EXPECT_FALSE(IsFile(*this / "plain"));
    const std::pair<std::string, DWORD> cases[] = {
        {*this / "locked", ERROR_ACCESS_DENIED},
        {*this / "folder", ERROR_ACCESS_DENIED},
        {*this / "plain", ERROR_FILE_NOT_FOUND},
        {*this / "missing\\x", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& [path, expected] : cases) {
        SetLastError(kMarker);
        EXPECT_EQ(expected, StatusOf(DeleteFileA(path.c_str()))) << path;
    }
    EXPECT_TRUE(IsFile(*this / "locked"));
    EXPECT_TRUE(IsFolder(*this / "folder"));
}

TEST_F(FileConformance, AttributesGetAndSet) {
    ASSERT_TRUE(WriteFile(*this / "f"));
    ASSERT_EQ(0, _mkdir((*this / "d").c_str()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(*this / "f"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), Attributes(*this / "d"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), Attributes(*this / "d\\"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), Attributes("C:\\"));

    EXPECT_TRUE(SetFileAttributesA((*this / "f").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY),
              Attributes(*this / "f"));
    EXPECT_TRUE(SetFileAttributesA((*this / "f").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(*this / "f"));
    // Whether a folder keeps the read-only attribute differs between systems; only the call's
    // success is common ground.
    EXPECT_TRUE(SetFileAttributesA((*this / "d").c_str(), FILE_ATTRIBUTE_READONLY));

    const std::pair<std::string, DWORD> missing[] = {{*this / "missing", ERROR_FILE_NOT_FOUND},
                                                     {*this / "missing\\x", ERROR_PATH_NOT_FOUND},
                                                     {*this / "f\\", ERROR_PATH_NOT_FOUND},
                                                     {"", ERROR_PATH_NOT_FOUND}};
    for (const auto& [path, expected] : missing) {
        SetLastError(kMarker);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str())) << path;
        EXPECT_EQ(expected, GetLastError()) << path;
    }
    SetLastError(kMarker);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              StatusOf(SetFileAttributesA((*this / "missing").c_str(), 0)));
    SetLastError(kMarker);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), [&] {
        GetFileAttributesA((*this / "w*").c_str());
        return GetLastError();
    }());
}

TEST_F(FileConformance, CreateDirectory) {
    ASSERT_TRUE(WriteFile(*this / "file"));
    SetLastError(kMarker);
    EXPECT_TRUE(CreateDirectoryA((*this / "new\\").c_str(), nullptr));
    EXPECT_EQ(kMarker, GetLastError());
    const std::pair<std::string, DWORD> cases[] = {{*this / "NEW", ERROR_ALREADY_EXISTS},
                                                   {*this / "file", ERROR_ALREADY_EXISTS},
                                                   {*this / "a\\b", ERROR_PATH_NOT_FOUND},
                                                   {"", ERROR_PATH_NOT_FOUND}};
    for (const auto& [path, expected] : cases) {
        SetLastError(kMarker);
        EXPECT_EQ(expected, StatusOf(CreateDirectoryA(path.c_str(), nullptr))) << path;
    }
}

TEST_F(FileConformance, RuntimeFolderFunctionsSetTheRuntimesErrno) {
    ASSERT_TRUE(WriteFile(*this / "file"));
    ASSERT_EQ(0, _mkdir((*this / "full").c_str()));
    ASSERT_TRUE(WriteFile(*this / "full\\x"));

    EXPECT_EQ(EEXIST, ErrnoOf(_mkdir((*this / "FULL").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_mkdir((*this / "a\\b").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_mkdir("")));
    EXPECT_EQ(ENOTEMPTY, ErrnoOf(_rmdir((*this / "full").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_rmdir((*this / "missing").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_rmdir((*this / "a\\b").c_str())));
    EXPECT_EQ(EINVAL, ErrnoOf(_rmdir((*this / "file").c_str())));
    EXPECT_EQ(EINVAL, ErrnoOf(_rmdir("")));
    EXPECT_EQ(0, ErrnoOf(_mkdir((*this / "empty").c_str())));
    EXPECT_EQ(0, ErrnoOf(_rmdir((*this / "EMPTY").c_str())));
    EXPECT_FALSE(IsFolder(*this / "empty"));
}

TEST_F(FileConformance, RuntimeFileFunctionsSetTheRuntimesErrno) {
    ASSERT_TRUE(WriteFile(*this / "file"));
    ASSERT_EQ(0, _mkdir((*this / "folder").c_str()));

    EXPECT_EQ(EACCES, ErrnoOf(_unlink((*this / "folder").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_unlink((*this / "missing").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_unlink((*this / "a\\b").c_str())));
    EXPECT_EQ(0, ErrnoOf(_chmod((*this / "file").c_str(), _S_IREAD)));
    EXPECT_EQ(EACCES, ErrnoOf(_unlink((*this / "file").c_str())));
    EXPECT_EQ(0, ErrnoOf(_chmod((*this / "file").c_str(), 0)));
    EXPECT_NE(0u, Attributes(*this / "file") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, ErrnoOf(_chmod((*this / "file").c_str(), _S_IWRITE)));
    EXPECT_EQ(0u, Attributes(*this / "file") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ENOENT, ErrnoOf(_chmod((*this / "missing").c_str(), _S_IWRITE)));
    EXPECT_EQ(ENOENT, ErrnoOf(_chmod((*this / "a\\b").c_str(), _S_IWRITE)));
    EXPECT_EQ(0, ErrnoOf(_unlink((*this / "file").c_str())));
}

TEST_F(FileConformance, CreatMakesEmptiesAndRefusesFolders) {
    ASSERT_TRUE(WriteFile(*this / "f", "old content"));
    ASSERT_TRUE(WriteFile(*this / "f", "new"));
    struct _stat info;
    ASSERT_EQ(0, _stat((*this / "f").c_str(), &info));
    EXPECT_EQ(3, info.st_size);

    const int readOnly = _creat((*this / "r").c_str(), _S_IREAD);
    ASSERT_GE(readOnly, 0);
    EXPECT_EQ(2, _write(readOnly, "ab", 2));
    EXPECT_EQ(0, _close(readOnly));
    EXPECT_NE(0u, Attributes(*this / "r") & FILE_ATTRIBUTE_READONLY);
    // Making a read-only file anew is refused by Windows, but not by Wine run as root: no common
    // ground to test.
    ASSERT_EQ(0, _mkdir((*this / "d").c_str()));
    errno = 0;
    EXPECT_EQ(-1, _creat((*this / "d").c_str(), _S_IREAD | _S_IWRITE));
    EXPECT_EQ(EACCES, errno);
    errno = 0;
    EXPECT_EQ(-1, _creat((*this / "a\\b").c_str(), _S_IREAD | _S_IWRITE));
    EXPECT_EQ(ENOENT, errno);
}

// A failed _stat leaves the record untouched, except in the 64-bit Windows runtime, whose _stat is
// a wrapper over _stat64 that clears the record first.
#ifdef _WIN64
constexpr unsigned kModeAfterFailedStat = 0;
#else
constexpr unsigned kModeAfterFailedStat = 0x5555;
#endif

TEST_F(FileConformance, StatModesSizesAndRefusals) {
    ASSERT_TRUE(WriteFile(*this / "f.txt", "1234"));
    ASSERT_TRUE(WriteFile(*this / "r.txt", "", true));
    ASSERT_TRUE(WriteFile(*this / "p.exe"));
    struct _stat info;
    const std::pair<std::string, unsigned> modes[] = {
        {*this / "f.txt", 0x81B6}, {*this / "r.txt", 0x8124},
        {*this / "p.exe", 0x81FF}, {Root(), 0x41FF},
        {"C:\\", 0x41FF},          {"C:/", 0x41FF},
        {*this / "F.TXT", 0x81B6}, {Root() + "/f.txt", 0x81B6},
        {Root() + "\\.", 0x41FF},
    };
    for (const auto& [path, mode] : modes) {
        memset(&info, 0, sizeof info);
        ASSERT_EQ(0, _stat(path.c_str(), &info)) << path;
        EXPECT_EQ(mode, info.st_mode) << path;
        EXPECT_EQ(2u, static_cast<unsigned>(info.st_dev)) << path;
        EXPECT_EQ(1, info.st_nlink) << path;
    }
    ASSERT_EQ(0, _stat((*this / "f.txt").c_str(), &info));
    EXPECT_EQ(4, info.st_size);

    for (const std::string& path :
         {Root() + "\\", *this / "f.txt\\", *this / "*", *this / "missing", std::string("C:"),
          std::string(""), std::string("Q:\\")}) {
        memset(&info, 0x55, sizeof info);
        errno = 0;
        EXPECT_EQ(-1, _stat(path.c_str(), &info)) << path;
        EXPECT_EQ(ENOENT, errno) << path;
        EXPECT_EQ(kModeAfterFailedStat, info.st_mode) << path;
    }
}

TEST_F(FileConformance, RenameMovesButNeverReplaces) {
    ASSERT_TRUE(WriteFile(*this / "a", "a"));
    ASSERT_TRUE(WriteFile(*this / "b", "b"));
    ASSERT_EQ(0, _mkdir((*this / "d").c_str()));

    EXPECT_EQ(EEXIST, ErrnoOf(rename((*this / "a").c_str(), (*this / "B").c_str())));
    EXPECT_EQ(EEXIST, ErrnoOf(rename((*this / "a").c_str(), (*this / "d").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(rename((*this / "missing").c_str(), (*this / "c").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(rename((*this / "a").c_str(), (*this / "x\\y").c_str())));

    // A change of letter case only is allowed; whether the stored spelling changes differs
    // (Windows and the layer take the new one, Wine keeps the old).
    EXPECT_EQ(0, ErrnoOf(rename((*this / "a").c_str(), (*this / "A").c_str())));
    EXPECT_TRUE(IsFile(*this / "a"));
    ASSERT_EQ(0, _chmod((*this / "b").c_str(), _S_IREAD));
    EXPECT_EQ(0, ErrnoOf(rename((*this / "b").c_str(), (*this / "d\\c").c_str())));
    EXPECT_NE(0u, Attributes(*this / "d\\c") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, ErrnoOf(rename((*this / "d").c_str(), (*this / "e").c_str())));
    EXPECT_TRUE(IsFile(*this / "e\\c"));
}

TEST_F(FileConformance, WorkingFolder) {
    char saved[261];
    ASSERT_NE(nullptr, _getcwd(saved, 260));
    ASSERT_EQ(0, _mkdir((*this / "sub").c_str()));
    ASSERT_TRUE(WriteFile(*this / "file"));

    EXPECT_EQ(0, _chdir((Root() + "\\SUB\\").c_str()));
    char buffer[300];
    memset(buffer, '#', sizeof buffer);
    ASSERT_NE(nullptr, _getcwd(buffer, 260));
    EXPECT_EQ(Root() + "\\SUB", std::string(buffer));
    EXPECT_TRUE(IsFile("..\\file"));
    EXPECT_EQ(0, _chdir(".."));
    ASSERT_NE(nullptr, _getcwd(buffer, 260));
    EXPECT_EQ(Root(), std::string(buffer));

    const int length = static_cast<int>(Root().size());
    memset(buffer, '#', sizeof buffer);
    errno = 0;
    EXPECT_EQ(nullptr, _getcwd(buffer, length));
    EXPECT_EQ(ERANGE, errno);
    EXPECT_EQ('#', buffer[0]);
    EXPECT_EQ(buffer, _getcwd(buffer, length + 1));
    char* allocated = _getcwd(nullptr, 0);
    ASSERT_NE(nullptr, allocated);
    EXPECT_EQ(Root(), std::string(allocated));
    free(allocated);

    EXPECT_EQ(EINVAL, ErrnoOf(_chdir((*this / "file").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_chdir((*this / "missing").c_str())));
    EXPECT_EQ(ENOENT, ErrnoOf(_chdir("Q:\\")));
    EXPECT_EQ(EINVAL, ErrnoOf(_chdir("")));
    EXPECT_EQ(0, _chdir("..\\..\\..\\.."));
    ASSERT_NE(nullptr, _getcwd(buffer, 260));
    EXPECT_STREQ("C:\\", buffer);
    EXPECT_EQ(0, _chdir(saved));
}

// A file the runtime holds open (it shares reading and writing, never deletion), or a handle
// opened for its data without FILE_SHARE_DELETE, keeps its file: it can be neither deleted nor
// renamed. A handle opened for the attributes alone holds nothing.
TEST_F(FileConformance, AFileHeldOpenWithoutDeleteSharingStays) {
    const std::string path = *this / "open";
    const std::string moved = *this / "moved";
    const int fd = _creat(path.c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    SetLastError(kMarker);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ(EACCES, ErrnoOf(_unlink(path.c_str())));
    EXPECT_EQ(EACCES, ErrnoOf(rename(path.c_str(), moved.c_str())));
    EXPECT_EQ(0, _close(fd));
    EXPECT_TRUE(IsFile(path));

    const struct {
        DWORD access;
        DWORD share;
        bool holds;
    } opens[] = {{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                 {FILE_READ_ATTRIBUTES, FILE_SHARE_READ, false},
                 {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, false}};
    for (const auto& open : opens) {
        const HANDLE handle =
            CreateFileA(path.c_str(), open.access, open.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        EXPECT_EQ(!open.holds, rename(path.c_str(), moved.c_str()) == 0) << open.access;
        EXPECT_EQ(!open.holds, rename(moved.c_str(), path.c_str()) == 0) << open.access;
        CloseHandle(handle);
    }
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

// A folder held for listing without delete sharing can be neither renamed nor removed while
// what it holds can still be deleted; a handle for its attributes alone, or one sharing
// deletion, holds nothing.
TEST_F(FileConformance, AFolderHeldWithoutDeleteSharingStays) {
    const std::string folder = *this / "held";
    const std::string moved = *this / "moved";
    const std::string inside = folder + "\\inside.txt";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const struct {
        DWORD access;
        DWORD share;
        bool holds;
    } opens[] = {
        {FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false}};
    for (const auto& open : opens) {
        ASSERT_TRUE(WriteFile(inside));
        const HANDLE handle =
            CreateFileA(folder.c_str(), open.access, open.share, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        EXPECT_EQ(open.holds ? EACCES : 0, ErrnoOf(rename(folder.c_str(), moved.c_str())))
            << open.access << " " << open.share;
        if (!open.holds) {
            EXPECT_EQ(0, rename(moved.c_str(), folder.c_str()));
        }
        EXPECT_EQ(0, _unlink(inside.c_str()));
        EXPECT_EQ(open.holds ? EACCES : 0, ErrnoOf(_rmdir(folder.c_str())));
        // A removed folder's name is free once its last handle is closed.
        CloseHandle(handle);
        if (!open.holds) {
            EXPECT_EQ(0, _mkdir(folder.c_str()));
        }
        EXPECT_TRUE(IsFolder(folder));
    }
    EXPECT_EQ(0, _rmdir(folder.c_str()));
}

// CopyFileA copies the bytes and the read-only attribute; it refuses an existing target only when
// asked to, and a folder on either side.
TEST_F(FileConformance, CopyFileCopiesBytesAndRefusesFolders) {
    const std::string source = *this / "source", copy = *this / "copy", folder = *this / "folder";
    ASSERT_TRUE(WriteFile(source, std::string("a\r\nb\0c\n", 7)));
    ASSERT_TRUE(WriteFile(*this / "read-only", "r", true));
    ASSERT_EQ(0, _mkdir(folder.c_str()));
    const std::string bytes = testsupport::ReadBytes(source);
    EXPECT_EQ(ERROR_SUCCESS, StatusOf(CopyFileA(source.c_str(), copy.c_str(), TRUE)));
    EXPECT_EQ(bytes, testsupport::ReadBytes(copy));
    SetLastError(kMarker);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS),
              StatusOf(CopyFileA((*this / "read-only").c_str(), copy.c_str(), TRUE)));
    EXPECT_EQ(bytes, testsupport::ReadBytes(copy));
    EXPECT_EQ(ERROR_SUCCESS,
              StatusOf(CopyFileA((*this / "read-only").c_str(), copy.c_str(), FALSE)));
    EXPECT_EQ("r", testsupport::ReadBytes(copy));
    const std::string second = *this / "second";
    EXPECT_EQ(ERROR_SUCCESS,
              StatusOf(CopyFileA((*this / "read-only").c_str(), second.c_str(), TRUE)));
    EXPECT_NE(0u, Attributes(second) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              StatusOf(CopyFileA((*this / "missing").c_str(), (*this / "new").c_str(), FALSE)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
              StatusOf(CopyFileA(source.c_str(), (*this / "no\\new").c_str(), FALSE)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              StatusOf(CopyFileA(folder.c_str(), (*this / "new").c_str(), FALSE)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              StatusOf(CopyFileA(source.c_str(), folder.c_str(), FALSE)));
    EXPECT_FALSE(IsFile(*this / "new"));
}

// _lseek gives the position in the file's bytes; _chsize cuts the file and leaves the position
// where it was.
TEST_F(FileConformance, SeekAndCutAFileBeingWritten) {
    const std::string path = *this / "cut";
    const int fd = _creat(path.c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(6, _write(fd, "abcdef", 6));
    EXPECT_EQ(6, _lseek(fd, 0, SEEK_CUR));
    EXPECT_EQ(0, _chsize(fd, 2));
    EXPECT_EQ(6, _lseek(fd, 0, SEEK_CUR));
    EXPECT_EQ(2, _lseek(fd, 0, SEEK_END));
    EXPECT_EQ(1, _write(fd, "Z", 1));
    errno = 0;
    EXPECT_EQ(-1, _lseek(fd, -1, SEEK_SET));
    EXPECT_EQ(EINVAL, errno);
    errno = 0;
    EXPECT_EQ(-1, _chsize(fd, -1));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ(0, _close(fd));
    errno = 0;
    EXPECT_EQ(-1, _lseek(fd, 0, SEEK_CUR));
    EXPECT_EQ(EBADF, errno);
    EXPECT_EQ("abZ", testsupport::ReadBytes(path));
}

// A handle refusing to share writing cannot be had while the file is open for writing (a
// transcript redirected into it, here the runtime's descriptor); one sharing writing can.
TEST_F(FileConformance, AFileOpenForWritingRefusesAHandleThatDeniesWriters) {
    const std::string path = *this / "written";
    const int fd = _creat(path.c_str(), _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    const auto opens = [&](DWORD share) {
        SetLastError(kMarker);
        const HANDLE handle =
            CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        const DWORD status = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
        return status;
    };
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), opens(FILE_SHARE_READ));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), opens(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(0, _close(fd));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), opens(FILE_SHARE_READ));
}

} // namespace
