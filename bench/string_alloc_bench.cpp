// Heap allocations per String operation: malloc and realloc calls made by the String code (linked
// with --wrap, so that only the calls from the static core library are counted), per operation,
// over many repetitions. Texts of up to 7 bytes live inside the object and take none; an append
// takes at most one.
//
//   string_alloc_bench        prints one line per operation: "<operation> <allocations each> <most
//                             allowed>", and exits 1 when an operation takes more than allowed
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "support/string.h"

namespace {
long allocations = 0;
}

extern "C" {
void* __real_malloc(size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size) {
    ++allocations;
    return __real_malloc(size);
}
void* __wrap_realloc(void* block, size_t size) {
    ++allocations;
    return __real_realloc(block, size);
}
}

namespace {

constexpr int kRepeats = 10000;

struct Case {
    const char* name;
    double allowed;
    std::function<void(std::vector<String>*)> operation;
};

// Allocations per call of `operation`, each call on a fresh element of `strings` (made
// beforehand, outside the count, by `prepare`).
double PerCall(const Case& c, const std::function<String()>& prepare) {
    std::vector<String> strings(kRepeats);
    for (String& s : strings) {
        s = prepare();
    }
    const long before = allocations;
    c.operation(&strings);
    return static_cast<double>(allocations - before) / kRepeats;
}

} // namespace

int main() {
    const String shortText("seven!!");
    const String longText("a text longer than seven bytes");
    struct Measured {
        Case c;
        std::function<String()> prepare;
    };
    auto each = [](std::function<void(String&)> f) {
        return [f](std::vector<String>* strings) {
            for (String& s : *strings) {
                f(s);
            }
        };
    };
    std::vector<Measured> cases = {
        {{"construct 7 bytes", 0, each([](String& s) { s = String("1234567"); })},
         [] { return String(); }},
        {{"assign 7 bytes", 0, each([](String& s) { s = "abcdefg"; })}, [] { return String(); }},
        {{"copy 7 bytes", 0, each([&](String& s) { s = shortText; })}, [] { return String(); }},
        {{"append to 7 bytes in all", 0, each([](String& s) { s.Append("def"); })},
         [] { return String("abcd"); }},
        {{"Left/Mid/Right of 7 bytes", 0, each([&](String& s) {
              s = shortText.Left(3);
              s = shortText.Mid(2, 3);
              s = shortText.Right(2);
          })},
         [] { return String(); }},
        {{"Left of a long text, 7 bytes kept", 0, each([&](String& s) { s = longText.Left(7); })},
         [] { return String(); }},
        {{"construct 30 bytes", 1,
          each([](String& s) { s = String("a text longer than seven bytes"); })},
         [] { return String(); }},
        // A block is shared by up to 255 copies (an 8-bit count); a further copy takes a block.
        {{"copy 30 bytes (shared)", 0, each([](String& s) {
              const String copy(s);
              s = copy;
          })},
         [] { return String("a text longer than seven bytes"); }},
        {{"append to a long text", 1, each([](String& s) { s.Append("\\file.dat"); })},
         [] { return String("C:\\Program Files\\Lumo"); }},
        {{"append to a shared long text", 1, each([](String& s) { s.Append("\\file.dat"); })},
         [&] { return longText; }},
        {{"append growing past 7 bytes", 1, each([](String& s) { s.Append("\\file.dat"); })},
         [] { return String("C:"); }},
    };
    int missed = 0;
    for (const Measured& m : cases) {
        const double got = PerCall(m.c, m.prepare);
        const bool met = got <= m.c.allowed;
        missed += met ? 0 : 1;
        printf("%-36s %.2f allocations each (goal %s %.0f) %s\n", m.c.name, got,
               m.c.allowed == 0 ? "" : "at most", m.c.allowed, met ? "met" : "MISSED");
    }
    return missed == 0 ? 0 : 1;
}
