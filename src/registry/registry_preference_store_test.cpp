#include "registry/registry_preference_store.h"

#include "registry/registry_key.h"
#include "support/buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kSandboxes[] = "Software\\OvuninstTests\\PreferenceStore";
const HRESULT kRefused = static_cast<HRESULT>(0xFFFFFFFF);

// Each test works in a sandbox key of its own, so that tests running at once never meet.
std::string TestName() {
    return testing::UnitTest::GetInstance()->current_test_info()->name();
}
std::string Sandbox() {
    return std::string(kSandboxes) + "\\" + TestName();
}

void WipeSandbox(HKEY root) {
    RegistryKey parent;
    parent.SetRootKey(root);
    parent.SetSubKey(kSandboxes);
    parent.SetAccessMask(KEY_ALL_ACCESS);
    if (SUCCEEDED(parent.Open())) {
        parent.DeleteSubKey(TestName().c_str());
    }
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void MakeKey(HKEY root, const std::string& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
}

std::string Path(const std::string& relative) {
    return Sandbox() + "\\" + relative;
}

Buffer* NewBuffer(const char* text, DWORD size) {
    Buffer* buffer = Buffer::Create();
    buffer->AddRef();
    buffer->Set(text, size);
    return buffer;
}

std::string Text(Buffer* buffer) {
    return std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize());
}

// A store below HKEY_CURRENT_USER working in a sandbox key wiped before and after.
class PreferenceStoreTest : public testing::Test {
protected:
    void SetUp() override {
        WipeSandbox(HKEY_CURRENT_USER);
        MakeKey(HKEY_CURRENT_USER, Sandbox());
    }
    void TearDown() override {
        WipeSandbox(HKEY_CURRENT_USER);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sandbox()));
    }
    void Write(const char* name, const char* text) {
        Buffer* value = NewBuffer(text, static_cast<DWORD>(strlen(text) + 1));
        ASSERT_EQ(store.WritePref(name, value), S_OK);
        value->Release();
    }

    RegistryPreferenceStore store{Sandbox().c_str(), 0};
};

TEST_F(PreferenceStoreTest, WrittenTextReadsBackWithItsTerminator) {
    Write("DT_Common", "C:\\Program Files\\Orvane\\Common");
    Buffer* value = nullptr;
    ASSERT_EQ(store.ReadPref("DT_Common", &value), S_OK);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(Text(value), std::string("C:\\Program Files\\Orvane\\Common", 31));
    EXPECT_EQ(value->AddRef(), 2u) << "the caller holds the one reference";
    value->Release();
    EXPECT_EQ(value->Release(), 0u);

    Write("short", "ab");
    ASSERT_EQ(store.ReadPref("short", &value), S_OK);
    EXPECT_EQ(Text(value), std::string("ab", 3));
    value->Release();
}

TEST_F(PreferenceStoreTest, MissingSettingsAndMissingNamesAreRefused) {
    Buffer* value = NewBuffer("x", 1);
    Buffer* const sentinel = value;
    EXPECT_EQ(store.ReadPref("absent", &value), kRefused);
    EXPECT_EQ(value, nullptr);
    value = sentinel;
    EXPECT_EQ(store.ReadPref(nullptr, &value), E_INVALIDARG);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(store.WritePref(nullptr, sentinel), E_INVALIDARG);
    EXPECT_EQ(store.WritePref("name", nullptr), E_INVALIDARG);
    sentinel->Release();
}

// Like RegQueryValueA, a key without a default value reads as the empty text; only a value
// stored with no bytes at all is refused.
TEST_F(PreferenceStoreTest, EmptySettingsReadAsNothingOrAsTheEmptyText) {
    MakeKey(HKEY_CURRENT_USER, Path("unset"));
    Buffer* value = nullptr;
    ASSERT_EQ(store.ReadPref("unset", &value), S_OK);
    EXPECT_EQ(Text(value), std::string("", 1));
    value->Release();

    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, Path("zero").c_str(), &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0),
              ERROR_SUCCESS);
    RegCloseKey(key);
    value = nullptr;
    EXPECT_EQ(store.ReadPref("zero", &value), kRefused);
    EXPECT_EQ(value, nullptr);
}

TEST_F(PreferenceStoreTest, AValueWithoutTerminatorIsWrittenUpToItsSize) {
    Buffer* value = NewBuffer("folderXYZ", 6);
    ASSERT_EQ(store.WritePref("cut", value), S_OK);
    value->Release();
    Buffer* read = nullptr;
    ASSERT_EQ(store.ReadPref("cut", &read), S_OK);
    EXPECT_EQ(Text(read), std::string("folder", 7));
    read->Release();
}

