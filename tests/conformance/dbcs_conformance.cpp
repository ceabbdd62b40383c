// The double-byte character functions, checked against the Linux layer and, under Wine, a real
// Win32. What they do depends on the ANSI code page: the tests ask for it and check what that
// code page calls for. The double-byte test program builds this file once more
// (its machine on code page 932, Wine under LC_ALL=ja_JP.UTF-8) with its own suite name and the
// code page it must find.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef DBCS_CONFORMANCE
#define DBCS_CONFORMANCE DbcsConformance
#endif
#ifndef DBCS_EXPECTED_CODE_PAGE
#define DBCS_EXPECTED_CODE_PAGE 0
#endif

namespace {

// The process's ANSI code page. Not the registry's "ACP" value: under Wine that value is rewritten
// by each process that starts under another locale in the same prefix, while the code page of a
// running process stays the one it started with.
unsigned CodePage() {
    return GetACP();
}

bool IsDoubleByte(unsigned codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

std::vector<int> Steps(const char* text) {
    std::vector<int> starts;
    for (const char* at = text; *at; at = CharNextA(at)) {
        starts.push_back(static_cast<int>(at - text));
    }
    return starts;
}

TEST(DBCS_CONFORMANCE, TheCodePageIsTheOneExpected) {
    if (DBCS_EXPECTED_CODE_PAGE == 0) {
        GTEST_SKIP() << "this program runs on the system's own code page";
    }
    EXPECT_EQ(CodePage(), static_cast<unsigned>(DBCS_EXPECTED_CODE_PAGE));
}

TEST(DBCS_CONFORMANCE, DoubleByteModeFollowsTheCodePage) {
    const unsigned codePage = CodePage();
    ASSERT_NE(codePage, 0u);
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED) != 0, IsDoubleByte(codePage)) << codePage;
}

TEST(DBCS_CONFORMANCE, TheEndsOfATextAreKept) {
    const char* text = "ab";
    EXPECT_EQ(CharNextA(text + 2), text + 2) << "CharNextA stays at the terminator";
    EXPECT_EQ(CharPrevA(text, text), text) << "CharPrevA stays at the start";
    EXPECT_EQ(CharPrevA(text, text + 2), text + 1);
    const char* lone = "\x83";
    EXPECT_EQ(CharNextA(lone), lone + 1) << "a lead byte before the terminator stands alone";
}

TEST(DBCS_CONFORMANCE, ShiftJisCharactersAreOneOrTwoBytes) {
    if (CodePage() != 932) {
        GTEST_SKIP() << "needs code page 932 (code page here: " << CodePage() << ")";
    }
    EXPECT_NE(GetSystemMetrics(SM_DBCSENABLED), 0);
    EXPECT_EQ(Steps("a\x83\\b\xB1\xE0@\xFC\xFC\xA0"), (std::vector<int>{0, 1, 3, 4, 5, 7, 9}));
    const char* text = "a\x83\\b";
    EXPECT_EQ(CharPrevA(text, text + 3), text + 1) << "a trail byte 0x5C is no separator";
    EXPECT_EQ(CharPrevA(text, text + 2), text + 1);
    EXPECT_EQ(CharPrevA(text, text + 4), text + 3);
    const char* runs = "\x83\x83\x83\\";
    EXPECT_EQ(CharPrevA(runs, runs + 3), runs + 2);
}

TEST(DBCS_CONFORMANCE, SingleByteCodePagesStepByBytes) {
    if (IsDoubleByte(CodePage())) {
        GTEST_SKIP() << "a double-byte code page (" << CodePage() << ")";
    }
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 0);
    EXPECT_EQ(Steps("a\x83\\\xE0"), (std::vector<int>{0, 1, 2, 3}));
    const char* text = "a\x83\\";
    EXPECT_EQ(CharPrevA(text, text + 3), text + 2);
}

} // namespace
