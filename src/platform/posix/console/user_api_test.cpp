#include "platform/posix/console/user_api.h"

#include "platform/posix/console/code_page.h"
#include "tests/support/scratch_machine.h"

#include <gtest/gtest.h>

namespace ovlayer {
namespace {

std::string RegistryWithCodePage(const char* codePage) {
    return std::string("REGEDIT4\n\n"
                       "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage]\n"
                       "\"ACP\"=\"") +
           codePage + "\"\n\n";
}

// Character starts found by stepping with CharNextA from the start to the terminator.
std::vector<int> Steps(const char* text) {
    std::vector<int> starts;
    for (const char* at = text; *at; at = CharNextA(at)) {
        starts.push_back(static_cast<int>(at - text));
    }
    return starts;
}

TEST(DoubleByte, TheCodePageDecidesTheDoubleByteMode) {
    for (const char* codePage : {"932", "936", "949", "950"}) {
        testsupport::ScratchMachine machine(RegistryWithCodePage(codePage));
        EXPECT_NE(GetSystemMetrics(SM_DBCSENABLED), 0) << codePage;
    }
    for (const char* codePage : {"1252", "437", "1251"}) {
        testsupport::ScratchMachine machine(RegistryWithCodePage(codePage));
        EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 0) << codePage;
    }
    testsupport::ScratchMachine fresh;
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 0);
    EXPECT_EQ(GetSystemMetrics(0), 0);
}

TEST(DoubleByte, Shift_JISLeadBytesPairWithTheirTrailBytes) {
    testsupport::ScratchMachine machine(RegistryWithCodePage("932"));
    // 0x83 0x5C is one character whose trail byte is a backslash; 0xB1 is a one-byte katakana;
    // 0xE0 and 0xFC lead, 0xA0 and 0xFD do not.
    EXPECT_EQ(Steps("a\x83\\b\xB1\xE0@\xFC\xFC\xA0\xFD"),
              (std::vector<int>{0, 1, 3, 4, 5, 7, 9, 10}));
    const char* text = "a\x83\\b";
    EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
    EXPECT_EQ(CharPrevA(text, text + 2), text + 1) << "never lands on a trail byte";
    EXPECT_EQ(CharPrevA(text, text + 4), text + 3);
    const char* runs = "\x83\x83\x83\\"; // two characters, not a lead byte and a backslash
    EXPECT_EQ(CharPrevA(runs, runs + 4), runs + 2);
    EXPECT_EQ(CharPrevA(runs, runs + 3), runs + 2);
}

TEST(DoubleByte, ChineseAndKoreanLeadBytesRunTo0xFE) {
    testsupport::ScratchMachine machine(RegistryWithCodePage("936"));
    EXPECT_EQ(Steps("\xA0\x41\xFE\x5C\xFF"), (std::vector<int>{0, 2, 4}));
}

TEST(DoubleByte, SingleByteCodePagesStepOneByte) {
    testsupport::ScratchMachine machine(RegistryWithCodePage("1252"));
    EXPECT_EQ(Steps("a\x83\\\xE0"), (std::vector<int>{0, 1, 2, 3}));
    const char* text = "a\x83\\";
    EXPECT_EQ(CharPrevA(text, text + 3), text + 2);
}

TEST(DoubleByte, TheEndsOfATextAreKept) {
    testsupport::ScratchMachine machine(RegistryWithCodePage("932"));
    const char* text = "\x83";
    EXPECT_EQ(CharNextA(text), text + 1) << "a lead byte before the terminator stands alone";
    EXPECT_EQ(CharNextA(text + 1), text + 1) << "the terminator is not passed";
    EXPECT_EQ(CharPrevA(text, text), text);
    const char* empty = "";
    EXPECT_EQ(CharPrevA(empty, empty + 1), empty) << "stops at a terminator";
}

TEST(DoubleByte, TheCodePageIsReadOncePerMachine) {
    testsupport::ScratchMachine machine(RegistryWithCodePage("932"));
    EXPECT_EQ(MachineCodePage(), 932u);
    machine.Write("registry.reg", RegistryWithCodePage("1252"));
    EXPECT_EQ(MachineCodePage(), 932u);
    UseMachine(machine.Folder());
    EXPECT_EQ(MachineCodePage(), 1252u);
}

TEST(DoubleByte, GetACPIsTheCodePageTheCharacterFunctionsFollow) {
    const char* text = "\x83\x41";
    testsupport::ScratchMachine japanese(RegistryWithCodePage("932"));
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(CharNextA(text), text + 2);
    testsupport::ScratchMachine fresh;
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(CharNextA(text), text + 1);
}

TEST(CodePage, UnicodeTextIsConvertedToTheCodePage) {
    const std::string nihon("\xE6\x97\xA5\xE6\x9C\xAC", 6); // two kanji in UTF-8
    EXPECT_EQ(Utf8ToCodePage(nihon, 932), "\x93\xFA\x96\x7B");
    EXPECT_EQ(Utf8ToCodePage(nihon, 1252), "??");
    EXPECT_EQ(Utf8ToCodePage("caf\xC3\xA9", 1252), "caf\xE9");
    EXPECT_EQ(Utf16ToCodePage(std::string("A\0\xE9\0", 4), 1252), "A\xE9");
    EXPECT_EQ(Utf16ToCodePage(std::string("\xE5\x65", 2), 932), "\x93\xFA");
}

} // namespace
} // namespace ovlayer
