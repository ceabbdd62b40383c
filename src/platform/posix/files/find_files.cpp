// FindFirstFileA, FindNextFileA and FindClose. A search lists its folder once, when it starts:
// entries sorted by name ignoring case (as NTFS returns them), "." and ".." first except at a
// drive's root, where Windows has neither. Entries made or removed while the search is open are
// not looked for again.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/posix/files/file_api.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/file_ops.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/paths/recent_lookup.h"
#include "platform/posix/core/test_controls.h"

namespace ovlayer {
namespace {

struct FoundEntry {
    std::string name;
    DWORD attributes;
    struct stat info; // lstat of the entry (stat for "." and "..")
};

struct Search {
    std::string pattern; // as given, for the journal
    std::vector<FoundEntry> entries;
    size_t next = 0;
    // A listing's folder, as the pattern names it (the text before the mask) and on the host;
    // the host's is empty for a search of one name.
    std::string folderText;
    std::string folderHost;
    int folderFd = AT_FDCWD; // the folder's HostEntry::dirFd and below
    std::string folderBelow;
};

std::unordered_set<Search*>& OpenSearches() {
    static std::unordered_set<Search*> searches;
    return searches;
}

Search* OpenSearch(HANDLE handle) {
    auto* search = static_cast<Search*>(handle);
    return OpenSearches().count(search) != 0 ? search : nullptr;
}

FILETIME ToFileTime(const struct timespec& time) {
    // 100-nanosecond intervals since 1601-01-01.
    const uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + 11644473600ULL) * 10000000ULL +
                           static_cast<uint64_t>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

FoundEntry MakeEntry(const std::string& name, const struct stat& info, DWORD attributes) {
    return FoundEntry{name, attributes, info};
}

void Fill(const FoundEntry& entry, WIN32_FIND_DATAA* data) {
    memset(data, 0, sizeof *data);
    const bool folder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const off_t size = folder ? 0 : entry.info.st_size;
    data->dwFileAttributes = entry.attributes;
    data->ftCreationTime = ToFileTime(entry.info.st_ctim);
    data->ftLastAccessTime = ToFileTime(entry.info.st_atim);
    data->ftLastWriteTime = ToFileTime(entry.info.st_mtim);
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    strncpy(data->cFileName, entry.name.c_str(), MAX_PATH - 1);
}

// A name that the folder's text and a separator before it make into a path naming the entry
// itself: not "." or "..", and nothing that taking a path apart changes or refuses (separators,
// trailing periods and spaces, control and wildcard characters). Any other name is looked up
// anew when asked for.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || strchr("\\/*?<>|\":", c) != nullptr) {
            return false;
        }
    }
    return true;
}

// A listed entry's look-up serves the next call on it (recent_lookup.h): a program clearing the
// read-only attribute of what it just listed does not look the file up again.
void Report(const Search& search, const FoundEntry& entry, WIN32_FIND_DATAA* data) {
    Fill(entry, data);
    if (search.folderHost.empty() || !IsPlainName(entry.name)) {
        return;
    }
    HostEntry found;
    found.host = search.folderHost + '/' + entry.name;
    if (search.folderFd != AT_FDCWD) {
        found.dirFd = search.folderFd;
        found.below = search.folderBelow + '/' + entry.name;
    }
    found.exists = true;
    found.info = entry.info;
    KeepLookup(LookupSource::kListing, search.folderText + entry.name, std::move(found));
}

bool HasWildcards(const std::string& mask) {
    return mask.find_first_of("*?") != std::string::npos;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// "*" any run of characters, "?" one character, letters compared ignoring case.
bool Matches(const char* name, const char* mask) {
    const char* starMask = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        const size_t bytes = CharBytes(name);
        if (*mask == '*') {
            starMask = ++mask;
            starName = name;
        } else if (*mask == '?') {
            ++mask;
            name += bytes;
        } else if (*mask != '\0' && bytes == CharBytes(mask) &&
                   (bytes == 1 ? UpperAscii(*mask) == UpperAscii(*name)
                               : memcmp(mask, name, bytes) == 0)) {
            mask += bytes;
            name += bytes;
        } else if (starMask != nullptr) {
            mask = starMask;
            name = starName += CharBytes(starName);
        } else {
            return false;
        }
    }
    while (*mask == '*') {
        ++mask;
    }
    return *mask == '\0';
}

bool NameOrder(const FoundEntry& a, const FoundEntry& b) {
    const size_t n = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(UpperAscii(a.name[i]));
        const unsigned char y = static_cast<unsigned char>(UpperAscii(b.name[i]));
        if (x != y) {
            return x < y;
        }
    }
    return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
}

