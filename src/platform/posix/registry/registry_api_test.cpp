#include "platform/posix/registry/registry_api.h"

#include "tests/support/scratch_machine.h"
#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>

#include <string.h>

namespace ovlayer {
namespace {

class RegistryApi : public testing::Test {
protected:
    ~RegistryApi() override {
        StopJournal();
        ClearInjectedFailures();
    }

    static LONG Create(HKEY root, const char* path) {
        HKEY key;
        const LONG status = RegCreateKeyA(root, path, &key);
        if (status == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
        return status;
    }
    static LONG Exists(HKEY root, const char* path) {
        HKEY key;
        const LONG status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
        if (status == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
        return status;
    }
    static LONG SetText(HKEY key, const char* name, const char* text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(strlen(text) + 1));
    }
    static std::vector<std::string> SubKeys(HKEY root, const char* path) {
        std::vector<std::string> names;
        HKEY key;
        if (RegOpenKeyA(root, path, &key) == ERROR_SUCCESS) {
            char name[MAX_PATH];
            for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
                names.push_back(name);
            }
            RegCloseKey(key);
        }
        return names;
    }

    testsupport::ScratchMachine machine_;
};

// Windows' limits, where Wine is looser (it takes 256 characters and any depth).
TEST_F(RegistryApi, NamesOf256CharactersAndKeysBelow512LevelsAreRefused) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, std::string(256, 'n').c_str(), &key),
              ERROR_INVALID_PARAMETER);
    std::string path = "Software\\Classes"; // HKEY_CLASSES_ROOT's keys begin 2 levels down
    for (int depth = 3; depth <= 512; ++depth) {
        path += "\\d";
    }
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, path.substr(17).append("\\d").c_str(), &key),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (path + "\\d").c_str(), &key),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryApi, ClassesRootShowsTheUsersCopyOverTheMachines) {
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\Both\\FromMachine"), 0);
    HKEY machine;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Both", &machine), 0);
    ASSERT_EQ(SetText(machine, "Who", "machine"), 0);
    ASSERT_EQ(SetText(machine, "MachineOnly", "m"), 0);
    RegCloseKey(machine);
    EXPECT_EQ(testsupport::RegistryText(HKEY_CLASSES_ROOT, "Both", "Who"), "machine");

    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Classes\\Both\\FromUser"), 0);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Classes\\UserOnly"), 0);
    HKEY user;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Classes\\Both", &user), 0);
    ASSERT_EQ(SetText(user, "Who", "user"), 0);
    RegCloseKey(user);
    EXPECT_EQ(testsupport::RegistryText(HKEY_CLASSES_ROOT, "Both", "Who"), "user");
    EXPECT_EQ(testsupport::RegistryText(HKEY_CLASSES_ROOT, "Both", "MachineOnly"), "<no value>")
        << "values come from one copy, not both";
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, "Both"),
              (std::vector<std::string>{"FromMachine", "FromUser"}));
    EXPECT_EQ(Exists(HKEY_CLASSES_ROOT, "UserOnly"), 0);
    EXPECT_EQ(Exists(HKEY_CLASSES_ROOT, "\\UserOnly"), 0);
}

TEST_F(RegistryApi, KeysCreatedThroughClassesRootGoToTheMachinesCopy) {
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane\\test"), 0);
    EXPECT_EQ(Exists(HKEY_LOCAL_MACHINE, "Software\\Classes\\Software\\Orvane\\test"), 0);
    EXPECT_EQ(Exists(HKEY_CURRENT_USER, "Software\\Classes\\Software"), ERROR_FILE_NOT_FOUND);

    // Below a key only the user has, a new key goes to the user's copy.
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Classes\\Mine"), 0);
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Mine\\Child"), 0);
    EXPECT_EQ(Exists(HKEY_CURRENT_USER, "Software\\Classes\\Mine\\Child"), 0);

    // Values written through the view go where they are read from.
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "Software\\Orvane", &key), 0);
    ASSERT_EQ(SetText(key, "V", "1"), 0);
    RegCloseKey(key);
    EXPECT_EQ(
        testsupport::RegistryText(HKEY_LOCAL_MACHINE, "Software\\Classes\\Software\\Orvane", "V"),
        "1");

    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Software\\Orvane\\test"), 0);
    EXPECT_EQ(Exists(HKEY_LOCAL_MACHINE, "Software\\Classes\\Software\\Orvane\\test"),
              ERROR_FILE_NOT_FOUND);
}

// A restricted user: HKLM refuses every write, HKCU takes them.
TEST_F(RegistryApi, ARootThatRefusesWritesDeniesThemWithStatus5) {
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane\\Old"), 0);
    RefuseRegistryWrites("HKLM");

    EXPECT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane\\test"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\New"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane"), 0) << "an existing key opens";
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Software\\Orvane", 0, KEY_READ | KEY_WRITE, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Software\\Orvane", 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, &key, &disposition),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Software\\Orvane\\Old"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetText(HKEY_LOCAL_MACHINE, "V", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "Software\\Orvane", REG_SZ, "x", 0),
              ERROR_ACCESS_DENIED);

    ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "Software\\Orvane", &key), 0) << "reading is allowed";
    EXPECT_EQ(SetText(key, "V", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    EXPECT_EQ(Create(HKEY_CURRENT_USER, "Software\\Orvane"), 0);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Classes\\Software\\Orvane\\Users"), 0);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Software\\Orvane\\Users", 0, KEY_ALL_ACCESS, &key),
              0)
        << "the user's own copy is writable";
    RegCloseKey(key);

    RefuseRegistryWrites("HKEY_LOCAL_MACHINE", false);
    EXPECT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane\\test"), 0);
}

