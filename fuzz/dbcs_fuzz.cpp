// The double-byte utilities on code page 932, on any bytes (lead bytes at the end, trail bytes
// that look like separators): every pointer they give stays inside the text, and ASan sees
// every byte they read.
#include "fuzz/fuzz_input.h"
#include "support/mb_text.h"

#include <string.h>

#include <vector>

namespace {

void Inside(const char* p, const char* text, size_t length) {
    if (p && (p < text || p > text + length)) {
        fuzzing::Fault("a pointer outside the text");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::UseScratchMachine("932");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!IsDbcsEnabled()) {
        fuzzing::Fault("code page 932 is not double-byte");
    }
    fuzzing::Input in(data, size);
    const int c = in.Byte();
    const std::string pattern = in.Text(6);
    const std::string body = in.Text(255);
    // Exactly as long as the text: a read past its terminator is a heap overflow.
    std::vector<char> owned(body.c_str(), body.c_str() + body.size() + 1);
    const char* text = owned.data();
    const size_t length = body.size();

    std::vector<const char*> steps;
    for (const char* p = text; *p; p = MbNext(p)) {
        Inside(p, text, length);
        steps.push_back(p);
    }
    for (const char* p = text + length; p > text;) {
        const char* back = MbPrev(text, p);
        if (back >= p) {
            fuzzing::Fault("MbPrev did not move back");
        }
        Inside(back, text, length);
        p = back;
    }
    const char* found = MbFindChar(text, c);
    Inside(found, text, length);
    if (found && static_cast<unsigned char>(*found) != static_cast<unsigned char>(c)) {
        fuzzing::Fault("MbFindChar found another byte");
    }
    Inside(MbFindLastChar(text, c), text, length);
    const char* match = MbFindText(text, pattern.c_str());
    Inside(match, text, length);
    if (match && strncmp(match, pattern.c_str(), pattern.size()) != 0) {
        fuzzing::Fault("MbFindText found another text");
    }
    const size_t room = in.Byte() % 16;
    std::vector<char> copy(room + 1, '\x7f');
    CopyBounded(room ? copy.data() : nullptr, text, room);
    if (room && strnlen(copy.data(), room) >= room) {
        fuzzing::Fault("CopyBounded left its copy unterminated");
    }
    return 0;
}
