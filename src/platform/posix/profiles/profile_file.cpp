#include "platform/posix/profiles/profile_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/posix/files/file_errors.h"
#include "platform/posix/core/machine.h"
#include "platform/posix/paths/path_map.h"

namespace ovlayer {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a';
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// The entry a line gives, or "" for a blank line or a remark.
std::string EntryOf(const std::string& rawLine) {
    const std::string line = Trimmed(rawLine);
    if (line.empty() || line[0] == ';') {
        return "";
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return line;
    }
    return Trimmed(line.substr(0, equals)) + "=" + Trimmed(line.substr(equals + 1));
}

// The header's name when the line is a section header.
bool HeaderOf(const std::string& rawLine, std::string* name) {
    const std::string line = Trimmed(rawLine);
    const size_t close = line.rfind(']');
    if (line.empty() || line[0] != '[' || close == std::string::npos) {
        return false;
    }
    *name = line.substr(1, close - 1);
    return true;
}

} // namespace

std::string ProfileFile::FullPath(const char* fileName) {
    const bool bare = std::strchr(fileName, '\\') == nullptr &&
                      std::strchr(fileName, '/') == nullptr &&
                      !(fileName[0] != '\0' && fileName[1] == ':');
    return bare ? std::string(kWindowsFolder) + "\\" + fileName : std::string(fileName);
}

DWORD ProfileFile::Load(const std::string& path) {
    sections_.assign(1, ProfileSection());
    HostEntry entry;
    const DWORD status = FindHostEntry(path.c_str(), &entry);
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::ifstream file(entry.host, std::ios::binary);
    if (!file) {
        return StatusFromHostErrno(errno);
    }
    // Read in one piece: a character at a time took most of a large file's time.
    file.seekg(0, std::ios::end);
    std::string text(static_cast<size_t>(std::max<std::streamoff>(file.tellg(), 0)), '\0');
    file.seekg(0, std::ios::beg);
    file.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        ProfileSection section;
        if (HeaderOf(line, &section.name)) {
            section.named = true;
            sections_.push_back(std::move(section));
        } else {
            sections_.back().lines.push_back(std::move(line));
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

DWORD ProfileFile::Save(const std::string& path) const {
    HostEntry entry;
    const DWORD status = FindHostEntry(path.c_str(), &entry);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    if (status == ERROR_SUCCESS && IsFolderEntry(entry)) {
        return ERROR_ACCESS_DENIED;
    }
    std::string text;
    for (const ProfileSection& section : sections_) {
        if (section.named) {
            text += "[" + section.name + "]\r\n";
        }
        for (const std::string& line : section.lines) {
            text += line + "\r\n";
        }
    }
    std::ofstream file(entry.host, std::ios::binary | std::ios::trunc);
    if (!file) {
        return StatusFromHostErrno(errno);
    }
    file << text;
    file.flush();
    return file ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::vector<std::string> ProfileFile::SectionNames() const {
    std::vector<std::string> names;
    for (const ProfileSection& section : sections_) {
        if (section.named && !section.name.empty()) {
            names.push_back(section.name);
        }
    }
    return names;
}

bool ProfileFile::Entries(const char* section, std::vector<std::string>* out) const {
    const ProfileSection* found = Find(section);
    if (found == nullptr) {
        return false;
    }
    for (const std::string& line : found->lines) {
        const std::string entry = EntryOf(line);
        if (!entry.empty()) {
            out->push_back(entry);
        }
    }
    return true;
}

void ProfileFile::Replace(const char* section, const std::vector<std::string>& lines) {
    ProfileSection* found = Find(section);
    if (found == nullptr) {
        ProfileSection added;
        added.named = true;
        added.name = section;
        sections_.push_back(added);
        found = &sections_.back();
    }
    found->lines = lines;
}

void ProfileFile::Remove(const char* section) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
        if (it->named && SameNameIgnoringCase(it->name.c_str(), section)) {
            sections_.erase(it);
            return;
        }
    }
}

ProfileSection* ProfileFile::Find(const char* section) {
    for (ProfileSection& candidate : sections_) {
        if (candidate.named && SameNameIgnoringCase(candidate.name.c_str(), section)) {
            return &candidate;
        }
    }
    return nullptr;
}

const ProfileSection* ProfileFile::Find(const char* section) const {
    return const_cast<ProfileFile*>(this)->Find(section);
}

} // namespace ovlayer
