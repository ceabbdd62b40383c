// A hash map from text keys to Strings: 17 buckets, keys compared byte for byte (letter case
// counts), entries taken from blocks of a fixed number of entries. Entries are never removed one
// by one; RemoveAll empties the map.
#pragma once

#include "support/string.h"

class StringMap {
public:
    typedef void* Position;
    static constexpr unsigned kBucketCount = 17;

    explicit StringMap(int blockSize);
    StringMap(const StringMap&) = delete;
    StringMap& operator=(const StringMap&) = delete;
    ~StringMap();

    // 1 and the value in `value` when the key is present; else 0 with `value` untouched.
    int Lookup(const char* key, String& value) const;
    // The stored value of the key, or null.
    const String* FindValue(const char* key) const;
    // The key's value, inserted empty when the key is absent.
    String& ValueFor(const char* key);
    void RemoveAll();
    int GetCount() const { return entryCount_; }

    // Iteration: buckets in ascending order, newest entry first within a bucket. Start with
    // GetStartPosition and call GetNextEntry until the position is null.
    Position GetStartPosition() const;
    void GetNextEntry(Position& position, String& key, String& value) const;

    // The bucket a key falls in; double-byte characters are hashed by their lead byte only.
    static unsigned BucketOf(const char* key);

private:
    struct Entry {
        Entry* next;
        unsigned bucket;
        String key;
        String value;
    };
    struct Block {
        Block* next;
        int count;
        Entry* Entries() { return reinterpret_cast<Entry*>(this + 1); }
    };

    Entry* Find(const char* key, unsigned bucket) const;
    Entry* NewEntry();
    Entry* FirstFrom(unsigned bucket) const;

    Entry** buckets_ = nullptr;
    unsigned bucketCount_ = kBucketCount;
    int entryCount_ = 0;
    Entry* freeList_ = nullptr;
    Block* blocks_ = nullptr;
    int blockSize_;
};
