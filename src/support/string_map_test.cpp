#include "support/string_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Keys(const StringMap& map) {
    std::vector<std::string> keys;
    String key;
    String value;
    for (StringMap::Position at = map.GetStartPosition(); at != nullptr;) {
        map.GetNextEntry(at, key, value);
        keys.push_back(key.Text());
    }
    return keys;
}

// A one-byte key, whose bucket is its byte modulo 17 ('D' is 4 * 17).
std::string KeyInBucket(unsigned bucket, int round) {
    return std::string(1, static_cast<char>('D' + bucket + 17 * round));
}

TEST(StringMap, EmptyMapAnswersNothingAndHasNoStart) {
    StringMap map(10);
    String out("kept");
    EXPECT_EQ(map.Lookup("DT_Common", out), 0);
    EXPECT_STREQ(out.Text(), "kept");
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    EXPECT_EQ(map.FindValue("DT_Common"), nullptr);
    EXPECT_EQ(map.GetCount(), 0);
}

TEST(StringMap, ValueForInsertsOnceAndLookupFindsTheValue) {
    StringMap map(10);
    String& first = map.ValueFor("DT_Common");
    EXPECT_STREQ(first.Text(), "");
    first = "C:\\Common\\";
    String& again = map.ValueFor("DT_Common");
    EXPECT_EQ(&again, &first);
    EXPECT_EQ(map.GetCount(), 1);

    String out;
    EXPECT_EQ(map.Lookup("DT_Common", out), 1);
    EXPECT_STREQ(out.Text(), "C:\\Common\\");
    again = "D:\\Other\\";
    EXPECT_EQ(map.Lookup("DT_Common", out), 1);
    EXPECT_STREQ(out.Text(), "D:\\Other\\");
}

TEST(StringMap, KeysDifferingInCaseAreDifferentEntries) {
    StringMap map(10);
    map.ValueFor("DT_Common") = "upper";
    map.ValueFor("dt_common") = "lower";
    EXPECT_EQ(map.GetCount(), 2);
    String out;
    ASSERT_EQ(map.Lookup("DT_Common", out), 1);
    EXPECT_STREQ(out.Text(), "upper");
    EXPECT_EQ(map.Lookup("DT_COMMON", out), 0);
}

TEST(StringMap, HashIsTimesThirtyThreePlusTheSignedByte) {
    EXPECT_EQ(StringMap::BucketOf(""), 0u);
    EXPECT_EQ(StringMap::BucketOf("A"), 65u % 17);
    EXPECT_EQ(StringMap::BucketOf("AB"), (65u * 33 + 66) % 17);
    // A byte above 0x7F counts as negative: 0 * 33 + (-1), taken as 32-bit unsigned.
    EXPECT_EQ(StringMap::BucketOf("\xFF"), 0xFFFFFFFFu % 17);
    EXPECT_EQ(StringMap::BucketOf("DT_Common"), [] {
        uint32_t h = 0;
        for (const char* p = "DT_Common"; *p; ++p) {
            h = h * 33 + static_cast<uint32_t>(*p);
        }
        return h % 17;
    }());
}

TEST(StringMap, IteratesBucketsInOrderAndEachBucketNewestFirst) {
    StringMap map(10);
    const std::string a = KeyInBucket(3, 0), b = KeyInBucket(3, 1), c = KeyInBucket(3, 2);
    const std::string low = KeyInBucket(1, 0), high = KeyInBucket(9, 0);
    ASSERT_EQ(StringMap::BucketOf(a.c_str()), 3u);
    ASSERT_EQ(StringMap::BucketOf(c.c_str()), 3u);
    for (const std::string& key : {a, high, b, low, c}) {
        map.ValueFor(key.c_str()) = key.c_str();
    }
    EXPECT_EQ(Keys(map), (std::vector<std::string>{low, c, b, a, high}));

    String key;
    String value;
    StringMap::Position at = map.GetStartPosition();
    map.GetNextEntry(at, key, value);
    EXPECT_STREQ(value.Text(), low.c_str()) << "the value travels with its key";
}

TEST(StringMap, EntriesComeFromBlocksAndSurviveManyInsertions) {
    StringMap map(3);
    for (int i = 0; i < 40; ++i) {
        map.ValueFor(("key" + std::to_string(i)).c_str()) = std::to_string(i * i).c_str();
    }
    EXPECT_EQ(map.GetCount(), 40);
    EXPECT_EQ(Keys(map).size(), 40u);
    for (int i = 0; i < 40; ++i) {
        String out;
        ASSERT_EQ(map.Lookup(("key" + std::to_string(i)).c_str(), out), 1) << i;
        EXPECT_EQ(std::string(out.Text()), std::to_string(i * i));
    }
}

TEST(StringMap, RemoveAllEmptiesTheMapForReuse) {
    StringMap map(2);
    map.ValueFor("one") = "a value long enough to live on the heap";
    map.ValueFor("two") = "2";
    map.ValueFor("three") = "3";
    map.RemoveAll();
    EXPECT_EQ(map.GetCount(), 0);
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    String out;
    EXPECT_EQ(map.Lookup("one", out), 0);
    map.ValueFor("two") = "again";
    EXPECT_EQ(Keys(map), std::vector<std::string>{"two"});
}

} // namespace
