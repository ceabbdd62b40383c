#include "platform/posix/registry/store/registry_store.h"

#include "platform/posix/registry/registry_api.h"
#include "tests/support/scratch_machine.h"
#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

namespace ovlayer {
namespace {

const char kSmallRegistry[] = "REGEDIT4\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\Orvane]\n"
                              "\"Kept\"=\"yes\"\n"
                              "\n";

ino_t Inode(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

LONG CreateKey(HKEY root, const char* path) {
    HKEY key;
    const LONG status = RegCreateKeyA(root, path, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return status;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RegistryStore, AFreshMachineHasTheStandardFoldersAndValues) {
    testsupport::ScratchMachine machine;
    EXPECT_EQ(testsupport::RegistryText(HKEY_LOCAL_MACHINE,
                                        "Software\\Microsoft\\Windows\\CurrentVersion",
                                        "ProgramFilesDir"),
              "C:\\Program Files (x86)");
    EXPECT_EQ(testsupport::RegistryText(HKEY_LOCAL_MACHINE,
                                        "Software\\Microsoft\\Windows\\CurrentVersion",
                                        "CommonFilesDir"),
              "C:\\Program Files (x86)\\Common Files");
    EXPECT_EQ(testsupport::RegistryText(HKEY_LOCAL_MACHINE,
                                        "System\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP"),
              "1252");
    for (const char* folder :
         {"drive_c/windows/system32", "drive_c/Program Files (x86)/Common Files",
          "drive_c/Program Files"}) {
        EXPECT_EQ(access(machine.Path(folder).c_str(), F_OK), 0) << folder;
    }
    EXPECT_EQ(access(machine.Path("drive_c/users/" + MachineUserName()).c_str(), F_OK), 0);
}

TEST(RegistryStore, WritesBackOnlyWhenChanged) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    EXPECT_EQ(testsupport::RegistryText(HKEY_CURRENT_USER, "Software\\Orvane", "Kept"), "yes");
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Missing", 0, REG_BINARY, nullptr, 4), 998);
    EXPECT_EQ(RegDeleteValueA(key, "Missing"), ERROR_FILE_NOT_FOUND);
    const ino_t before = Inode(machine.Path("registry.reg"));
    EXPECT_TRUE(FlushRegistry());
    EXPECT_EQ(Inode(machine.Path("registry.reg")), before);
    EXPECT_EQ(machine.Read("registry.reg"), kSmallRegistry);

    ASSERT_EQ(RegSetValueExA(key, "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2), 0);
    RegCloseKey(key);
    EXPECT_TRUE(FlushRegistry());
    EXPECT_NE(Inode(machine.Path("registry.reg")), before);
    EXPECT_NE(machine.Read("registry.reg").find("\"New\"=\"v\""), std::string::npos);
}

// The file is replaced, never rewritten in place: a reader holding the old file still sees it
// whole, and no temporary file is left behind.
TEST(RegistryStore, WriteBackReplacesTheFileAtomically) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Orvane\\Added"), ERROR_SUCCESS);
    ASSERT_EQ(link(machine.Path("registry.reg").c_str(), machine.Path("old.reg").c_str()), 0);
    EXPECT_TRUE(FlushRegistry());
    EXPECT_EQ(machine.Read("old.reg"), kSmallRegistry);
    EXPECT_NE(machine.Read("registry.reg").find("[HKEY_CURRENT_USER\\Software\\Orvane\\Added]"),
              std::string::npos);
    EXPECT_EQ(FilesIn(machine.Folder()),
              (std::vector<std::string>{"dosdevices", "drive_c", "old.reg", "registry.lock",
                                        "registry.reg"}));
}

TEST(RegistryStore, ADamagedFileIsReportedAndNeverWritten) {
    const std::string damaged = std::string(kSmallRegistry) + "[HKEY_CURRENT_USER\\Broken\n";
    testsupport::ScratchMachine machine(damaged);
    testing::internal::CaptureStderr();
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane", &key), ERROR_BADDB);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find(machine.Path("registry.reg")), std::string::npos) << message;
    EXPECT_NE(message.find("line 6"), std::string::npos) << message;
    EXPECT_EQ(key, reinterpret_cast<HKEY>(1));
    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\New"), ERROR_BADDB);
    EXPECT_EQ(RegSetValueA(HKEY_CURRENT_USER, nullptr, REG_SZ, "x", 1), ERROR_BADDB);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_BADDB);
    EXPECT_FALSE(FlushRegistry());
    EXPECT_EQ(machine.Read("registry.reg"), damaged);
}

TEST(RegistryStore, AFileBreakingWindowsLimitsIsDamaged) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 10000; ++i) {
        deep += "\\k";
    }
    for (const std::string& key : {deep, "[HKEY_CURRENT_USER\\" + std::string(1 << 20, 'n')}) {
        const std::string damaged = std::string(kSmallRegistry) + key + "]\n";
        testsupport::ScratchMachine machine(damaged);
        testing::internal::CaptureStderr();
        EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\New"), ERROR_BADDB);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find("line 6"), std::string::npos) << message.substr(0, 200);
        EXPECT_FALSE(FlushRegistry());
        EXPECT_EQ(machine.Read("registry.reg"), damaged);
    }
}

// A link key is a key of its own kind: what it is must survive the text, or the next process
// would take it for a plain key holding a REG_LINK value, which no open follows.
TEST(RegistryStore, ALinkKeyStaysALinkAcrossAWriteBackAndALoad) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Other\\Data"), ERROR_SUCCESS);
    const std::string user = std::string("\\Registry\\User\\") + kUserSid + "\\Software\\Other";
    std::string target;
    for (char c : user) {
        target += c;
        target += '\0';
    }
    for (const char* name : {"Software\\Orvane\\Link", "Software\\Orvane\\Plain"}) {
        HKEY key;
        const DWORD options = strstr(name, "Link") ? REG_OPTION_CREATE_LINK : 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, name, 0, nullptr, options, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "SymbolicLinkValue", 0, REG_LINK,
                                 reinterpret_cast<const BYTE*>(target.data()),
                                 static_cast<DWORD>(target.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ASSERT_TRUE(FlushRegistry());
    EXPECT_NE(
        machine.Read("registry.reg").find("[HKEY_CURRENT_USER\\Software\\Orvane\\Link]\n;link\n"),
        std::string::npos)
        << machine.Read("registry.reg");
    UseMachine(machine.Folder()); // a new process, reading the file again
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\Link\\Data", &key), ERROR_SUCCESS)
        << "followed to the user's own Software\\Other";
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\Plain\\Data", &key),
              ERROR_FILE_NOT_FOUND)
        << "a REG_LINK value alone makes no link";
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvane\\Link", REG_OPTION_OPEN_LINK,
                            MAXIMUM_ALLOWED, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(NtDeleteKey(key), 0);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Other\\Data", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegistryStore, AnUnreadableFileIsReported) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    unlink(machine.Path("registry.reg").c_str());
    ASSERT_EQ(mkdir(machine.Path("registry.reg").c_str(), 0777), 0); // a folder cannot be read
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\New"), ERROR_CANTREAD);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read the registry file"),
              std::string::npos);
}

