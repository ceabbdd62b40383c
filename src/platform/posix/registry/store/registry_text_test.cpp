#include "platform/posix/registry/store/registry_text.h"

#include <gtest/gtest.h>

namespace ovlayer {
namespace {

std::vector<RegOp> Parse(const std::string& text, RegTextFormat* format = nullptr) {
    std::vector<RegOp> ops;
    RegTextFormat read;
    RegTextError error;
    EXPECT_TRUE(ParseRegText(text, &ops, &read, &error)) << error.line << ": " << error.message;
    if (format) {
        *format = read;
    }
    return ops;
}

std::string Bytes(const std::initializer_list<int>& bytes) {
    std::string data;
    for (int byte : bytes) {
        data.push_back(static_cast<char>(byte));
    }
    return data;
}

TEST(RegistryText, ReadsEveryKindOfValue) {
    const auto ops = Parse("REGEDIT4\r\n"
                           "\r\n"
                           "; a comment\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Orvane]\r\n"
                           "@=\"default\"\r\n"
                           "\"Path\"=\"C:\\\\Program Files\\\\Orvane\\\\\"\r\n"
                           "\"Say \\\"hi\\\"\" = \"a \\\"b\\\" c\"\r\n"
                           "\"Number\"=dword:0001E240\r\n"
                           "\"Blob\"=hex:00,ff,\\\r\n"
                           "    10,  20\r\n"
                           "\"Expand\"=hex(2):25,41,00\r\n"
                           "\"Empty\"=hex:\r\n"
                           "\"Gone\"=-\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
    ASSERT_EQ(ops.size(), 10u);
    EXPECT_EQ(ops[0].kind, RegOp::kCreateKey);
    EXPECT_EQ(ops[0].key, "HKEY_CURRENT_USER\\Software\\Orvane");
    EXPECT_EQ(ops[1].name, "");
    EXPECT_EQ(ops[1].data, std::string("default", 8));
    EXPECT_EQ(ops[2].data, std::string("C:\\Program Files\\Orvane\\", 25));
    EXPECT_EQ(ops[3].name, "Say \"hi\"");
    EXPECT_EQ(ops[3].data, std::string("a \"b\" c", 8));
    EXPECT_EQ(ops[4].type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ops[4].data, Bytes({0x40, 0xE2, 0x01, 0x00}));
    EXPECT_EQ(ops[5].type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(ops[5].data, Bytes({0x00, 0xFF, 0x10, 0x20}));
    EXPECT_EQ(ops[6].type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ops[6].data, Bytes({0x25, 0x41, 0x00}));
    EXPECT_EQ(ops[7].data, "");
    EXPECT_EQ(ops[8].kind, RegOp::kDeleteValue);
    EXPECT_EQ(ops[8].name, "Gone");
    EXPECT_EQ(ops[9].kind, RegOp::kDeleteTree);
    EXPECT_EQ(ops[9].key, "HKEY_CURRENT_USER\\Software\\Old");
}

TEST(RegistryText, KeepsABackslashThatEscapesNothingAndIgnoresValuesOfDeletedKeys) {
    const auto ops = Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"P\"=\"C:\\dir\"\n"
                           "[-HKEY_LOCAL_MACHINE\\B]\n\"Ignored\"=\"x\"\n");
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].data, std::string("C:\\dir", 7));
    EXPECT_EQ(ops[2].kind, RegOp::kDeleteTree);
}

TEST(RegistryText, VersionFiveTextsInHexAreConverted) {
    std::vector<RegOp> ops;
    RegTextFormat format;
    RegTextError error;
    ASSERT_TRUE(ParseRegText("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                             "\"E\"=hex(2):41,00,00,00\n\"B\"=hex:41,00\n",
                             &ops, &format, &error,
                             [](const std::string& utf16) { return "<" + utf16 + ">"; }));
    EXPECT_EQ(format, RegTextFormat::kVersion5);
    EXPECT_EQ(ops[1].data, "<" + Bytes({0x41, 0, 0, 0}) + ">");
    EXPECT_EQ(ops[2].data, Bytes({0x41, 0})); // binary data is not text
}

TEST(RegistryText, FaultsNameTheirLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"", 0},
        {"REGEDIT5\n", 1},
        {"REGEDIT4\n\"Early\"=\"x\"\n", 2},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A\n", 3},
        {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=\"open\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=dword:\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=hex:0g\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=hex:01 02\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=hex:01,\\\n  02,\\\n  zz\n", 5},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=hex:01,\\\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=str:\"x\"\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\" \"x\"\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"V\"=\"x\" trailing\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nstray text\n", 3},
    };
    for (const auto& c : cases) {
        std::vector<RegOp> ops;
        RegTextFormat format;
        RegTextError error;
        EXPECT_FALSE(ParseRegText(c.text, &ops, &format, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.message.empty());
    }
}

// "[HKEY_CURRENT_USER\k\k...]" with `depth` names of `length` characters.
std::string DeepSection(size_t depth, size_t length, const char* root = "HKEY_CURRENT_USER") {
    std::string section = std::string("[") + root;
    for (size_t i = 0; i < depth; ++i) {
        section += "\\" + std::string(length, 'k');
    }
    return section + "]\n";
}

