#include "loader/library_access_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// What the last SetDLLAccessPath received: the whole block, both closing NUL bytes included.
std::string received;
int calls = 0;

HRESULT WINAPI Receive(const char* block) {
    ++calls;
    const char* end = block;
    while (end[0] != '\0' || end[1] != '\0') {
        ++end;
    }
    received.assign(block, end + 2);
    return S_OK;
}

class LibraryAccessPathsTest : public testing::Test {
protected:
    void SetUp() override {
        received.clear();
        calls = 0;
    }
    // The block's entries, in the order they came.
    static std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (size_t at = 0; at < received.size() && received[at] != '\0';) {
            entries.push_back(received.c_str() + at);
            at += entries.back().size() + 1;
        }
        return entries;
    }

    LibraryAccessPaths table;
};

TEST_F(LibraryAccessPathsTest, OneEntryMakesTheSeventeenByteBlock) {
    ASSERT_EQ(table.SetKindPath(DT_Common, "C:\\a\\"), S_OK);
    EXPECT_EQ(table.PassAccessPaths(Receive), S_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(received, std::string("DT_Common=C:\\a\\\0\0", 17));
}

TEST_F(LibraryAccessPathsTest, AFolderGetsExactlyOneTrailingBackslash) {
    table.SetKindPath(DT_Common, "C:\\a");
    EXPECT_STREQ(table.GetKindPath(DT_Common), "C:\\a\\");
    table.PassAccessPaths(Receive);
    EXPECT_EQ(received, std::string("DT_Common=C:\\a\\\0\0", 17));

    table.SetKindPath(DT_Codecs, "D:\\Codecs\\");
    EXPECT_STREQ(table.GetKindPath(DT_Codecs), "D:\\Codecs\\");
    EXPECT_STREQ(table.GetNamedPath("DT_Codecs"), "D:\\Codecs\\");
}

TEST_F(LibraryAccessPathsTest, AnEmptyTableCallsNothing) {
    EXPECT_EQ(table.PassAccessPaths(Receive), S_OK);
    EXPECT_EQ(calls, 0);
    table.SetKindPath(DT_Common, "");
    table.SetKindPath(DT_Common, nullptr);
    table.SetNamedPath("Other", "");
    EXPECT_EQ(table.GetCount(), 0) << "null and empty folders are ignored";
    EXPECT_EQ(table.PassAccessPaths(Receive), S_OK);
    EXPECT_EQ(calls, 0);
}

TEST_F(LibraryAccessPathsTest, SettingAKindAgainReplacesItsFolder) {
    table.SetKindPath(DT_Objbrokr, "C:\\first");
    table.SetKindPath(DT_Objbrokr, "C:\\second");
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_STREQ(table.GetKindPath(DT_Objbrokr), "C:\\second\\");
    table.PassAccessPaths(Receive);
    EXPECT_EQ(Entries(), std::vector<std::string>{"DT_Objbrokr=C:\\second\\"});
}

TEST_F(LibraryAccessPathsTest, EveryEntryIsHandedOverOnceWithTheExactLength) {
    table.SetKindPath(DT_NotDef, "C:\\none");
    table.SetKindPath(DT_Update_OB, "C:\\Program Files\\Orvane\\Setup");
    table.SetKindPath(DT_LCAPlugins, "E:\\lca\\");
    table.SetNamedPath("Extra", "F:\\x");
    table.PassAccessPaths(Receive);
    std::vector<std::string> entries = Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "DT_LCAPlugins=E:\\lca\\",
                           "DT_NotDef=C:\\none\\",
                           "DT_Update_OB=C:\\Program Files\\Orvane\\Setup\\",
                           "Extra=F:\\x\\",
                       }));
    size_t expected = 1;
    for (const std::string& entry : entries) {
        expected += entry.size() + 1;
    }
    EXPECT_EQ(received.size(), expected);
}

TEST_F(LibraryAccessPathsTest, NamedPathsAreNotReachedByKind) {
    table.SetNamedPath("Extra", "F:\\x");
    EXPECT_STREQ(table.GetNamedPath("Extra"), "F:\\x\\");
    for (unsigned kind = 0; kind < kLibraryKindCount; ++kind) {
        EXPECT_EQ(table.GetKindPath(kind), nullptr) << kind;
    }
}

TEST_F(LibraryAccessPathsTest, KindsOfEightAndAboveAreRefused) {
    EXPECT_EQ(LibraryAccessPaths::KindName(8), nullptr);
    EXPECT_EQ(table.SetKindPath(8, "C:\\x"), E_FAIL);
    EXPECT_EQ(table.GetKindPath(8), nullptr);
    EXPECT_EQ(table.GetCount(), 0);
    // Only the low 16 bits of a kind count.
    EXPECT_STREQ(LibraryAccessPaths::KindName(0x10004), "DT_Common");
    EXPECT_STREQ(LibraryAccessPaths::KindName(DT_LCAPlugins), "DT_LCAPlugins");
    EXPECT_STREQ(LibraryAccessPaths::KindName(DT_Update_OB), "DT_Update_OB");
}

TEST_F(LibraryAccessPathsTest, NamesAreCaseSensitive) {
    table.SetKindPath(DT_Common, "C:\\a");
    EXPECT_EQ(table.GetNamedPath("dt_common"), nullptr);
    EXPECT_EQ(table.GetNamedPath("DT_COMMON"), nullptr);
    EXPECT_STREQ(table.GetNamedPath("DT_Common"), "C:\\a\\");
}

TEST_F(LibraryAccessPathsTest, AFolderTextStaysValidWhileOtherEntriesAreAdded) {
    table.SetKindPath(DT_Common, "C:\\a long folder name that lives on the heap");
    const char* folder = table.GetKindPath(DT_Common);
    for (int i = 0; i < 30; ++i) {
        table.SetNamedPath(("name" + std::to_string(i)).c_str(), "C:\\x");
    }
    EXPECT_EQ(table.GetKindPath(DT_Common), folder);
    EXPECT_STREQ(folder, "C:\\a long folder name that lives on the heap\\");
}

TEST(LibraryAccessPathsInstance, IsOneObject) {
    EXPECT_EQ(&LibraryAccessPaths::Instance(), &LibraryAccessPaths::Instance());
}

} // namespace