TEST_F(RegistryApi, TheReadonlyRootsFileRefusesWrites) {
    machine_.Write("readonly-roots", "# a restricted user\nHKEY_LOCAL_MACHINE\n");
    EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\New"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "Software\\New"), 0);
}

TEST_F(RegistryApi, HandlesOfDeletedKeysGiveKeyDeleted) {
    HKEY parent;
    HKEY child;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\P", &parent), 0);
    ASSERT_EQ(RegCreateKeyA(parent, "C", &child), 0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\P"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteKeyA(parent, "C"), 0);
    EXPECT_EQ(SetText(child, "V", "x"), ERROR_KEY_DELETED);
    ASSERT_EQ(RegDeleteKeyA(parent, ""), 0) << "an empty name deletes the key itself";
    EXPECT_EQ(Create(parent, "X"), ERROR_KEY_DELETED);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\P"), 0);
    EXPECT_EQ(SetText(parent, "V", "x"), ERROR_KEY_DELETED) << "a new key of the same name";
    EXPECT_EQ(RegCloseKey(child), 0);
    EXPECT_EQ(RegCloseKey(parent), 0);
    EXPECT_EQ(RegCloseKey(parent), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApi, AccessAskedForIsEnforced) {
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\A\\B"), 0);
    HKEY read;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &read), 0);
    EXPECT_EQ(SetText(read, "V", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(read, "Made"), 0) << "creating below a handle needs no right on it";
    RegCloseKey(read);
    HKEY write;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_SET_VALUE, &write), 0);
    char name[16];
    EXPECT_EQ(RegEnumKeyA(write, 0, name, sizeof name), ERROR_ACCESS_DENIED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(write, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(write);
}

TEST_F(RegistryApi, TheJournalNamesHandlesByTheirPaths) {
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Software\\Orvane\\test\\deep"), 0);
    StartJournal();
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Software\\Orvane\\", 0, 0x2001F, &key), 0);
    HKEY test;
    ASSERT_EQ(RegOpenKeyA(key, "test", &test), 0);
    char name[16];
    DWORD size = sizeof name;
    RegEnumKeyExA(test, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    RegDeleteKeyA(test, "deep");
    RegCloseKey(test);
    RegDeleteKeyA(key, "test");
    SetText(key, "Name", "v");
    RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size);
    RegCloseKey(key);
    RegCloseKey(reinterpret_cast<HKEY>(0x77));
    EXPECT_EQ(TakeJournal(), (std::vector<std::string>{
                                 "RegOpenKeyExA(HKCR, Software\\Orvane\\, 0x2001F)",
                                 "RegOpenKeyA(HKCR\\Software\\Orvane, test)",
                                 "RegEnumKeyExA(HKCR\\Software\\Orvane\\test, 0)",
                                 "RegDeleteKeyA(HKCR\\Software\\Orvane\\test, deep)",
                                 "RegCloseKey(HKCR\\Software\\Orvane\\test)",
                                 "RegDeleteKeyA(HKCR\\Software\\Orvane, test)",
                                 "RegSetValueExA(HKCR\\Software\\Orvane, Name, 1)",
                                 "RegQueryValueExA(HKCR\\Software\\Orvane, (null))",
                                 "RegCloseKey(HKCR\\Software\\Orvane)",
                                 "RegCloseKey(<handle 0x77>)",
                             }));
}

TEST_F(RegistryApi, InjectedFailuresAreReturnedAndChangeNothing) {
    FailNextCall(Call::RegCreateKeyA, ERROR_ACCESS_DENIED);
    FailNextCall(Call::RegDeleteKeyA, ERROR_CANTWRITE, 2);
    StartJournal();
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\X", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(1)) << "out-arguments untouched";
    EXPECT_EQ(Exists(HKEY_CURRENT_USER, "Software\\X"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\X"), 0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\X"), ERROR_CANTWRITE);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\X"), ERROR_CANTWRITE);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\X"), 0);
    const std::vector<std::string> journal = TakeJournal();
    ASSERT_EQ(journal.size(), 7u);
    EXPECT_EQ(journal[0], "RegCreateKeyA(HKCU, Software\\X)");
}

TEST_F(RegistryApi, ManyKeysDeletedFromTheLastIndexDown) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Many", &key), 0);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(Create(key, ("k" + std::to_string(i)).c_str()), 0);
    }
    DWORD count = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              0);
    ASSERT_EQ(count, 3000u);
    char name[MAX_PATH];
    for (DWORD i = count; i-- > 0;) {
        ASSERT_EQ(RegEnumKeyA(key, i, name, sizeof name), 0);
        ASSERT_EQ(RegDeleteKeyA(key, name), 0);
    }
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
    ASSERT_TRUE(FlushRegistry());
    EXPECT_EQ(machine_.Read("registry.reg").find("Many\\k"), std::string::npos);
}

} // namespace
} // namespace ovlayer
