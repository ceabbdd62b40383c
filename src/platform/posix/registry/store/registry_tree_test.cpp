#include "platform/posix/registry/store/registry_tree.h"

#include <gtest/gtest.h>

namespace ovlayer {
namespace {

std::vector<std::string> ChildNames(const RegKey& key) {
    std::vector<std::string> names;
    for (size_t i = 0; i < key.ChildCount(); ++i) {
        names.push_back(key.ChildAt(i)->Name());
    }
    return names;
}

TEST(RegistryTree, NamesCompareWithoutCaseAndKeepTheirCase) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_CURRENT_USER\\Software\\Orvane");
    EXPECT_EQ(tree.Find("hkcu\\SOFTWARE\\orvane"), key);
    EXPECT_EQ(tree.Create("HKEY_CURRENT_USER\\software\\ORVANE"), key);
    EXPECT_EQ(key->Path(), "HKEY_CURRENT_USER\\Software\\Orvane");
    key->SetValue("Name", REG_SZ, "a");
    key->SetValue("NAME", REG_DWORD, "b");
    ASSERT_EQ(key->ValueCount(), 1u);
    EXPECT_EQ(key->Value("name")->name, "Name");
    EXPECT_EQ(key->Value("name")->data, "b");
}

// Wine's order: by the lower-cased name, so "_" (0x5F) comes before letters.
TEST(RegistryTree, SubKeysAreInWinesOrder) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_CURRENT_USER\\K");
    for (const char* name : {"beta", "Zed", "_under", "Alpha", "a", "10", "9"}) {
        key->AddChild(name);
    }
    EXPECT_EQ(ChildNames(*key),
              (std::vector<std::string>{"10", "9", "_under", "a", "Alpha", "beta", "Zed"}));
}

TEST(RegistryTree, ClassesRootNamesTheMachinesCopy) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_CLASSES_ROOT\\.txt");
    EXPECT_EQ(key->Path(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\.txt");
    EXPECT_FALSE(tree.Find("HKEY_NOWHERE\\X"));
}

TEST(RegistryTree, RemovedKeysAreMarkedDeletedAllTheWayDown) {
    RegistryTree tree;
    std::shared_ptr<RegKey> leaf = tree.Create("HKEY_CURRENT_USER\\A\\B\\C");
    std::shared_ptr<RegKey> a = tree.Find("HKEY_CURRENT_USER\\A");
    tree.Apply(RegOp{RegOp::kDeleteKey, "HKEY_CURRENT_USER\\A", "", 0, ""});
    EXPECT_FALSE(a->Deleted()) << "a key with sub-keys is not removed by kDeleteKey";
    tree.Apply(RegOp{RegOp::kDeleteTree, "HKEY_CURRENT_USER\\A", "", 0, ""});
    EXPECT_TRUE(a->Deleted());
    EXPECT_TRUE(leaf->Deleted());
    EXPECT_EQ(leaf->Parent(), nullptr);
    EXPECT_FALSE(tree.Find("HKEY_CURRENT_USER\\A"));
}

TEST(RegistryTree, KeysHeldPastTheTreeReadAsDeleted) {
    std::shared_ptr<RegKey> held;
    {
        RegistryTree tree;
        held = tree.Create("HKEY_LOCAL_MACHINE\\A\\B");
    }
    EXPECT_TRUE(held->Deleted());
    EXPECT_EQ(held->Parent(), nullptr);
}

TEST(RegistryTree, SplitsPathsAsTheRegistryDoes) {
    std::vector<std::string> names;
    EXPECT_TRUE(SplitKeyPath("a\\\\b\\", &names));
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitKeyPath("", &names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(SplitKeyPath("\\a", &names));
}

TEST(RegistryTree, ManySubKeysAreFoundByIndex) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_CURRENT_USER\\Many");
    for (int i = 0; i < 2000; ++i) {
        char name[16];
        snprintf(name, sizeof name, "k%05d", (i * 7919) % 2000);
        key->AddChild(name);
    }
    ASSERT_EQ(key->ChildCount(), 2000u);
    EXPECT_EQ(key->ChildAt(0)->Name(), "k00000");
    EXPECT_EQ(key->ChildAt(1234)->Name(), "k01234");
    EXPECT_EQ(key->ChildAt(2000), nullptr);
    key->RemoveChild("k00000");
    EXPECT_EQ(key->ChildAt(0)->Name(), "k00001");
}

} // namespace
} // namespace ovlayer
