#include "platform/posix/paths/path_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/paths/drives.h"
#include "platform/posix/files/file_errors.h"
#include "tests/support/scratch_machine.h"
#include "platform/win32api.h"

namespace ovlayer {
namespace {

std::string Parsed(const char* text) {
    WindowsPath path;
    const DWORD status = ParseWindowsPath(text, &path);
    return status == ERROR_SUCCESS ? path.Text() : "status " + std::to_string(status);
}

TEST(ParseWindowsPath, ResolvesDotsSeparatorsAndTrailingCharactersAsWindowsDoes) {
    testsupport::ScratchMachine machine;
    SetCurrentFolder("C:\\work\\here");
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a\\b", "C:\\a\\b"},
        {"c:/a//b/", "C:\\a\\b"},
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:\\..\\..\\a", "C:\\a"},
        {"C:\\a\\..\\..\\..", "C:\\"},
        {"C:", "C:\\work\\here"},
        {"C:x", "C:\\work\\here\\x"},
        {"D:x", "D:\\x"},
        {"x\\y", "C:\\work\\here\\x\\y"},
        {"..\\..\\..\\x", "C:\\x"},
        {"\\x", "C:\\x"},
        {"C:\\a.\\b", "C:\\a\\b"},
        {"C:\\a..\\b", "C:\\a..\\b"},
        {"C:\\a \\b", "C:\\a \\b"},
        {"C:\\a\\b. .", "C:\\a\\b"},
        {"C:\\a\\...", "C:\\a"},
        {"\\\\?\\C:\\a", "C:\\a"},
        {"", "status 3"},
        {"\\\\server\\share", "status 53"},
        {"C:\\a*\\b", "status 123"},
        {"C:\\a\\b?", "status 123"},
        {"C:\\a|b", "status 123"},
        {"1:\\a", "status 123"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(expected, Parsed(text)) << text;
    }
}

TEST(FindHostEntry, MatchesComponentsIgnoringCaseOnlyWhenTheExactNameIsAbsent) {
    testsupport::ScratchMachine machine;
    testsupport::HostFile(testsupport::DriveC(machine, "Program Files/Orvane/LumoDeck.exe"), "x");
    testsupport::HostFile(testsupport::DriveC(machine, "Mixed/Name"), "lower");
    testsupport::HostFile(testsupport::DriveC(machine, "Mixed/NAME"), "upper");

    HostEntry entry;
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("c:\\PROGRAM FILES\\orvane\\lumodeck.EXE", &entry));
    EXPECT_EQ(testsupport::DriveC(machine, "Program Files/Orvane/LumoDeck.exe"), entry.host);
    EXPECT_TRUE(entry.exists);

    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("C:\\Mixed\\NAME", &entry));
    EXPECT_EQ(testsupport::DriveC(machine, "Mixed/NAME"), entry.host);
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("C:\\mixed\\name", &entry));
    EXPECT_EQ(testsupport::DriveC(machine, "Mixed/NAME"), entry.host)
        << "the smallest of the host's spellings";

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, FindHostEntry("C:\\PROGRAM FILES\\New.txt", &entry));
    EXPECT_EQ(testsupport::DriveC(machine, "Program Files/New.txt"), entry.host);
    EXPECT_FALSE(entry.exists);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, FindHostEntry("C:\\Missing\\New.txt", &entry));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND,
              FindHostEntry("C:\\Program Files\\Orvane\\LumoDeck.exe\\x", &entry));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND,
              FindHostEntry("C:\\Program Files\\Orvane\\LumoDeck.exe\\", &entry));
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("C:\\Program Files\\Orvane\\", &entry));
}

TEST(FindHostEntry, NeverLeavesTheDrive) {
    testsupport::ScratchMachine machine;
    testsupport::HostFile(machine.Folder() + "/outside.txt");
    HostEntry entry;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, FindHostEntry("C:\\..\\outside.txt", &entry));
    EXPECT_EQ(testsupport::DriveC(machine, "outside.txt"), entry.host);
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("C:\\..\\..\\", &entry));
    EXPECT_TRUE(entry.isRoot);
    EXPECT_EQ(testsupport::DriveC(machine), entry.host);
}

