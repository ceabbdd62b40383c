// On a single-byte system the multibyte-safe functions are exactly their runtime counterparts.
// (The double-byte cases run in tests/dbcs, in a program whose system is double-byte.)
#include "support/mb_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MbTextSingleByte, SearchesMatchTheRuntime) {
    ASSERT_EQ(IsDbcsEnabled(), 0);
    const char text[] = "C:\\Lumo\\\x95\\db\\x";
    for (int c : {int('\\'), int('x'), int('L'), 0x95, int('q'), 0}) {
        EXPECT_EQ(MbFindChar(text, c), strchr(text, c)) << c;
        EXPECT_EQ(MbFindLastChar(text, c), strrchr(text, c)) << c;
    }
    for (const char* pattern : {"Lumo", "\\db", "\x95\\", "", "absent", "C:\\Lumo\\\x95\\db\\x!"}) {
        EXPECT_EQ(MbFindText(text, pattern), strstr(text, pattern)) << pattern;
    }
}

TEST(MbTextSingleByte, SteppingIsOneByte) {
    const char text[] = "ab";
    EXPECT_EQ(MbNext(text), text + 1);
    EXPECT_EQ(MbNext(text + 2), text + 3) << "at the terminator, one byte past it";
    EXPECT_EQ(MbPrev(text, text + 2), text + 1);
    EXPECT_EQ(MbNext(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(MbPrev(text, static_cast<const char*>(nullptr)), nullptr);
}

TEST(MbText, CopyBoundedAlwaysTerminates) {
    char buffer[8];
    memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(CopyBounded(buffer, "abcdefghij", 5), buffer);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'z') << "nothing written past n";

    memset(buffer, 'z', sizeof buffer);
    CopyBounded(buffer, "abc", 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[1], 'z');

    memset(buffer, 'z', sizeof buffer);
    CopyBounded(buffer, "abc", 0);
    CopyBounded(buffer, nullptr, 5);
    CopyBounded(nullptr, "abc", 5);
    EXPECT_EQ(buffer[0], 'z');
}

} // namespace