DWORD ListFolder(const HostEntry& folder, const std::string& mask, std::vector<FoundEntry>* out) {
    DIR* dir = opendir(folder.host.c_str());
    if (dir == nullptr) {
        return ERROR_PATH_NOT_FOUND;
    }
    const bool all = mask == "*" || mask == "*.*";
    const int fd = dirfd(dir);
    // The folder itself, for "." and "..".
    struct stat self;
    const bool selfKnown = fstat(fd, &self) == 0;
    while (const dirent* found = readdir(dir)) {
        const char* name = found->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 ||
            (!all && !Matches(name, mask.c_str()))) {
            continue;
        }
        struct stat info;
        struct stat target;
        if (fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const bool hasTarget = S_ISLNK(info.st_mode) && fstatat(fd, name, &target, 0) == 0;
        out->push_back(
            MakeEntry(name, info, AttributesFromHost(info, hasTarget ? &target : nullptr)));
    }
    closedir(dir);
    std::sort(out->begin(), out->end(), NameOrder);
    if (!folder.isRoot) {
        if (selfKnown) {
            const char* dots[] = {".", ".."};
            for (int i = 1; i >= 0; --i) {
                if (all || Matches(dots[i], mask.c_str())) {
                    out->insert(out->begin(), MakeEntry(dots[i], self, FILE_ATTRIBUTE_DIRECTORY));
                }
            }
        }
    }
    return out->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

// Where the folder part of a search text ends: after its last separator, or after "X:".
size_t MaskStart(const char* text) {
    size_t start = 0;
    for (size_t i = 0; text[i] != '\0'; i += CharBytes(text + i)) {
        if (text[i] == '\\' || text[i] == '/') {
            start = i + 1;
        }
    }
    if (start == 0 && text[0] != '\0' && text[1] == ':') {
        start = 2;
    }
    return start;
}

DWORD StartSearch(const char* pattern, Search* search) {
    if (pattern == nullptr || *pattern == '\0') {
        return ERROR_PATH_NOT_FOUND;
    }
    const size_t maskStart = MaskStart(pattern);
    const std::string mask = pattern + maskStart;
    if (mask.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!HasWildcards(mask)) {
        HostEntry entry;
        const DWORD status = FindHostEntry(pattern, &entry);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (entry.isRoot) {
            return ERROR_FILE_NOT_FOUND;
        }
        const std::string name = entry.host.substr(entry.host.rfind('/') + 1);
        search->entries.push_back(MakeEntry(name, entry.info, AttributesOf(entry)));
        return ERROR_SUCCESS;
    }
    const std::string folderText =
        maskStart == 0 ? std::string(".") : std::string(pattern, maskStart);
    HostEntry folder;
    const DWORD status = FindHostEntry(folderText.c_str(), &folder);
    if (status != ERROR_SUCCESS) {
        return status == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : status;
    }
    if (!IsFolderEntry(folder)) {
        return ERROR_PATH_NOT_FOUND;
    }
    search->folderText.assign(pattern, maskStart);
    search->folderHost = folder.host;
    search->folderFd = folder.dirFd;
    search->folderBelow = folder.below;
    return ListFolder(folder, mask, &search->entries);
}

void Note(const char* function, const std::string& argument) {
    if (JournalRunning()) {
        Record(std::string(function) + "(" + argument + ")");
    }
}

} // namespace
} // namespace ovlayer

using namespace ovlayer;

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    Note("FindFirstFileA", pattern != nullptr ? pattern : "(null)");
    long injected;
    if (TakeInjectedFailure(Call::FindFirstFileA, &injected)) {
        SetLastError(static_cast<DWORD>(injected));
        return INVALID_HANDLE_VALUE;
    }
    auto* search = new Search;
    search->pattern = pattern != nullptr ? pattern : "";
    const DWORD status = StartSearch(pattern, search);
    if (status != ERROR_SUCCESS) {
        delete search;
        SetLastError(status);
        return INVALID_HANDLE_VALUE;
    }
    Report(*search, search->entries[0], data);
    search->next = 1;
    OpenSearches().insert(search);
    return search;
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    Search* search = OpenSearch(find);
    Note("FindNextFileA", search != nullptr ? search->pattern : "(invalid)");
    long injected;
    if (TakeInjectedFailure(Call::FindNextFileA, &injected)) {
        SetLastError(static_cast<DWORD>(injected));
        return FALSE;
    }
    if (search == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Report(*search, search->entries[search->next++], data);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    Search* search = OpenSearch(find);
    Note("FindClose", search != nullptr ? search->pattern : "(invalid)");
    long injected;
    if (TakeInjectedFailure(Call::FindClose, &injected)) {
        SetLastError(static_cast<DWORD>(injected));
        return FALSE;
    }
    if (search == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    OpenSearches().erase(search);
    delete search;
    return TRUE;
}

} // extern "C"
