// The multibyte-safe functions on a double-byte system (code page 932), where a trail byte may
// have the value of a backslash: "\x95\x5C" is one character, not a byte and a separator.
#include "support/mb_text.h"
#include "support/string.h"

#include <gtest/gtest.h>

namespace {

const char kDoubleByteWithBackslashTrail[] = "\x95\x5C";

class MbTextDoubleByte : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(IsDbcsEnabled(), 0)
            << "these tests need a double-byte code page (under Wine: LC_ALL=ja_JP.UTF-8)";
    }
};

TEST_F(MbTextDoubleByte, ATrailByteIsNeverASeparator) {
    const char path[] = "C:\\Lumo\\\x95\x5C";
    EXPECT_EQ(MbFindLastChar(path, '\\'), path + 7);
    EXPECT_EQ(MbFindChar(path + 8, '\\'), nullptr);
    const char* end = path + sizeof path - 1;
    EXPECT_EQ(MbPrev(path, end), end - 2) << "one step back over a double-byte character";
    EXPECT_EQ(MbNext(path + 8), path + 10);
    EXPECT_EQ(String(path).ReverseFind('\\'), 7);
}

TEST_F(MbTextDoubleByte, MatchesStartAndEndOnCharacterBoundaries) {
    const char text[] = "ab\x95\x5C"
                        "cd";
    EXPECT_EQ(MbFindText(text, "\\cd"), nullptr) << "would start at a trail byte";
    EXPECT_EQ(MbFindText(text, "b\x95"), nullptr) << "would end after a lead byte";
    EXPECT_EQ(MbFindText(text, kDoubleByteWithBackslashTrail), text + 2);
    EXPECT_EQ(MbFindText(text, "cd"), text + 4);
    EXPECT_EQ(MbFindText("", "x"), nullptr);
    EXPECT_EQ(String(text).Find("\\"), -1);
}

TEST_F(MbTextDoubleByte, SingleByteCharactersStillMatch) {
    const char text[] = "\x83\x5C\\x\\";
    EXPECT_EQ(MbFindChar(text, '\\'), text + 2);
    EXPECT_EQ(MbFindLastChar(text, '\\'), text + 4);
    EXPECT_EQ(MbFindChar(text, 'y'), nullptr);
    EXPECT_EQ(MbPrev(text, text + 3), text + 2);
}

} // namespace
