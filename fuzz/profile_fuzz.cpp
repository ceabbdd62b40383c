// The layer's profile (.ini) reader on any file: a list cut to fit a buffer is the start of the
// whole list and stays inside the buffer, and a section written back with what was read from it
// reads the same, leaving every other section as it was.
#include "fuzz/fuzz_input.h"
#include "platform/posix/files/file_api.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/profiles/profile_api.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kFile = "C:\\windows\\fuzz.ini";
const DWORD kWhole = 1 << 16; // well past any list of a 4 KiB file
std::string hostFile;

// The texts of a double-terminated list.
std::vector<std::string> Split(const char* list, DWORD length) {
    std::vector<std::string> texts;
    for (DWORD at = 0; at < length; at += static_cast<DWORD>(std::strlen(list + at)) + 1) {
        texts.push_back(list + at);
    }
    return texts;
}

using Reader = DWORD (*)(const char* section, char* buffer, DWORD size);

DWORD Names(const char*, char* buffer, DWORD size) {
    return GetPrivateProfileSectionNamesA(buffer, size, kFile);
}

DWORD Section(const char* section, char* buffer, DWORD size) {
    return GetPrivateProfileSectionA(section, buffer, size, kFile);
}

// Reads the list whole, then into a buffer of exactly `small` bytes (so that the sanitizer sees
// a byte written past it), and checks that the cut list is the start of the whole one.
std::vector<std::string> ReadBothWays(Reader read, const char* section, DWORD small) {
    std::vector<char> whole(kWhole);
    const DWORD length = read(section, whole.data(), kWhole);
    if (length >= kWhole - 2 || whole[length] != '\0') {
        fuzzing::Fault("the whole list is not terminated where its length says");
    }
    std::unique_ptr<char[]> cut(new char[small]);
    const DWORD cutLength = read(section, cut.get(), small);
    if (cutLength >= small || cut[cutLength] != '\0' ||
        std::memcmp(cut.get(), whole.data(), cutLength) != 0) {
        fuzzing::Fault("a list cut to fit is not the start of the whole list");
    }
    if (length + 2 <= small && cutLength != length) {
        fuzzing::Fault("a list that fits was cut");
    }
    return Split(whole.data(), length);
}

std::vector<std::string> Entries(const std::string& section) {
    return ReadBothWays(Section, section.c_str(), kWhole);
}

void WriteBackUnchanged(const std::vector<std::string>& names, size_t which) {
    std::vector<std::vector<std::string>> before;
    for (const std::string& name : names) {
        before.push_back(Entries(name));
    }
    // Windows drops a written string without "=": the section keeps only the others.
    std::string text;
    std::vector<std::string> kept;
    for (const std::string& entry : before[which]) {
        if (entry.find('=') != std::string::npos) {
            text += entry + '\0';
            kept.push_back(entry);
        }
    }
    text += '\0';
    if (!WritePrivateProfileSectionA(names[which].c_str(), text.c_str(), kFile)) {
        fuzzing::Fault("the section could not be written back");
    }
    // Every name that is the written one but for letter case reads that same first section.
    for (size_t i = 0; i < names.size(); ++i) {
        if (ovlayer::SameNameIgnoringCase(names[i].c_str(), names[which].c_str())) {
            before[i] = kept;
        }
    }
    if (ReadBothWays(Names, nullptr, kWhole) != names) {
        fuzzing::Fault("writing a section back changed the section names");
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (Entries(names[i]) != before[i]) {
            fuzzing::Fault("a section reads differently after one was written back");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::UseScratchMachine("1252");
    GetFileAttributesA(kFile); // makes the machine folder
    hostFile = std::string(getenv("OVUNINST_MACHINE")) + "/drive_c/windows/fuzz.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::Input in(data, size);
    const DWORD small = 1 + (in.Byte() | (in.Byte() << 8)) % 1024;
    const size_t which = in.Byte();
    const size_t used = size < 3 ? size : 3; // the rest is the file
    data += used;
    size -= used;
    FILE* file = fopen(hostFile.c_str(), "wb");
    if (!file) {
        fuzzing::Fault("the profile file cannot be written");
    }
    fwrite(data, 1, size, file);
    fclose(file);

    const std::vector<std::string> names = ReadBothWays(Names, nullptr, small);
    for (const std::string& name : names) {
        ReadBothWays(Section, name.c_str(), small);
    }
    // A NUL inside a line ends its entry early, so only a file without one reads back the same.
    if (!names.empty() && std::memchr(data, '\0', size) == nullptr) {
        WriteBackUnchanged(names, which % names.size());
    }
    return 0;
}
