// Registry links met by the deletions: a link below the tree goes as a link, a path through a
// link is refused, and what a link names (another vendor's key, with its values and sub-keys)
// stays whole. Played on every build: against the Linux layer and under Wine.
#include "registry/delete_registry_tree.h"
#include "registry/registry_key.h"

#include <gtest/gtest.h>

#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

namespace {

using testsupport::ScratchKey;
using testsupport::ScratchMachineKey;

class RegistryLinkDeletion : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ScratchMachineKey::Make(vendor_ / "Other"));
        ASSERT_TRUE(ScratchMachineKey::Make(vendor_ / "Other\\Sub"));
        ASSERT_TRUE(ScratchMachineKey::Make(vendor_ / "Empty"));
        ASSERT_TRUE(ScratchKey::Make(maker_ / "Tree\\Own"));
        ASSERT_TRUE(ScratchKey::MakeLink(maker_ / "Tree\\Shared", vendor_ / "Other"));
        ASSERT_TRUE(ScratchKey::MakeLink(maker_ / "Tree\\Own\\Blank", vendor_ / "Empty"));
    }
    // Another vendor's keys are as they were.
    void ExpectTheVendorsKeysWhole() {
        for (const char* name : {"Other", "Other\\Sub", "Empty"}) {
            EXPECT_TRUE(ScratchMachineKey::Whole(vendor_ / name)) << name;
        }
    }
    static bool LinkExists(const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    ScratchMachineKey vendor_;
    ScratchKey maker_;
};

TEST_F(RegistryLinkDeletion, ATreeHoldingLinksGoesWithTheLinksAndNothingTheyName) {
    testsupport::ScratchLog log;
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (maker_ / "Tree").c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(LinkExists(maker_ / "Tree"));
    ExpectTheVendorsKeysWhole();
    const std::string tree = "HKEY_CURRENT_USER\\" + maker_ / "Tree";
    EXPECT_EQ(log.Actions(),
              (std::vector<std::string>{
                  "removed  link      " + tree +
                      "\\Shared  (a registry link: removed itself, what it names not followed)",
                  "removed  link      " + tree +
                      "\\Own\\Blank  (a registry link: removed itself, what it names not "
                      "followed)",
                  "removed  key       " + tree + "\\Own", "removed  key       " + tree}));
}

// The undo file holds what goes: the tree's own keys, neither the links (regedit cannot make
// them) nor what they name, which stays.
TEST_F(RegistryLinkDeletion, TheUndoFileHoldsTheTreeButNoLinkNorWhatItNames) {
    testsupport::ScratchUndo undo;
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (maker_ / "Tree").c_str()), ERROR_SUCCESS);
    const std::string tree = "[HKEY_CURRENT_USER\\" + maker_ / "Tree";
    EXPECT_EQ(undo.Text(), "REGEDIT4\n\n" + tree + "]\n\n" + tree + "\\Own]\n\n");
}

TEST_F(RegistryLinkDeletion, ALinkGivenAsTheTreeGoesItself) {
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (maker_ / "Tree\\Shared").c_str()),
              ERROR_SUCCESS);
    EXPECT_FALSE(LinkExists(maker_ / "Tree\\Shared"));
    EXPECT_TRUE(ScratchKey::Exists(maker_ / "Tree\\Own"));
    ExpectTheVendorsKeysWhole();
}

TEST_F(RegistryLinkDeletion, APathThroughALinkIsRefused) {
    testsupport::ScratchLog log;
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (maker_ / "Tree\\Shared\\Sub").c_str()),
              ERROR_ACCESS_DENIED);
    ExpectTheVendorsKeysWhole();
    EXPECT_EQ(log.Actions(),
              (std::vector<std::string>{
                  "refused  key       HKEY_CURRENT_USER\\" +
                  maker_ / "Tree\\Shared\\Sub  (rule: a registry link is never "
                           "followed by a deletion; the path goes through the link " +
                  maker_ / "Tree\\Shared)"}));
}

TEST_F(RegistryLinkDeletion, DeleteSubKeyRemovesLinksAsLinks) {
    RegistryKey parent;
    parent.SetRootKey(HKEY_CURRENT_USER);
    parent.SetSubKey(maker_.Path().c_str());
    ASSERT_EQ(parent.Open(), S_OK);
    EXPECT_EQ(parent.DeleteSubKey("Tree"), S_OK);
    EXPECT_FALSE(LinkExists(maker_ / "Tree"));
    ExpectTheVendorsKeysWhole();
}

} // namespace
