#include "support/string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

unsigned char Marker(const String& s) {
    return reinterpret_cast<const unsigned char*>(&s)[7];
}

unsigned ShareCount(const String& s) {
    return reinterpret_cast<const unsigned char*>(s.Text())[-1];
}

bool IsInline(const String& s) {
    return s.Text() == reinterpret_cast<const char*>(&s);
}

TEST(String, ShortTextsLiveInsideTheObject) {
    String empty;
    EXPECT_TRUE(IsInline(empty));
    EXPECT_EQ(Marker(empty), 7);
    EXPECT_STREQ(empty.Text(), "");

    String seven("1234567");
    EXPECT_TRUE(IsInline(seven));
    EXPECT_EQ(Marker(seven), 0) << "the marker terminates a 7-byte text";
    EXPECT_EQ(seven.Length(), 7u);
    EXPECT_STREQ(seven.Text(), "1234567");

    String eight("12345678");
    EXPECT_FALSE(IsInline(eight));
    EXPECT_EQ(Marker(eight), 0xFF);
    EXPECT_EQ(ShareCount(eight), 1u);
    EXPECT_EQ(eight.Length(), 8u);
    EXPECT_STREQ(eight.Text(), "12345678");
}

TEST(String, ConstructorsMeasureOrCopyExactly) {
    EXPECT_EQ(String(static_cast<const char*>(nullptr)).Length(), 0u);
    EXPECT_EQ(String(nullptr, -1).Length(), 0u);
    String withZero("ab\0cd", 5);
    EXPECT_EQ(withZero.Length(), 5u);
    EXPECT_EQ(memcmp(withZero.Text(), "ab\0cd", 6), 0);
    EXPECT_STREQ(String("abcdef", 3).Text(), "abc");

    String lineFeed('\n', 1);
    EXPECT_EQ(lineFeed.Length(), 1u);
    EXPECT_STREQ(lineFeed.Text(), "\n");
    EXPECT_STREQ(String('x', 12).Text(), "xxxxxxxxxxxx");
    EXPECT_EQ(String('\0', 5).Length(), 0u) << "a fill byte of 0 gives an empty text";
}

TEST(String, CopiesShareTheBlockUntilOneWrites) {
    String original("twenty bytes of text");
    ASSERT_EQ(original.Length(), 20u);
    String copy(original);
    EXPECT_EQ(copy.Text(), original.Text());
    EXPECT_EQ(ShareCount(original), 2u);

    char* own = copy.GetBuffer(0);
    EXPECT_NE(own, original.Text());
    EXPECT_EQ(ShareCount(original), 1u);
    own[0] = 'T';
    EXPECT_STREQ(original.Text(), "twenty bytes of text");
    EXPECT_STREQ(copy.Text(), "Twenty bytes of text");
}

TEST(String, AppendToASharedBlockLeavesTheOtherSharerAlone) {
    String a("a shared heap text");
    String b(a);
    b.Append(" and more");
    EXPECT_STREQ(a.Text(), "a shared heap text");
    EXPECT_STREQ(b.Text(), "a shared heap text and more");
    EXPECT_EQ(ShareCount(a), 1u);
    EXPECT_EQ(ShareCount(b), 1u);
}

TEST(String, ABlockIsSharedBy255StringsAtMost) {
    String source("longer than seven");
    std::vector<std::unique_ptr<String>> copies;
    for (int i = 0; i < 254; ++i) {
        copies.push_back(std::make_unique<String>(source));
    }
    EXPECT_EQ(ShareCount(source), 255u);
    String byValue(source);
    EXPECT_NE(byValue.Text(), source.Text());
    EXPECT_STREQ(byValue.Text(), "longer than seven");
    String assigned;
    assigned.Assign(source);
    EXPECT_NE(assigned.Text(), source.Text());
    copies.clear();
    EXPECT_EQ(ShareCount(source), 1u);
}

TEST(String, AppendGrowsAcrossTheInlineLimit) {
    String s("abc");
    s.Append("defg");
    EXPECT_TRUE(IsInline(s));
    EXPECT_STREQ(s.Text(), "abcdefg");
    s.Append('h');
    EXPECT_FALSE(IsInline(s));
    EXPECT_STREQ(s.Text(), "abcdefgh");
    s.Append(static_cast<const char*>(nullptr));
    s.Append(String("-tail"));
    EXPECT_STREQ(s.Text(), "abcdefgh-tail");
    EXPECT_EQ(s.Length(), 13u);
    s.Append(s);
    EXPECT_STREQ(s.Text(), "abcdefgh-tailabcdefgh-tail") << "appending a String to itself";
}

