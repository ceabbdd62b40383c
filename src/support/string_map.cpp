#include "support/string_map.h"

#include "support/mb_text.h"

#include <cstring>
#include <new>

namespace {

const StringMap::Position kStartPosition = reinterpret_cast<StringMap::Position>(-1);

} // namespace

StringMap::StringMap(int blockSize) : blockSize_(blockSize > 0 ? blockSize : 1) {}

StringMap::~StringMap() {
    RemoveAll();
}

unsigned StringMap::BucketOf(const char* key) {
    uint32_t h = 0;
    for (const char* p = key; *p != '\0'; p = MbNext(p)) {
        h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    }
    return h % kBucketCount;
}

StringMap::Entry* StringMap::Find(const char* key, unsigned bucket) const {
    if (buckets_ == nullptr) {
        return nullptr;
    }
    for (Entry* entry = buckets_[bucket]; entry != nullptr; entry = entry->next) {
        if (strcmp(entry->key.Text(), key) == 0) {
            return entry;
        }
    }
    return nullptr;
}

int StringMap::Lookup(const char* key, String& value) const {
    const Entry* entry = Find(key, BucketOf(key));
    if (entry == nullptr) {
        return 0;
    }
    value = entry->value;
    return 1;
}

const String* StringMap::FindValue(const char* key) const {
    const Entry* entry = Find(key, BucketOf(key));
    return entry == nullptr ? nullptr : &entry->value;
}

// Entries come out of a block in address order, the block's first entry first.
StringMap::Entry* StringMap::NewEntry() {
    if (freeList_ == nullptr) {
        void* memory = ::operator new(sizeof(Block) + blockSize_ * sizeof(Entry));
        Block* block = static_cast<Block*>(memory);
        block->next = blocks_;
        block->count = blockSize_;
        blocks_ = block;
        Entry* entries = block->Entries();
        for (int i = blockSize_ - 1; i >= 0; --i) {
            Entry* entry = new (&entries[i]) Entry{freeList_, 0, String(), String()};
            freeList_ = entry;
        }
    }
    Entry* entry = freeList_;
    freeList_ = entry->next;
    ++entryCount_;
    return entry;
}

String& StringMap::ValueFor(const char* key) {
    const unsigned bucket = BucketOf(key);
    if (Entry* existing = Find(key, bucket)) {
        return existing->value;
    }
    if (buckets_ == nullptr) {
        buckets_ = new Entry*[bucketCount_]();
    }
    Entry* entry = NewEntry();
    entry->bucket = bucket;
    entry->key = key;
    entry->next = buckets_[bucket];
    buckets_[bucket] = entry;
    return entry->value;
}

void StringMap::RemoveAll() {
    delete[] buckets_;
    buckets_ = nullptr;
    entryCount_ = 0;
    freeList_ = nullptr;
    while (blocks_ != nullptr) {
        Block* block = blocks_;
        blocks_ = block->next;
        Entry* entries = block->Entries();
        for (int i = 0; i < block->count; ++i) {
            entries[i].~Entry();
        }
        ::operator delete(block);
    }
}

StringMap::Entry* StringMap::FirstFrom(unsigned bucket) const {
    if (buckets_ == nullptr) {
        return nullptr;
    }
    for (; bucket < bucketCount_; ++bucket) {
        if (buckets_[bucket] != nullptr) {
            return buckets_[bucket];
        }
    }
    return nullptr;
}

StringMap::Position StringMap::GetStartPosition() const {
    return entryCount_ > 0 ? kStartPosition : nullptr;
}

void StringMap::GetNextEntry(Position& position, String& key, String& value) const {
    const Entry* current =
        position == kStartPosition ? FirstFrom(0) : static_cast<const Entry*>(position);
    if (current == nullptr) {
        position = nullptr;
        return;
    }
    position = current->next != nullptr ? current->next : FirstFrom(current->bucket + 1);
    key = current->key;
    value = current->value;
}
