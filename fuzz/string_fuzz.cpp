// String's operations against std::string: texts that share a heap block, grow, shrink and are
// written through GetBuffer always hold what the model holds, and ASan sees every byte touched.
#include "fuzz/fuzz_input.h"
#include "support/string.h"

#include <string.h>

namespace {

constexpr int kSlots = 4;

void Check(const String& text, const std::string& model) {
    if (text.Length() != model.size() || memcmp(text.Text(), model.c_str(), model.size() + 1)) {
        fprintf(stderr, "String %u \"%s\", model %zu \"%s\"\n", text.Length(), text.Text(),
                model.size(), model.c_str());
        fuzzing::Fault("a String differs from its model");
    }
}

// An append past the longest text changes nothing.
void AppendToModel(std::string& model, const std::string& tail) {
    if (model.size() + tail.size() <= String::kMaxLength) {
        model += tail;
    }
}

void Step(fuzzing::Input& in, String* texts, std::string* models) {
    const uint8_t op = in.Byte();
    const int a = op % kSlots;
    const int b = (op / kSlots) % kSlots;
    String& t = texts[a];
    std::string& m = models[a];
    const unsigned n = in.Byte();
    if (getenv("OV_FUZZ_TRACE")) {
        fprintf(stderr, "op %d on %d from %d, n %u\n", (op / (kSlots * kSlots)) % 12, a, b, n);
    }
    switch ((op / (kSlots * kSlots)) % 12) {
    case 0: {
        const std::string text = in.Text(40);
        t = text.c_str();
        m = text;
        break;
    }
    case 1: {
        const std::string text = in.Text(40);
        t.Append(text.c_str(), static_cast<unsigned>(text.size()));
        AppendToModel(m, text);
        break;
    }
    case 2:
        t += static_cast<char>(n ? n : 'y');
        AppendToModel(m, std::string(1, static_cast<char>(n ? n : 'y')));
        break;
    case 3:
        t = texts[b];
        m = models[b];
        break;
    case 4:
        t += texts[b];
        AppendToModel(m, models[b]);
        break;
    case 5:
        t = texts[b].Left(n);
        m = models[b].substr(0, n);
        break;
    case 6:
        t = texts[b].Right(n);
        m = models[b].substr(models[b].size() - std::min<size_t>(n, models[b].size()));
        break;
    case 7: {
        const unsigned start = in.Byte();
        t = texts[b].Mid(start, n);
        m = start > models[b].size() ? std::string() : models[b].substr(start, n);
        break;
    }
    case 8: {
        // Writes n bytes through the buffer and keeps the first `keep` of them.
        char* buffer = t.GetBuffer(n);
        const unsigned keep = in.Byte() % (n + 1);
        memset(buffer, 'w', n);
        buffer[n] = '\0';
        t.ReleaseBuffer(static_cast<int>(keep));
        m.assign(keep, 'w');
        break;
    }
    case 9:
        t.Empty();
        m.clear();
        break;
    case 10: {
        const std::string needle = in.Text(4);
        const size_t found = m.find(needle);
        if (t.Find(needle.c_str()) != (found == std::string::npos ? -1 : static_cast<int>(found))) {
            fuzzing::Fault("Find differs from the model");
        }
        break;
    }
    default:
        if (models[b].size() + models[a].size() <= String::kMaxLength) {
            t = Concat(texts[b], models[a].c_str());
            m = models[b] + models[a];
        }
        break;
    }
    for (int i = 0; i < kSlots; ++i) {
        Check(texts[i], models[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::UseScratchMachine("1252"); // Find steps through texts by the system's code page
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::Input in(data, size);
    String texts[kSlots];
    std::string models[kSlots];
    for (int steps = 0; !in.Empty() && steps < 200; ++steps) {
        Step(in, texts, models);
    }
    return 0;
}
