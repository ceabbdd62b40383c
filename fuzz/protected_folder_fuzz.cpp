// The protected-folder judgement: one folder spelt another way (letter case, "/" for "\", "."
// and "x\.." components, doubled separators, trailing periods) gets the same answer.
#include "fs/removal_guard.h"
#include "fuzz/fuzz_input.h"

#include <cctype>

namespace {

std::string Replaced(std::string text, char from, char to) {
    for (char& ch : text) {
        ch = ch == from ? to : ch;
    }
    return text;
}

std::string Cased(std::string text, bool upper) {
    for (char& ch : text) {
        if (static_cast<unsigned char>(ch) < 0x80) {
            ch = static_cast<char>(upper ? toupper(ch) : tolower(ch));
        }
    }
    return text;
}

// A trailing period is dropped from a name, but makes "." into "..".
bool EndsWithAName(const std::string& path) {
    for (size_t at = path.size(); at > 0; --at) {
        const char ch = path[at - 1];
        if (ch == '\\' || ch == '/') {
            return false;
        }
        if (ch != '.' && ch != ' ') {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::UseScratchMachine("1252");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::Input in(data, size);
    // Folders below C:\ as the fuzzer spells them; the drive's root is the common ancestor.
    const std::string below = in.Text(200);
    const std::string path = "C:\\" + below;
    const int answer = IsProtectedFolder(path.c_str()) != 0;
    const std::string spellings[] = {
        Cased(path, true),
        Cased(path, false),
        Replaced(path, '\\', '/'),
        "C:\\.\\" + below,
        "C:\\Lumo\\..\\" + below,
        "C:\\\\" + below,
        path + "\\.",
        EndsWithAName(path) ? path + "." : path,
    };
    for (const std::string& spelling : spellings) {
        if ((IsProtectedFolder(spelling.c_str()) != 0) != answer) {
            fprintf(stderr, "\"%s\" %d, \"%s\" %d\n", path.c_str(), answer, spelling.c_str(),
                    !answer);
            fuzzing::Fault("two spellings of one folder are judged apart");
        }
    }
    return 0;
}
