#include "registry/registry_key.h"

#include "support/result_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each test's own key, so that tests running side by side in one registry never meet.
std::string SandboxName() {
    return std::string("RegistryKey.") +
           testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::string Sandbox() {
    return "Software\\OvuninstTests\\" + SandboxName();
}

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void MakeKey(const std::string& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
}

void WipeSandbox() {
    RegistryKey parent;
    parent.SetRootKey(HKEY_CURRENT_USER);
    parent.SetSubKey("Software\\OvuninstTests");
    parent.SetAccessMask(KEY_ALL_ACCESS);
    if (SUCCEEDED(parent.Open())) {
        parent.DeleteSubKey(SandboxName().c_str());
    }
}

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override {
        WipeSandbox();
        MakeKey(Sandbox());
        sandbox.SetRootKey(HKEY_CURRENT_USER);
        sandbox.SetSubKey(Sandbox().c_str());
        sandbox.SetAccessMask(KEY_ALL_ACCESS);
        ASSERT_EQ(sandbox.Open(), S_OK);
    }
    void TearDown() override {
        sandbox.Close();
        WipeSandbox();
        EXPECT_FALSE(KeyExists(Sandbox()));
    }
    static std::string Path(const std::string& relative) { return Sandbox() + "\\" + relative; }

    RegistryKey sandbox;
};

TEST(RegistryKeyState, OpenAndCreateNeedARootAndASubKey) {
    RegistryKey key;
    EXPECT_EQ(key.Open(), E_WRONG_STATE);
    key.SetSubKey("Software");
    EXPECT_EQ(key.Open(), E_WRONG_STATE) << "no root";
    EXPECT_EQ(key.Create(nullptr, 0), E_WRONG_STATE);
    key.SetRootKey(HKEY_CURRENT_USER);
    key.SetSubKey("");
    EXPECT_EQ(key.Open(), E_WRONG_STATE) << "empty sub-key";
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Close(), E_WRONG_STATE);
    EXPECT_FALSE(key.ResetEnumeration());
    RegistryKey target;
    EXPECT_FALSE(key.EnumerateNextSubKey(target));
    EXPECT_EQ(key.DeleteSubKey("x"), E_WRONG_STATE);
}

TEST(RegistryKeyState, SetSubKeyDropsOneLeadingBackslash) {
    RegistryKey key;
    EXPECT_TRUE(key.SetSubKey("\\Software\\Orvane"));
    EXPECT_STREQ(key.GetSubKey().Text(), "Software\\Orvane");
    EXPECT_TRUE(key.SetSubKey("\\\\Software"));
    EXPECT_STREQ(key.GetSubKey().Text(), "\\Software");
}

TEST_F(RegistryKeyTest, SettersRefuseWhileOpen) {
    EXPECT_FALSE(sandbox.SetSubKey("Other"));
    EXPECT_FALSE(sandbox.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(sandbox.SetAccessMask(KEY_READ));
    EXPECT_STREQ(sandbox.GetSubKey().Text(), Sandbox().c_str());
    EXPECT_EQ(sandbox.Close(), S_OK);
    EXPECT_EQ(sandbox.Close(), E_WRONG_STATE) << "a second close";
    EXPECT_TRUE(sandbox.SetSubKey("Other"));
}

TEST_F(RegistryKeyTest, AFailedOpenLeavesTheKeyClosed) {
    RegistryKey key;
    key.SetRootKey(HKEY_CURRENT_USER);
    key.SetSubKey(Sandbox().c_str());
    ASSERT_EQ(key.Open(), S_OK);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(key.Close(), S_OK);
    key.SetSubKey(Path("missing").c_str());
    EXPECT_EQ(key.Open(), static_cast<HRESULT>(0x80070002));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Close(), E_WRONG_STATE);
}

TEST_F(RegistryKeyTest, CreateMakesMissingKeysOnTheWay) {
    RegistryKey created;
    created.SetRootKey(HKEY_CURRENT_USER);
    created.SetSubKey(Path("new\\deeper").c_str());
    created.SetAccessMask(KEY_READ | KEY_WRITE);
    EXPECT_EQ(created.Create(nullptr, 0), S_OK);
    EXPECT_TRUE(created.IsOpen());
    EXPECT_TRUE(KeyExists(Path("new\\deeper")));
}

TEST_F(RegistryKeyTest, EnumerationDescribesSubKeysRelativeToTheOpenKey) {
    MakeKey(Path("alpha"));
    MakeKey(Path("beta\\inner"));
    RegistryKey entry;
    ASSERT_TRUE(sandbox.ResetEnumeration());
    std::string names;
    while (sandbox.EnumerateNextSubKey(entry)) {
        names += std::string(entry.GetSubKey().Text()) + ";";
        ASSERT_EQ(entry.Open(), S_OK) << "the target is ready to open";
        entry.Close();
    }
    EXPECT_EQ(names, "alpha;beta;");
    EXPECT_FALSE(sandbox.EnumerateNextSubKey(entry)) << "the end stays the end";
    ASSERT_TRUE(sandbox.ResetEnumeration());
    EXPECT_TRUE(sandbox.EnumerateNextSubKey(entry));
    EXPECT_STREQ(entry.GetSubKey().Text(), "alpha");
}

TEST_F(RegistryKeyTest, DeleteSubKeyRemovesAWholeTree) {
    for (const char* path : {"tree\\a\\a1\\a11", "tree\\a\\a2", "tree\\b", "tree\\c\\c1", "keep"}) {
        MakeKey(Path(path));
    }
    EXPECT_EQ(sandbox.DeleteSubKey("tree"), S_OK);
    EXPECT_FALSE(KeyExists(Path("tree")));
    EXPECT_TRUE(KeyExists(Path("keep"))) << "siblings are left alone";
}

TEST_F(RegistryKeyTest, DeleteSubKeyOfAMissingNameDeletesNothing) {
    MakeKey(Path("present"));
    EXPECT_EQ(sandbox.DeleteSubKey("absent"), static_cast<HRESULT>(0x80070002));
    EXPECT_TRUE(KeyExists(Path("present")));
}

TEST_F(RegistryKeyTest, ANameTooLongToEnumerateKeepsItsParent) {
    const std::string longName(130, 'n');
    MakeKey(Path("parent\\" + longName));
    const HRESULT result = sandbox.DeleteSubKey("parent");
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(result & 0xFFFF0000, static_cast<HRESULT>(0x80070000)) << "a converted Win32 status";
    EXPECT_TRUE(KeyExists(Path("parent\\" + longName)));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, Path("parent\\" + longName).c_str()), ERROR_SUCCESS);
}

} // namespace
