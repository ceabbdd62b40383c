#include "registry/delete_registry_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch.h"

namespace {

using testsupport::ScratchKey;

bool Exists(const std::string& path) {
    return ScratchKey::Exists(path);
}

// Makes (or with `make` false, opens) scratch\parts[0]\parts[1]... one level at a time, each
// below the one before: a long path may be more than the registry takes in one call.
bool Chain(const std::string& scratch, const std::vector<std::string>& parts, bool make) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, scratch.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    for (const std::string& part : parts) {
        HKEY child = nullptr;
        const LONG status = make ? RegCreateKeyA(key, part.c_str(), &child)
                                 : RegOpenKeyA(key, part.c_str(), &child);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return false;
        }
        key = child;
    }
    RegCloseKey(key);
    return true;
}

TEST(DeleteRegistryTree, RemovesAThreeLevelTreeWithItsValues) {
    ScratchKey scratch;
    const std::string top = scratch / "Top";
    for (const char* child : {"A", "B", "C"}) {
        for (const char* grandChild : {"x", "y"}) {
            ASSERT_TRUE(ScratchKey::Make(top + "\\" + child + "\\" + grandChild));
        }
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, (top + "\\B\\x").c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("data"), 5));
    RegCloseKey(key);
    ASSERT_TRUE(ScratchKey::Make(scratch / "Topper"));

    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    EXPECT_FALSE(Exists(top));
    EXPECT_TRUE(Exists(scratch / "Topper"));
}

TEST(DeleteRegistryTree, AMissingKeyIsReportedAndNothingIsDeleted) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "Kept"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Missing").c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Missing\\Deeper").c_str()));
    EXPECT_TRUE(Exists(scratch / "Kept"));
}

// An empty path names the key the handle stands for: deleting "everything below" it is refused.
TEST(DeleteRegistryTree, APathNamingTheRootItselfIsRefused) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "Kept\\Inner"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, scratch.Path().c_str(), &key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(key, ""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(key, "\\"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(key, nullptr));
    RegCloseKey(key);
    EXPECT_TRUE(Exists(scratch / "Kept\\Inner"));
}

TEST(DeleteRegistryTree, APathThatMayHaveBeenCutIsRefused) {
    ScratchKey scratch;
    // A key whose path is exactly what formatting would leave of a longer one.
    std::string cut = scratch.Path();
    std::vector<std::string> parts;
    while (cut.size() + 101 < 511) {
        parts.push_back(std::string(100, 'k'));
        cut += "\\" + parts.back();
    }
    parts.push_back(std::string(511 - cut.size() - 1, 'k'));
    cut += "\\" + parts.back();
    parts.push_back("Inner");
    ASSERT_EQ(511u, cut.size());
    ASSERT_TRUE(Chain(scratch.Path(), parts, true));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(HKEY_CURRENT_USER, cut.c_str()));
    EXPECT_TRUE(Chain(scratch.Path(), parts, false));
}

} // namespace
