// What DeleteRegistryTree writes to the removal log: each key removed, deepest first; a missing
// key nothing; an empty path refused with its rule.
#include "registry/delete_registry_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

namespace {

using ::testing::ElementsAre;
using testsupport::ScratchKey;

TEST(DeleteRegistryTreeLog, EachKeyRemovedDeepestFirstAndRefusals) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "Tree\\A\\Deep"));
    ASSERT_TRUE(ScratchKey::Make(scratch / "Tree\\B"));
    testsupport::ScratchLog log;
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Tree").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Missing").c_str()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, ""), ERROR_INVALID_PARAMETER);
    const std::string key = "HKEY_CURRENT_USER\\" + scratch / "Tree";
    EXPECT_THAT(log.Actions(),
                ElementsAre("removed  key       " + key + "\\B",
                            "removed  key       " + key + "\\A\\Deep",
                            "removed  key       " + key + "\\A", "removed  key       " + key,
                            "refused  key       HKEY_CURRENT_USER\\  (rule: an empty path would "
                            "name the whole root)"));
}

} // namespace