// Another process replaced the file after this one read it: both processes' changes end up in
// the file, and the handles this process holds follow their keys into the merged registry.
TEST(RegistryStore, ChangesOfAnotherProcessAreKeptAtWriteBack) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    HKEY mine;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\Mine", &mine), ERROR_SUCCESS);
    HKEY doomed;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane", &doomed), ERROR_SUCCESS);
    machine.Replace("registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Theirs]\n"
                                    "\"Value\"=\"theirs\"\n\n");
    ASSERT_TRUE(FlushRegistry());

    const std::string text = machine.Read("registry.reg");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Theirs]"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Orvane\\Mine]"), std::string::npos);
    EXPECT_EQ(text.find("Kept"), std::string::npos) << "the other process removed it";

    ASSERT_EQ(RegSetValueExA(mine, "After", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), 0);
    EXPECT_EQ(testsupport::RegistryText(HKEY_CURRENT_USER, "Software\\Orvane\\Mine", "After"), "1");
    EXPECT_EQ(testsupport::RegistryText(HKEY_CURRENT_USER, "Software\\Theirs", "Value"), "theirs");
    RegCloseKey(mine);
    RegCloseKey(doomed);
    ASSERT_TRUE(FlushRegistry());
    UseMachine(machine.Folder());
    EXPECT_EQ(testsupport::RegistryText(HKEY_CURRENT_USER, "Software\\Orvane\\Mine", "After"), "1");
    EXPECT_EQ(testsupport::RegistryText(HKEY_CURRENT_USER, "Software\\Theirs", "Value"), "theirs");
}

TEST(RegistryStore, AKeyTheOtherProcessDeletedReadsAsDeleted) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane", &key), ERROR_SUCCESS);
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Other"), ERROR_SUCCESS);
    machine.Replace("registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n");
    ASSERT_TRUE(FlushRegistry());
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Kept", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(key);
}

TEST(RegistryStore, AFileDamagedByAnotherProcessIsNotOverwritten) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Mine"), ERROR_SUCCESS);
    machine.Replace("registry.reg", "garbage\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FlushRegistry());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not saved"), std::string::npos);
    EXPECT_EQ(machine.Read("registry.reg"), "garbage\n");
}

// Both children read the registry before either writes it back, so the second one to write
// finds the file changed under it.
TEST(RegistryStore, TwoProcessesAddingKeysBothLand) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    int ready[2];
    int go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            HKEY key;
            bool ok = RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvane", &key) == ERROR_SUCCESS;
            ok = write(ready[1], "r", 1) == 1 && ok;
            char signal;
            ok = read(go[0], &signal, 1) == 1 && ok;
            ok = CreateKey(key, i == 0 ? "First" : "Second") == ERROR_SUCCESS && ok;
            ok = FlushRegistry() && ok;
            _exit(ok ? 0 : 1);
        }
    }
    char signal;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    ASSERT_EQ(write(go[1], "gg", 2), 2);
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int fd : {ready[0], ready[1], go[0], go[1]}) {
        close(fd);
    }
    const std::string text = machine.Read("registry.reg");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Orvane\\First]"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Orvane\\Second]"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Kept\"=\"yes\""), std::string::npos);
}

TEST(RegistryStore, UseMachineDropsPendingChanges) {
    testsupport::ScratchMachine machine(kSmallRegistry);
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Dropped"), ERROR_SUCCESS);
    UseMachine(machine.Folder());
    HKEY key;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Dropped", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(FlushRegistry());
    EXPECT_EQ(machine.Read("registry.reg"), kSmallRegistry);
}

} // namespace
} // namespace ovlayer