TEST_F(PreferenceStoreTest, DeleteNumberedKeysStopsAtTheFirstKeyItCannotDelete) {
    for (const char* name : {"Recent1", "Recent2", "Recent4", "Other1"}) {
        MakeKey(HKEY_CURRENT_USER, Path(name));
    }
    EXPECT_EQ(store.DeleteNumberedKeys("Recent"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Recent1")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Recent2")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Path("Recent4")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Path("Other1")));

    // A numbered key with sub-keys of its own cannot be deleted, and ends the walk.
    MakeKey(HKEY_CURRENT_USER, Path("Recent1"));
    MakeKey(HKEY_CURRENT_USER, Path("Recent2\\nested"));
    MakeKey(HKEY_CURRENT_USER, Path("Recent3"));
    EXPECT_EQ(store.DeleteNumberedKeys("Recent"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Recent1")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Path("Recent2")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Path("Recent3")));

    RegistryPreferenceStore missing(Path("none").c_str(), 0);
    EXPECT_EQ(missing.DeleteNumberedKeys("Recent"), S_OK);
}

TEST_F(PreferenceStoreTest, EnterAndLeaveSubKeyMoveOneLevel) {
    ASSERT_EQ(store.EnterSubKey("Level"), S_OK);
    EXPECT_EQ(std::string(store.KeyPath()), Path("Level"));
    Write("inner", "deep");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Path("Level\\inner")));
    ASSERT_EQ(store.LeaveSubKey(), S_OK);
    EXPECT_EQ(store.KeyPath(), Sandbox());

    RegistryPreferenceStore flat("Software", 0);
    EXPECT_EQ(flat.LeaveSubKey(), E_FAIL);
    EXPECT_STREQ(flat.KeyPath(), "Software");
}

TEST_F(PreferenceStoreTest, EnterSubKeyNeverRunsPastTheKeyPathRoom) {
    const std::string before = store.KeyPath();
    const std::string name(RegistryPreferenceStore::kKeyPathRoom - before.size() - 2, 'n');
    EXPECT_EQ(store.EnterSubKey((name + "n").c_str()), E_FAIL);
    EXPECT_EQ(std::string(store.KeyPath()), before);
    EXPECT_EQ(store.EnterSubKey(name.c_str()), S_OK);
    EXPECT_EQ(strlen(store.KeyPath()), RegistryPreferenceStore::kKeyPathRoom - 1);
}

TEST_F(PreferenceStoreTest, EnumSubKeyNamesEachSettingThenFails) {
    MakeKey(HKEY_CURRENT_USER, Path("Alpha"));
    MakeKey(HKEY_CURRENT_USER, Path("Beta"));
    std::string names;
    for (DWORD index = 0; index < 2; ++index) {
        Buffer* name = nullptr;
        ASSERT_EQ(store.EnumSubKey(index, &name), S_OK) << index;
        names += reinterpret_cast<const char*>(name->GetData());
        names += ";";
        name->Release();
    }
    EXPECT_TRUE(names == "Alpha;Beta;" || names == "Beta;Alpha;") << names;
    Buffer* past = NewBuffer("x", 1);
    Buffer* const sentinel = past;
    EXPECT_EQ(store.EnumSubKey(2, &past), E_FAIL);
    EXPECT_EQ(past, nullptr);
    sentinel->Release();
}

TEST_F(PreferenceStoreTest, DeletePrefAndDeletePrefTreeRemoveTheWholeSetting) {
    MakeKey(HKEY_CURRENT_USER, Path("Tree\\a\\b"));
    MakeKey(HKEY_CURRENT_USER, Path("Single"));
    EXPECT_EQ(store.DeletePrefTree("Tree"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Tree")));
    EXPECT_EQ(store.DeletePref("Single"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Single")));
    EXPECT_EQ(store.DeletePref("absent"), S_OK);
    // The deletions answer 0 in every case; a missing name deletes nothing.
    EXPECT_EQ(store.DeletePref(nullptr), S_OK);
    EXPECT_EQ(store.DeletePrefTree(nullptr), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, store.KeyPath()));
}

TEST_F(PreferenceStoreTest, BaseOperations) {
    PreferenceStore& base = store;
    EXPECT_EQ(base.NoOperation(), S_OK);
    EXPECT_EQ(base.GetRootFlag(), 0);
    EXPECT_EQ(store.Root(), HKEY_CURRENT_USER);
}

TEST(PreferenceStoreRoot, AFlagOfOneWorksBelowHkeyClassesRoot) {
    WipeSandbox(HKEY_CLASSES_ROOT);
    RegistryPreferenceStore store(Sandbox().c_str(), 1);
    EXPECT_EQ(store.GetRootFlag(), 1);
    EXPECT_EQ(store.Root(), HKEY_CLASSES_ROOT);
    Buffer* value = NewBuffer("machine-wide", 13);
    ASSERT_EQ(store.WritePref("Setting", value), S_OK);
    value->Release();
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, Path("Setting")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Path("Setting")));
    Buffer* read = nullptr;
    ASSERT_EQ(store.ReadPref("Setting", &read), S_OK);
    EXPECT_EQ(Text(read), std::string("machine-wide", 13));
    read->Release();
    WipeSandbox(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Sandbox()));
}

} // namespace
