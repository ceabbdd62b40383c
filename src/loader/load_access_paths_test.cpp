// Filling the process-wide table from the maker's common preferences below HKEY_CLASSES_ROOT.
#include "loader/library_access_paths.h"

#include "registry/registry_key.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kPreferences[] = "Software\\Orvane\\Preferences";

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void DeleteTree(const char* parent, const char* name) {
    RegistryKey key;
    key.SetRootKey(HKEY_CLASSES_ROOT);
    key.SetSubKey(parent);
    key.SetAccessMask(KEY_ALL_ACCESS);
    if (SUCCEEDED(key.Open())) {
        key.DeleteSubKey(name);
    }
}

// A setting's default value, stored with `size` bytes of `text`.
void WriteSetting(const std::string& kind, const char* text, DWORD size) {
    HKEY key;
    const std::string path = std::string(kPreferences) + "\\" + kind;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key), ERROR_SUCCESS);
    if (text != nullptr) {
        ASSERT_EQ(
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size),
            ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

// One test only: the keys are the maker's own, which a second test running beside it would
// change under it.
class LoadAccessPathsTest : public testing::Test {
protected:
    void SetUp() override {
        makerExisted_ = KeyExists("Software\\Orvane");
        DeleteTree("Software\\Orvane", "Preferences");
    }
    void TearDown() override {
        if (makerExisted_) {
            DeleteTree("Software\\Orvane", "Preferences");
        } else {
            DeleteTree("Software", "Orvane");
        }
    }

private:
    bool makerExisted_ = false;
};

TEST_F(LoadAccessPathsTest, ReadsEachKindsFolderFromItsSetting) {
    LibraryAccessPaths& table = LibraryAccessPaths::Instance();
    if (table.GetCount() != 0) {
        GTEST_SKIP() << "needs a fresh table: run on its own, as ctest does";
    }
    EXPECT_EQ(LoadAccessPathsFromRegistry(), S_OK);
    EXPECT_EQ(table.GetCount(), 0) << "without the maker's keys the table stays empty";

    WriteSetting("DT_Common", "C:\\Common", 10);
    WriteSetting("DT_Objbrokr", "C:\\Broker\\", 11);
    WriteSetting("DT_Codecs", nullptr, 0); // the key without a value
    WriteSetting("DT_EncSDK", "", 1);
    // Stored without its terminator: read up to the size the registry reports, no further.
    WriteSetting("DT_Plugins", "C:\\PlugXXXX", 7);
    WriteSetting("Other", "C:\\Other", 9);

    EXPECT_EQ(LoadAccessPathsFromRegistry(), S_OK);
    EXPECT_STREQ(table.GetKindPath(DT_Common), "C:\\Common\\");
    EXPECT_STREQ(table.GetKindPath(DT_Objbrokr), "C:\\Broker\\");
    EXPECT_STREQ(table.GetKindPath(DT_Plugins), "C:\\Plug\\");
    EXPECT_EQ(table.GetKindPath(DT_Codecs), nullptr);
    EXPECT_EQ(table.GetKindPath(DT_EncSDK), nullptr);
    EXPECT_EQ(table.GetKindPath(DT_Update_OB), nullptr);
    EXPECT_EQ(table.GetNamedPath("Other"), nullptr) << "only the eight kinds are read";
    EXPECT_EQ(table.GetCount(), 3);

    // Loading again replaces folders, never duplicates them.
    WriteSetting("DT_Common", "D:\\Moved", 9);
    EXPECT_EQ(LoadAccessPathsFromRegistry(), S_OK);
    EXPECT_STREQ(table.GetKindPath(DT_Common), "D:\\Moved\\");
    EXPECT_EQ(table.GetCount(), 3);
}

} // namespace
