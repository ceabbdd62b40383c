// The system's one text type: 8-bit, terminated. Texts of up to 7 bytes live inside the object;
// longer ones live in a heap block that copies share until one of them writes.
//
// Layout (32-bit build, 8 bytes): byte 7 is the marker. Inline form: bytes 0-6 hold the text and
// the marker is 7 minus the length, so a 7-byte text is terminated by the marker itself. Heap
// form: marker 0xFF, bytes 0-3 point at the text, bytes 4-6 hold the 24-bit length. The heap
// block is one share-count byte, the text, and a terminator. On 64-bit hosts the pointer does not
// fit before the length, so it is kept in 8 more bytes after the marker.
#pragma once

#include <cstddef>
#include <cstdint>

class String {
public:
    String();
    String(const char* text);
    String(const char* bytes, int count);
    String(char fill, int count);
    String(const String& other);
    ~String();
    String& operator=(const String& other) { return Assign(other); }
    String& operator=(const char* text) { return Assign(text); }

    unsigned Length() const;
    const char* Text() const;
    operator const char*() const { return Text(); }

    String Left(unsigned n) const;
    String Right(unsigned n) const;
    String Mid(unsigned start, unsigned n) const;
    String Mid(unsigned start) const;
    int Find(const char* text) const;
    int ReverseFind(char ch) const;

    String& Assign(const String& other);
    String& Assign(const char* text);
    void Append(const char* bytes, unsigned count);
    String& Append(const char* text);
    String& Append(char ch);
    String& Append(const String& other);
    String& operator+=(const char* text) { return Append(text); }
    String& operator+=(const String& other) { return Append(other); }
    String& operator+=(char ch) { return Append(ch); }
    void Empty();

    // A writable pointer with room for at least n bytes and a terminator; the length is kept.
    // Null, the text kept, when n is over kMaxLength or memory runs out.
    char* GetBuffer(unsigned n);
    // After direct writes: the length becomes n, or the written text's length when n is -1.
    void ReleaseBuffer(int n = -1);
    // printf-style, cut to at most kFormatKeeps bytes.
    String& Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // The most bytes Format keeps; the buffer it writes into holds one more, the terminator.
    static constexpr unsigned kFormatKeeps = 511;
    static constexpr unsigned kInlineRoom = 7;
    // The longest text: the heap form keeps the length in 24 bits.
    static constexpr unsigned kMaxLength = 0xFFFFFF;
    static constexpr uint8_t kHeapMarker = 0xFF;
    static constexpr uint8_t kMaxShares = 0xFF;

private:
    static constexpr size_t kPointerOffset = sizeof(char*) == 4 ? 0 : 8;
    static constexpr size_t kLengthOffset = 4;
    static constexpr size_t kMarkerOffset = 7;

    bool IsHeap() const {
        return bytes_[kMarkerOffset] == kHeapMarker;
    }
    char* HeapText() const;
    uint8_t& ShareCount() const {
        return reinterpret_cast<uint8_t*>(HeapText())[-1];
    }
    void SetHeap(char* text, unsigned length);
    void SetHeapLength(unsigned length);
    void SetInlineLength(unsigned length);
    void Build(const char* bytes, int count);
    void Release();
    void ShareOrCopyFrom(const String& other);
    bool Grow(unsigned extra, bool setLength);
    void MakeUnique();

    unsigned char bytes_[sizeof(char*) == 4 ? 8 : 16];
};

static_assert(sizeof(String) == (sizeof(char*) == 4 ? 8 : 16),
              "String is 8 bytes on 32-bit targets, 16 where a pointer takes 8");

// The size handed to a Win32 call that fills a path or a name into a buffer; a String is opened
// for it with GetBuffer(kPathRoom + 1), so that a byte is spare past all the call may write.
constexpr unsigned kPathRoom = 260;

String Concat(const String& a, const String& b);
String Concat(const String& a, const char* b);

// Non-zero when `text` may have been cut by String::Format, which keeps at most
// String::kFormatKeeps bytes: such a text may name a different file or key than the one meant, so
// it is not used for a deletion.
int IsPossiblyCutPath(const char* text);
