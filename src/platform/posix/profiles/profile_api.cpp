// The kernel32 profile functions on the machine's files, with the lengths, terminators and
// truncation Windows (and Wine) give: a list cut to fit a buffer answers size - 2. Each one
// writes a journal line and honours an injected failure.
#include "platform/posix/profiles/profile_api.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/files/file_api.h"
#include "platform/posix/profiles/profile_cache.h"
#include "platform/posix/core/test_controls.h"

namespace {

using namespace ovlayer;

std::string Text(const char* text) {
    return JournalText(text);
}

bool Called(const std::string& line, Call function) {
    Record(line);
    long status;
    if (!TakeInjectedFailure(function, &status)) {
        return false;
    }
    SetLastError(static_cast<DWORD>(status));
    return true;
}

// The names one after another, each with its terminator, then one more. A name that does not
// fit keeps what fits before its terminator, and the list then has no second terminator: the
// answer is size - 2.
DWORD CopyNames(const std::vector<std::string>& names, char* buffer, DWORD size) {
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    DWORD left = size - 1;
    char* at = buffer;
    for (const std::string& name : names) {
        const DWORD needed = static_cast<DWORD>(name.size()) + 1;
        if (needed >= left) {
            std::memcpy(at, name.data(), left - 1);
            at[left - 1] = '\0';
            return size - 2;
        }
        std::memcpy(at, name.c_str(), needed);
        at += needed;
        left -= needed;
    }
    *at = '\0';
    return static_cast<DWORD>(at - buffer);
}

// The entries with their terminators, then one more. Entries that do not fit are cut after
// size - 2 bytes and two terminators follow: the answer is size - 2.
DWORD CopyEntries(const std::vector<std::string>& entries, char* buffer, DWORD size) {
    std::string all;
    for (const std::string& entry : entries) {
        all += entry;
        all += '\0';
    }
    if (size < 2) {
        if (size == 1) {
            buffer[0] = '\0';
        }
        return 0;
    }
    if (all.empty()) {
        buffer[0] = buffer[1] = '\0'; // an empty list is an empty text and its terminator
        return 0;
    }
    if (all.size() + 1 < size) {
        std::memcpy(buffer, all.c_str(), all.size() + 1);
        return static_cast<DWORD>(all.size());
    }
    std::memcpy(buffer, all.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

// The lines a written text gives: each "name=value" string, its line feeds making further lines
// so that each line stays one entry; a string without "=" is dropped, as Windows drops it.
std::vector<std::string> LinesOf(const char* text) {
    std::vector<std::string> lines;
    for (const char* entry = text; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string whole(entry);
        if (whole.find('=') == std::string::npos) {
            continue;
        }
        size_t start = 0;
        while (start <= whole.size()) {
            size_t end = whole.find('\n', start);
            end = end == std::string::npos ? whole.size() : end;
            std::string line = whole.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty()) {
                lines.push_back(line);
            }
            start = end + 1;
        }
    }
    return lines;
}

} // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR fileName) {
    if (Called("GetPrivateProfileSectionNamesA(" + std::to_string(size) + ", " + Text(fileName) +
                   ")",
               Call::GetPrivateProfileSectionNamesA) ||
        buffer == nullptr || size == 0 || fileName == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(ProfileLock());
    DWORD status = ERROR_SUCCESS;
    const ProfileFile* file = CachedProfile(ProfileFile::FullPath(fileName), &status);
    if (file == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    return CopyNames(file->SectionNames(), buffer, size);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName) {
    if (Called("GetPrivateProfileSectionA(" + Text(section) + ", " + std::to_string(size) + ", " +
                   Text(fileName) + ")",
               Call::GetPrivateProfileSectionA)) {
        return 0;
    }
    if (section == nullptr || buffer == nullptr || fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> hold(ProfileLock());
    DWORD status = ERROR_SUCCESS;
    std::vector<std::string> entries;
    if (const ProfileFile* file = CachedProfile(ProfileFile::FullPath(fileName), &status)) {
        file->Entries(section, &entries);
    }
    return CopyEntries(entries, buffer, size);
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR section, LPCSTR text, LPCSTR fileName) {
    if (Called("WritePrivateProfileSectionA(" + Text(section) + ", " + Text(fileName) + ")",
               Call::WritePrivateProfileSectionA)) {
        return FALSE;
    }
    if (section == nullptr || fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = ProfileFile::FullPath(fileName);
    std::lock_guard<std::mutex> hold(ProfileLock());
    DWORD status = ERROR_SUCCESS;
    if (ProfileFile* file = CachedProfile(path, &status)) {
        if (text == nullptr) {
            file->Remove(section); // a null text deletes the section
        } else {
            file->Replace(section, LinesOf(text));
        }
        status = SaveCachedProfile(path);
    }
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