TEST(RegistryText, KeysBeyondWindowsLimitsAreFaultsOnTheirLine) {
    const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
    const struct {
        std::string section;
        bool valid;
    } cases[] = {
        {DeepSection(512, 1), true},
        {DeepSection(513, 1), false},
        {DeepSection(510, 1, "HKEY_CLASSES_ROOT"), true},
        {DeepSection(511, 1, "HKEY_CLASSES_ROOT"), false}, // two levels below the machine's root
        {DeepSection(2, 255), true},
        {DeepSection(2, 256), false},
        {"[-HKEY_CURRENT_USER\\" + std::string(1 << 20, 'n') + "]\n", false},
    };
    for (const auto& c : cases) {
        std::vector<RegOp> ops;
        RegTextFormat format;
        RegTextError error;
        EXPECT_EQ(ParseRegText(head + c.section, &ops, &format, &error), c.valid)
            << c.section.substr(0, 80);
        if (!c.valid) {
            EXPECT_EQ(error.line, 3) << error.message;
            EXPECT_EQ(ops.size(), 1u);
        }
    }
}

TEST(RegistryText, ADeepChainOfKeysIsWrittenOnceNotOnceALevel) {
    RegistryTree tree;
    std::string path = "HKEY_CURRENT_USER";
    for (size_t i = 0; i < kMaxKeyDepth; ++i) {
        path += "\\Level";
    }
    ASSERT_TRUE(tree.Create(path));
    EXPECT_FALSE(tree.Create(path + "\\Deeper"));
    EXPECT_FALSE(tree.Create("HKEY_CURRENT_USER\\" + std::string(kMaxKeyNameLength + 1, 'n')));
    tree.Create("HKEY_CURRENT_USER\\Level\\Level\\Value")->SetValue("", REG_SZ, "x");

    const std::string text = WriteRegText(tree);
    EXPECT_LT(text.size(), 2 * path.size() + 200) << "a section per level";
    RegistryTree read;
    std::vector<RegOp> ops;
    RegTextFormat format;
    RegTextError error;
    ASSERT_TRUE(ParseRegText(text, &ops, &format, &error)) << error.message;
    read.Apply(ops);
    EXPECT_TRUE(read.Find(path));
    EXPECT_TRUE(read.Find("HKEY_CURRENT_USER\\Level\\Level\\Value")->Value(""));
    EXPECT_EQ(WriteRegText(read), text);
}

RegValue Value(const char* name, DWORD type, const std::string& data) {
    return RegValue{name, type, data};
}

TEST(RegistryText, WrittenTreeReadsBackTheSame) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_CURRENT_USER\\Software\\Odd Name [x]\\Sub");
    const std::vector<RegValue> values = {
        Value("", REG_SZ, std::string("default\0", 8)),
        Value("back\\slash", REG_SZ, std::string("C:\\a\\\"b\"\\\0", 11)),
        Value("quote\"d", REG_SZ, std::string("\0", 1)),
        Value("unterminated", REG_SZ, "abc"),
        Value("inner nul", REG_SZ, std::string("a\0b\0", 4)),
        Value("line\nend", REG_SZ, std::string("one\r\ntwo\0", 9)),
        Value("empty text", REG_SZ, ""),
        Value("dword", REG_DWORD, Bytes({0xEF, 0xBE, 0xAD, 0xDE})),
        Value("short dword", REG_DWORD, Bytes({1, 2})),
        Value("binary", REG_BINARY, std::string(200, '\xA5')),
        Value("multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)),
        Value("qword", REG_QWORD, std::string(8, '\x01')),
        Value("none", REG_NONE, ""),
    };
    for (const RegValue& value : values) {
        key->SetValue(value.name, value.type, value.data);
    }
    tree.Create("HKEY_LOCAL_MACHINE\\Empty\\Deeper");
    tree.Root(kUsers)->SetValue("rootvalue", REG_SZ, std::string("r\0", 2));

    const std::string text = WriteRegText(tree);
    RegistryTree back;
    back.Apply(Parse(text));
    std::shared_ptr<RegKey> read = back.Find("HKEY_CURRENT_USER\\Software\\Odd Name [x]\\Sub");
    ASSERT_TRUE(read);
    ASSERT_EQ(read->ValueCount(), values.size());
    for (const RegValue& value : values) {
        const RegValue* got = read->Value(value.name);
        ASSERT_TRUE(got) << value.name;
        EXPECT_EQ(got->name, value.name);
        EXPECT_EQ(got->type, value.type) << value.name;
        EXPECT_EQ(got->data, value.data) << value.name;
    }
    EXPECT_TRUE(back.Find("HKEY_LOCAL_MACHINE\\Empty\\Deeper"));
    EXPECT_TRUE(back.Root(kUsers)->Value("rootvalue"));
    EXPECT_EQ(WriteRegText(back), text);
}

TEST(RegistryText, LongBinaryDataIsWrappedAsRegeditDoes) {
    RegistryTree tree;
    tree.Create("HKEY_CURRENT_USER\\K")->SetValue("B", REG_BINARY, std::string(100, '\x11'));
    const std::string text = WriteRegText(tree);
    size_t start = 0;
    int continued = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        continued += end > start && text[end - 1] == '\\';
    }
    EXPECT_GT(continued, 1);
}

TEST(RegistryText, ExportOfOneKeyNamesItAsAsked) {
    RegistryTree tree;
    std::shared_ptr<RegKey> key = tree.Create("HKEY_LOCAL_MACHINE\\Software\\Classes\\Software\\X");
    key->SetValue("v", REG_SZ, std::string("1\0", 2));
    key->AddChild("y");
    std::string text;
    WriteRegKey(*key, "HKEY_CLASSES_ROOT\\Software\\X", &text);
    EXPECT_EQ(text, "[HKEY_CLASSES_ROOT\\Software\\X]\n\"v\"=\"1\"\n\n"
                    "[HKEY_CLASSES_ROOT\\Software\\X\\y]\n\n");
}

} // namespace
} // namespace ovlayer