// Found by fuzz/string_fuzz: a text doubled past 16 MiB wrapped its 24-bit length and lost its
// bytes. A growth past the longest text now changes nothing.
TEST(String, GrowthPastTheLongestTextLeavesTheTextAsItWas) {
    String text(String('w', 9 << 20));
    text += text;
    EXPECT_EQ(text.Length(), 9u << 20);
    String longest('x', static_cast<int>(String::kMaxLength));
    ASSERT_EQ(longest.Length(), String::kMaxLength);
    longest += 'y';
    EXPECT_EQ(longest.Length(), String::kMaxLength);
    EXPECT_EQ(longest.Text()[String::kMaxLength - 1], 'x');
    EXPECT_EQ(longest.GetBuffer(String::kMaxLength + 1), nullptr);
    EXPECT_EQ(String('z', static_cast<int>(String::kMaxLength) + 1).Length(), 0u);
}

TEST(String, BuffersLetCallsWriteInPlace) {
    String s;
    char* p = s.GetBuffer(5);
    EXPECT_EQ(p, reinterpret_cast<char*>(&s)) << "short buffers stay inside the object";
    memcpy(p, "hello", 6);
    s.ReleaseBuffer(-1);
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(s.Length(), 5u);
    EXPECT_STREQ(s.Text(), "hello");

    String path;
    p = path.GetBuffer(261);
    strcpy(p, "C:\\Program Files\\Orvane");
    path.ReleaseBuffer(-1);
    EXPECT_STREQ(path.Text(), "C:\\Program Files\\Orvane");

    String heap("twenty bytes of text");
    heap.ReleaseBuffer(3);
    EXPECT_FALSE(IsInline(heap)) << "a heap text stays on the heap when it shrinks";
    EXPECT_EQ(heap.Length(), 3u);
    EXPECT_STREQ(heap.Text(), "twe");
}

TEST(String, ReleaseBufferOnASharedTextGivesAPrivateCopy) {
    String a("shared by two strings");
    String b(a);
    b.ReleaseBuffer(6);
    EXPECT_STREQ(b.Text(), "shared");
    EXPECT_NE(b.Text(), a.Text());
    EXPECT_STREQ(a.Text(), "shared by two strings");
}

TEST(String, FormatKeepsAtMost511Bytes) {
    String s;
    s.Format("%s\\%s", "C:\\windows", "system32");
    EXPECT_STREQ(s.Text(), "C:\\windows\\system32");
    EXPECT_EQ(s.Length(), 19u);

    std::string long600(600, 'z');
    s.Format("%s", long600.c_str());
    EXPECT_EQ(s.Length(), 511u);
    EXPECT_EQ(std::string(s.Text()), std::string(511, 'z'));

    s.Format("%d", 42);
    EXPECT_STREQ(s.Text(), "42");
}

TEST(String, ExtractorsClipToTheText) {
    String ten("0123456789");
    EXPECT_STREQ(ten.Left(100).Text(), "0123456789");
    EXPECT_STREQ(ten.Left(3).Text(), "012");
    EXPECT_STREQ(ten.Right(0).Text(), "");
    EXPECT_STREQ(ten.Right(4).Text(), "6789");
    EXPECT_STREQ(ten.Right(50).Text(), "0123456789");
    EXPECT_STREQ(ten.Mid(12, 3).Text(), "");
    EXPECT_STREQ(ten.Mid(8, 5).Text(), "89");
    EXPECT_STREQ(ten.Mid(2, 3).Text(), "234");
    EXPECT_STREQ(ten.Mid(4).Text(), "456789");
    EXPECT_STREQ(ten.Mid(10).Text(), "");
    EXPECT_STREQ(ten.Mid(3, 0xFFFFFFFFu).Text(), "3456789") << "no overflow in start + n";
}

TEST(String, SearchesGiveByteOffsets) {
    String path("C:\\Program Files\\Orvane\\LumoDeck");
    EXPECT_EQ(path.Find("Orvane"), 17);
    EXPECT_EQ(path.Find("orvane"), -1);
    EXPECT_EQ(path.ReverseFind('\\'), 23);
    EXPECT_EQ(path.ReverseFind('/'), -1);
    EXPECT_EQ(String().Find("x"), -1);
}

TEST(String, AssignmentSharesAndSurvivesSelfAssignment) {
    String a("a longer text here");
    String b("short");
    b = a;
    EXPECT_EQ(b.Text(), a.Text());
    EXPECT_EQ(ShareCount(a), 2u);
    const String& same = b; // assigned to itself, through a name the compiler does not see through
    b = same;
    EXPECT_STREQ(b.Text(), "a longer text here");
    EXPECT_EQ(ShareCount(a), 2u);
    b = "tiny";
    EXPECT_TRUE(IsInline(b));
    EXPECT_EQ(ShareCount(a), 1u);
    b.Empty();
    EXPECT_EQ(b.Length(), 0u);
    EXPECT_STREQ(Concat(String("C:\\dir"), "\\file.txt").Text(), "C:\\dir\\file.txt");
    EXPECT_STREQ(Concat(String("ab"), String("cd")).Text(), "abcd");
}

} // namespace
