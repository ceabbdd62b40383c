// One profile (.ini) file as the profile functions see it: the lines before the first section
// header, then each section with its header and its lines, kept as they were read so that a
// section that is not rewritten is written back unchanged.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

struct ProfileSection {
    bool named = false;             // false only for the lines before the first header
    std::string name;               // the header's text between "[" and the last "]"
    std::vector<std::string> lines; // the lines after the header, line ends dropped
};

class ProfileFile {
public:
    // A bare file name is a file in the Windows folder; any other path is used as given.
    static std::string FullPath(const char* fileName);

    // Reads the file; a missing file reads as one with no sections. 0 or the Win32 status.
    DWORD Load(const std::string& path);
    // Writes every section back with "\r\n" line ends. 0 or the Win32 status.
    DWORD Save(const std::string& path) const;

    // The named sections' names, in file order.
    std::vector<std::string> SectionNames() const;
    // The entries of the first section of that name (letter case ignored), "name=value" with the
    // blanks around "=" dropped, or a bare name for a line without "="; blank lines and remarks
    // (";") are not entries. False when there is no such section.
    bool Entries(const char* section, std::vector<std::string>* out) const;
    // Replaces the section's lines by these (the section is added at the end when missing).
    void Replace(const char* section, const std::vector<std::string>& lines);
    void Remove(const char* section);

private:
    ProfileSection* Find(const char* section);
    const ProfileSection* Find(const char* section) const;
    std::vector<ProfileSection> sections_;
};

} // namespace ovlayer
