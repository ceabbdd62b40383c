// RegistryKey's calls into the registry, observed through the Linux layer's journal and fault
// injection.
#include "registry/registry_key.h"

#include "platform/posix/core/test_controls.h"
#include "support/result_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

void MakeKey(const char* path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, path, &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
}

std::vector<std::string> Calls(const std::vector<std::string>& journal, const std::string& name) {
    std::vector<std::string> calls;
    std::copy_if(journal.begin(), journal.end(), std::back_inserter(calls),
                 [&](const std::string& line) { return line.rfind(name + "(", 0) == 0; });
    return calls;
}

class RegistryKeyJournal : public testing::Test {
protected:
    void SetUp() override {
        MakeKey("Software\\Journal");
        root.SetRootKey(HKEY_CURRENT_USER);
        root.SetSubKey("Software\\Journal");
        root.SetAccessMask(KEY_ALL_ACCESS);
        ASSERT_EQ(root.Open(), S_OK);
    }
    void TearDown() override {
        ovlayer::StopJournal();
        ovlayer::ClearInjectedFailures();
    }
    RegistryKey root;
};

TEST_F(RegistryKeyJournal, OpenWithoutATargetMakesNoRegistryCall) {
    RegistryKey key;
    ovlayer::StartJournal();
    key.Open();
    key.SetRootKey(HKEY_CURRENT_USER);
    key.Open();
    EXPECT_TRUE(ovlayer::TakeJournal().empty());
}

TEST_F(RegistryKeyJournal, ALeafIsDeletedWithOneCall) {
    MakeKey("Software\\Journal\\leaf");
    ovlayer::StartJournal();
    EXPECT_EQ(root.DeleteSubKey("leaf"), S_OK);
    const auto journal = ovlayer::TakeJournal();
    EXPECT_EQ(Calls(journal, "RegDeleteKeyA").size(), 1u);
    EXPECT_EQ(Calls(journal, "RegOpenKeyExA").size(), 1u);
    EXPECT_EQ(Calls(journal, "RegCloseKey").size(), 1u);
}

TEST_F(RegistryKeyJournal, DeepestKeysGoFirstAndTheNamedKeyLast) {
    MakeKey("Software\\Journal\\top\\mid\\deep");
    MakeKey("Software\\Journal\\top\\side");
    ovlayer::StartJournal();
    EXPECT_EQ(root.DeleteSubKey("top"), S_OK);
    const auto deletions = Calls(ovlayer::TakeJournal(), "RegDeleteKeyA");
    ASSERT_EQ(deletions.size(), 4u);
    EXPECT_NE(deletions[0].find("deep"), std::string::npos) << deletions[0];
    EXPECT_NE(deletions[1].find("mid"), std::string::npos) << deletions[1];
    EXPECT_NE(deletions[2].find("side"), std::string::npos) << deletions[2];
    EXPECT_NE(deletions[3].find("top"), std::string::npos) << deletions[3];
}

TEST_F(RegistryKeyJournal, ANestedKeyThatResistsIsNotAskedForAgain) {
    MakeKey("Software\\Journal\\top\\stubborn");
    MakeKey("Software\\Journal\\top\\willing");
    ovlayer::FailNextCall(ovlayer::Call::RegDeleteKeyA, ERROR_ACCESS_DENIED, 3);
    ovlayer::StartJournal();
    EXPECT_EQ(root.DeleteSubKey("top"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    const auto deletions = Calls(ovlayer::TakeJournal(), "RegDeleteKeyA");
    ASSERT_EQ(deletions.size(), 3u) << "stubborn, willing and top, each once";
    EXPECT_NE(deletions[0].find("stubborn"), std::string::npos);
    EXPECT_NE(deletions[1].find("willing"), std::string::npos);
}

TEST_F(RegistryKeyJournal, ACloseThatFailsLeavesTheKeyOpen) {
    ovlayer::FailNextCall(ovlayer::Call::RegCloseKey, ERROR_INVALID_HANDLE);
    EXPECT_EQ(root.Close(), E_FAIL);
    EXPECT_TRUE(root.IsOpen());
    EXPECT_EQ(root.Close(), S_OK);
}

// The close of the key held before fails and so does the new open or create: the object ends
// closed all the same, instead of holding a handle it gave up (every later Close failed).
TEST_F(RegistryKeyJournal, AFailedReopenEndsClosedEvenWhenTheOldCloseFailed) {
    ovlayer::FailNextCall(ovlayer::Call::RegCloseKey, ERROR_INVALID_HANDLE);
    ovlayer::FailNextCall(ovlayer::Call::RegOpenKeyExA, ERROR_ACCESS_DENIED);
    EXPECT_EQ(root.Open(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(root.IsOpen());
    EXPECT_EQ(root.Close(), E_WRONG_STATE);

    ASSERT_EQ(root.Open(), S_OK);
    ovlayer::FailNextCall(ovlayer::Call::RegCloseKey, ERROR_INVALID_HANDLE);
    ovlayer::FailNextCall(ovlayer::Call::RegCreateKeyExA, ERROR_ACCESS_DENIED);
    EXPECT_EQ(root.Create(nullptr, 0), E_FAIL);
    EXPECT_FALSE(root.IsOpen());
    EXPECT_EQ(root.Close(), E_WRONG_STATE);
}

TEST_F(RegistryKeyJournal, CreateHidesTheWin32Status) {
    RegistryKey key;
    key.SetRootKey(HKEY_CURRENT_USER);
    key.SetSubKey("Software\\Journal\\refused");
    ovlayer::FailNextCall(ovlayer::Call::RegCreateKeyExA, ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.Create(nullptr, 0), static_cast<HRESULT>(0x80004005));
    EXPECT_FALSE(key.IsOpen());
}

} // namespace
