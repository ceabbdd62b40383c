// DeleteRegistryTree's order of calls and its answer to a key that resists, seen through the
// Linux layer's journal and injected failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"
#include "platform/posix/core/test_controls.h"
#include "registry/delete_registry_tree.h"

namespace ovlayer {
namespace {

using testsupport::ScratchKey;

class DeleteRegistryTreeLayer : public ::testing::Test {
protected:
    ~DeleteRegistryTreeLayer() override {
        StopJournal();
        ClearInjectedFailures();
    }

    // The journal's lines of one function, each reduced to its last argument.
    static std::vector<std::string> LastArguments(const std::vector<std::string>& journal,
                                                  const std::string& function) {
        std::vector<std::string> arguments;
        for (const std::string& line : journal) {
            if (line.compare(0, function.size() + 1, function + "(") == 0) {
                const size_t comma = line.rfind(", ");
                arguments.push_back(line.substr(comma + 2, line.size() - comma - 3));
            }
        }
        return arguments;
    }

    ScratchKey scratch_;
};

TEST_F(DeleteRegistryTreeLayer, DeepestKeysGoFirstAndSubKeysFromTheLastIndex) {
    const std::string top = scratch_ / "Top";
    for (const char* child : {"A", "B", "C"}) {
        for (const char* grandChild : {"x", "y"}) {
            ASSERT_TRUE(ScratchKey::Make(top + "\\" + child + "\\" + grandChild));
        }
    }
    StartJournal();
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    StopJournal();
    const std::vector<std::string> journal = TakeJournal();

    std::vector<std::string> expected;
    for (const char* child : {"C", "B", "A"}) {
        expected.push_back(top + "\\" + child + "\\y");
        expected.push_back(top + "\\" + child + "\\x");
        expected.push_back(top + "\\" + child);
    }
    expected.push_back(top);
    EXPECT_EQ(expected, LastArguments(journal, "RegDeleteKeyA"));
    const std::vector<std::string> indices = LastArguments(journal, "RegEnumKeyA");
    ASSERT_EQ(9u, indices.size());
    EXPECT_EQ((std::vector<std::string>{"2", "1", "0"}),
              (std::vector<std::string>{indices[0], indices[3], indices[6]}));
    EXPECT_FALSE(ScratchKey::Exists(top));
}

TEST_F(DeleteRegistryTreeLayer, AMissingKeyIsOneOpenAndNoDeletion) {
    StartJournal();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              DeleteRegistryTree(HKEY_CURRENT_USER, (scratch_ / "Missing").c_str()));
    StopJournal();
    const std::vector<std::string> journal = TakeJournal();
    ASSERT_EQ(1u, journal.size());
    EXPECT_EQ(0u, journal[0].find("RegOpenKeyExA("));
}

TEST_F(DeleteRegistryTreeLayer, ASubKeyThatResistsKeepsItsParentAndTheOthersGo) {
    const std::string top = scratch_ / "Top";
    for (const char* child : {"A", "B", "C"}) {
        ASSERT_TRUE(ScratchKey::Make(top + "\\" + child));
    }
    FailNextCall(Call::RegDeleteKeyA, ERROR_ACCESS_DENIED);
    StartJournal();
    EXPECT_NE(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    StopJournal();
    EXPECT_TRUE(ScratchKey::Exists(top + "\\C"));
    EXPECT_FALSE(ScratchKey::Exists(top + "\\B"));
    EXPECT_FALSE(ScratchKey::Exists(top + "\\A"));
    EXPECT_EQ((std::vector<std::string>{top + "\\C", top + "\\B", top + "\\A", top}),
              LastArguments(TakeJournal(), "RegDeleteKeyA"));
}

// Where the system cannot remove a link alone, it stays, refused with its rule, and so does
// every key above it; what it names is not touched.
TEST_F(DeleteRegistryTreeLayer, ALinkThatCannotBeRemovedAloneStays) {
    testsupport::ScratchMachineKey vendor;
    ASSERT_TRUE(testsupport::ScratchMachineKey::Make(vendor / "Other"));
    const std::string top = scratch_ / "Top";
    ASSERT_TRUE(ScratchKey::MakeLink(top + "\\Shared", vendor / "Other"));
    FailNextCall(Call::NtDeleteKey, static_cast<long>(0xC0000022));
    testsupport::ScratchLog log;
    EXPECT_NE(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    EXPECT_TRUE(testsupport::ScratchMachineKey::Whole(vendor / "Other"));
    const std::string key = "HKEY_CURRENT_USER\\" + top;
    EXPECT_EQ(log.Actions(),
              (std::vector<std::string>{
                  "refused  link      " + key +
                      "\\Shared  (rule: a registry link is removed as a link, never followed; it "
                      "could not be removed alone (status 0xC0000022), so it stays)",
                  "failed   key       " + key + "  (it resisted deletion: status 5)"}));
}

TEST_F(DeleteRegistryTreeLayer, ARefusedPathMakesNoRegistryCall) {
    StartJournal();
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(HKEY_CURRENT_USER, ""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegistryTree(HKEY_CURRENT_USER, "\\\\"));
    StopJournal();
    EXPECT_TRUE(TakeJournal().empty());
}

} // namespace
} // namespace ovlayer
