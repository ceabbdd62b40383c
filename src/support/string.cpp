#include "support/string.h"

#include "support/mb_text.h"
#include "platform/win32api.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

char* NewBlock(unsigned length) {
    auto* block = static_cast<unsigned char*>(malloc(length + 2));
    if (block == nullptr) {
        return nullptr;
    }
    block[0] = 1;
    return reinterpret_cast<char*>(block + 1);
}

} // namespace

String::String() {
    Build(nullptr, 0);
}

String::String(const char* text) {
    Build(text, -1);
}

String::String(const char* bytes, int count) {
    Build(bytes, count);
}

String::String(char fill, int count) {
    Build(nullptr, 0);
    if (count <= 0) {
        return;
    }
    char* p = GetBuffer(static_cast<unsigned>(count)); // room for the terminator too
    if (p == nullptr) {
        return;
    }
    memset(p, fill, count);
    p[count] = '\0';
    ReleaseBuffer(-1);
}

String::String(const String& other) {
    ShareOrCopyFrom(other);
}

String::~String() {
    Release();
}

char* String::HeapText() const {
    char* text;
    memcpy(&text, bytes_ + kPointerOffset, sizeof text);
    return text;
}

void String::SetHeap(char* text, unsigned length) {
    memcpy(bytes_ + kPointerOffset, &text, sizeof text);
    SetHeapLength(length);
    bytes_[kMarkerOffset] = kHeapMarker;
}

void String::SetHeapLength(unsigned length) {
    bytes_[kLengthOffset] = length & 0xFF;
    bytes_[kLengthOffset + 1] = (length >> 8) & 0xFF;
    bytes_[kLengthOffset + 2] = (length >> 16) & 0xFF;
}

void String::SetInlineLength(unsigned length) {
    bytes_[kMarkerOffset] = static_cast<unsigned char>(kInlineRoom - length);
    bytes_[length] = '\0';
}

unsigned String::Length() const {
    if (IsHeap()) {
        return bytes_[kLengthOffset] | (bytes_[kLengthOffset + 1] << 8) |
               (bytes_[kLengthOffset + 2] << 16);
    }
    return kInlineRoom - bytes_[kMarkerOffset];
}

const char* String::Text() const {
    return IsHeap() ? HeapText() : reinterpret_cast<const char*>(bytes_);
}

// Fills the object from bytes without releasing what it held: callers release first.
void String::Build(const char* bytes, int count) {
    unsigned length;
    if (count == -1) {
        length = bytes != nullptr ? static_cast<unsigned>(strlen(bytes)) : 0;
    } else {
        length = static_cast<unsigned>(count);
    }
    if (length <= kInlineRoom) {
        if (length != 0) {
            memcpy(bytes_, bytes, length);
        }
        SetInlineLength(length);
        return;
    }
    char* text = length <= kMaxLength ? NewBlock(length) : nullptr;
    if (text == nullptr) { // too long for a String, or no memory: the empty text
        SetInlineLength(0);
        return;
    }
    memcpy(text, bytes, length);
    text[length] = '\0';
    SetHeap(text, length);
}

void String::Release() {
    if (IsHeap() && --ShareCount() == 0) {
        free(HeapText() - 1);
    }
}

void String::ShareOrCopyFrom(const String& other) {
    if (other.IsHeap() && other.ShareCount() != kMaxShares) {
        memcpy(bytes_, other.bytes_, sizeof bytes_);
        ++ShareCount();
    } else {
        Build(other.Text(), static_cast<int>(other.Length()));
    }
}

void String::Empty() {
    Release();
    Build(nullptr, 0);
}

String String::Left(unsigned n) const {
    const unsigned length = Length();
    return String(Text(), static_cast<int>(n < length ? n : length));
}

String String::Right(unsigned n) const {
    const unsigned length = Length();
    const unsigned count = n < length ? n : length;
    return String(Text() + (length - count), static_cast<int>(count));
}

String String::Mid(unsigned start, unsigned n) const {
    const unsigned length = Length();
    if (start > length) {
        start = length;
    }
    if (n > length - start) {
        n = length - start;
    }
    return String(Text() + start, static_cast<int>(n));
}