TEST(Drives, LettersAreLinksWithATypeEach) {
    testsupport::ScratchMachine machine;
    const std::string media = machine.Folder() + "/media";
    testsupport::HostFile(media + "/disc.txt");
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, DriveTypeOf('E'));
    const std::pair<const char*, UINT> types[] = {{"fixed", DRIVE_FIXED},
                                                  {"removable", DRIVE_REMOVABLE},
                                                  {"cdrom", DRIVE_CDROM},
                                                  {"remote", DRIVE_REMOTE},
                                                  {"ramdisk", DRIVE_RAMDISK}};
    for (const auto& [word, type] : types) {
        ASSERT_TRUE(AddDrive('e', media, word));
        EXPECT_EQ(type, DriveTypeOf('E')) << word;
        EXPECT_EQ(type, GetDriveTypeA("e:\\")) << word;
    }
    EXPECT_FALSE(AddDrive('e', media, "floppy"));
    EXPECT_FALSE(AddDrive('C', media, "fixed"));

    HostEntry entry;
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("E:\\DISC.TXT", &entry));
    std::filesystem::remove(machine.Folder() + "/dosdevices/e:.type");
    EXPECT_EQ(DRIVE_FIXED, DriveTypeOf('e'));
    std::filesystem::remove_all(media);
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, DriveTypeOf('e'));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, FindHostEntry("E:\\disc.txt", &entry));
}

TEST(Drives, TheHostsRootIsADriveOnlyWhenTheMachineAsksForIt) {
    testsupport::ScratchMachine machine;
    HostEntry entry;
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("Z:\\"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, FindHostEntry("Z:\\tmp", &entry));
    // A machine made before the setting existed has the link already.
    std::filesystem::create_directory_symlink("/", machine.Folder() + "/dosdevices/z:");
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, FindHostEntry("Z:\\tmp", &entry));
    ASSERT_TRUE(AddDrive('y', "/", "fixed"));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("Y:\\"));

    testsupport::HostFile(machine.Folder() + "/host-root", "y\n");
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeA("Y:\\"));
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("y:\\TMP", &entry));
    EXPECT_EQ("/tmp", std::filesystem::canonical(entry.host).string());
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, FindHostEntry("Z:\\tmp", &entry));
    std::filesystem::remove(machine.Folder() + "/dosdevices/y:");
    EXPECT_EQ(ERROR_SUCCESS, FindHostEntry("Y:\\tmp", &entry)) << "made again on first use";
}

TEST(CurrentFolder, StartsAtTheHostWorkingFolderInsideADriveElseTheWindowsFolder) {
    const std::string saved = std::filesystem::current_path();
    {
        testsupport::ScratchMachine machine;
        std::filesystem::create_directories(testsupport::DriveC(machine, "Work/Deep"));
        ASSERT_EQ(0, chdir(testsupport::DriveC(machine, "Work/Deep").c_str()));
        UseMachine(machine.Folder());
        EXPECT_EQ("C:\\Work\\Deep", CurrentFolder());
        ASSERT_EQ(0, chdir(machine.Folder().c_str()));
        UseMachine(machine.Folder());
        EXPECT_EQ("C:\\windows", CurrentFolder());
        ASSERT_EQ(0, chdir(saved.c_str()));
    }
}

TEST(FileErrors, StatusesBecomeTheRuntimesErrnoValues) {
    const std::pair<DWORD, int> cases[] = {{ERROR_FILE_NOT_FOUND, ENOENT},
                                           {ERROR_PATH_NOT_FOUND, ENOENT},
                                           {ERROR_ACCESS_DENIED, EACCES},
                                           {ERROR_SHARING_VIOLATION, EACCES},
                                           {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
                                           {ERROR_ALREADY_EXISTS, EEXIST},
                                           {ERROR_FILE_EXISTS, EEXIST},
                                           {kErrorDirectory, EINVAL},
                                           {ERROR_INVALID_NAME, EINVAL},
                                           {kErrorNotSameDevice, EXDEV},
                                           {ERROR_SUCCESS, 0}};
    for (const auto& [status, error] : cases) {
        EXPECT_EQ(error, CrtErrnoFromStatus(status)) << status;
    }
    EXPECT_EQ(ERROR_DIR_NOT_EMPTY, StatusFromHostErrno(ENOTEMPTY));
    EXPECT_EQ(ERROR_ACCESS_DENIED, StatusFromHostErrno(EPERM));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, StatusFromHostErrno(EEXIST));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, StatusFromHostErrno(ENOTDIR));
}

} // namespace
} // namespace ovlayer