String String::Mid(unsigned start) const {
    const unsigned length = Length();
    return start >= length ? String() : Mid(start, length - start);
}

int String::Find(const char* text) const {
    const char* found = MbFindText(Text(), text);
    return found != nullptr ? static_cast<int>(found - Text()) : -1;
}

int String::ReverseFind(char ch) const {
    const char* found = MbFindLastChar(Text(), static_cast<unsigned char>(ch));
    return found != nullptr ? static_cast<int>(found - Text()) : -1;
}

String& String::Assign(const String& other) {
    if (&other == this) {
        return *this;
    }
    String copy(other);
    Release();
    ShareOrCopyFrom(copy);
    return *this;
}

String& String::Assign(const char* text) {
    String temporary(text);
    return Assign(temporary);
}

void String::Append(const char* bytes, unsigned count) {
    const unsigned oldLength = Length();
    if (!Grow(count, true)) {
        return;
    }
    if (count != 0) {
        memcpy(const_cast<char*>(Text()) + oldLength, bytes, count);
    }
}

String& String::Append(const char* text) {
    if (text != nullptr) {
        Append(text, static_cast<unsigned>(strlen(text)));
    }
    return *this;
}

String& String::Append(char ch) {
    Append(&ch, 1);
    return *this;
}

String& String::Append(const String& other) {
    // A copy keeps the source alive should it share (or be) the block that growth moves.
    String source(other);
    Append(source.Text(), source.Length());
    return *this;
}

// The one place where texts get room. Growth is exact: each call asks for what it needs. Past
// the longest text the 24-bit length can hold, or without memory, the text stays as it was.
bool String::Grow(unsigned extra, bool setLength) {
    const unsigned oldLength = Length();
    if (extra > kMaxLength - oldLength) {
        return false;
    }
    const unsigned newLength = oldLength + extra;
    if (!IsHeap() && newLength <= kInlineRoom) {
        if (setLength) {
            SetInlineLength(newLength);
        }
        return true;
    }
    char* text;
    if (IsHeap() && ShareCount() <= 1) {
        auto* block = static_cast<char*>(realloc(HeapText() - 1, newLength + 2));
        if (block == nullptr) {
            return false;
        }
        text = block + 1;
    } else {
        text = NewBlock(newLength);
        if (text == nullptr) {
            return false;
        }
        memcpy(text, Text(), oldLength + 1);
        Release();
    }
    SetHeap(text, setLength ? newLength : oldLength);
    if (setLength) {
        text[newLength] = '\0';
    }
    return true;
}

void String::MakeUnique() {
    if (!IsHeap() || ShareCount() == 1) {
        return;
    }
    String copy(Text(), static_cast<int>(Length()));
    Release();
    memcpy(bytes_, copy.bytes_, sizeof bytes_);
    copy.Build(nullptr, 0); // the object now owns copy's block
}

char* String::GetBuffer(unsigned n) {
    const unsigned length = Length();
    if (length < n) {
        if (!Grow(n - length, false)) {
            return nullptr;
        }
    } else {
        MakeUnique();
    }
    return const_cast<char*>(Text());
}

void String::ReleaseBuffer(int n) {
    MakeUnique();
    char* text = const_cast<char*>(Text());
    const unsigned length =
        n == -1 ? static_cast<unsigned>(strlen(text)) : static_cast<unsigned>(n);
    if (IsHeap()) {
        SetHeapLength(length);
        text[length] = '\0';
    } else {
        SetInlineLength(length);
    }
}

String& String::Format(const char* format, ...) {
    constexpr unsigned room = kFormatKeeps + 1;
    char* p = GetBuffer(room);
    va_list args;
    va_start(args, format);
    _vsnprintf(p, room, format, args);
    va_end(args);
    p[room - 1] = '\0';
    ReleaseBuffer(-1);
    return *this;
}

String Concat(const String& a, const String& b) {
    String result(a);
    result.Append(b);
    return result;
}

String Concat(const String& a, const char* b) {
    String result(a);
    result.Append(b);
    return result;
}

int IsPossiblyCutPath(const char* text) {
    return text != nullptr && strlen(text) >= String::kFormatKeeps ? 1 : 0;
}
