#include "platform/posix/paths/path_map.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/posix/paths/drives.h"
#include "platform/posix/paths/held_folders.h"
#include "platform/posix/paths/recent_lookup.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/core/machine.h"
#include "platform/posix/console/code_page.h"
#include "platform/posix/console/user_api.h"

namespace ovlayer {
namespace {

struct CurrentState {
    bool known = false;
    bool watching = false;
    std::string folder;
};

CurrentState& Current() {
    static CurrentState state;
    return state;
}

void ForgetCurrentFolder() {
    Current().known = false;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsRefusedInName(const std::string& part) {
    for (size_t i = 0; i < part.size(); i += CharBytes(part.c_str() + i)) {
        const unsigned char c = static_cast<unsigned char>(part[i]);
        if (c < 0x20 || strchr("*?<>|\":", c) != nullptr) {
            return true;
        }
    }
    return false;
}

// Splits `text` at separators into `parts`, resolving "." and ".." as it goes.
void AppendComponents(const char* text, std::vector<std::string>* parts) {
    const char* start = text;
    const char* p = text;
    for (;;) {
        if (*p == '\0' || IsSeparator(*p)) {
            std::string part(start, p);
            if (part == "..") {
                if (!parts->empty()) {
                    parts->pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts->push_back(part);
            }
            if (*p == '\0') {
                return;
            }
            start = ++p;
        } else {
            p += CharBytes(p);
        }
    }
}

// Windows drops one trailing period from every component and, unless the text ends with a
// separator, every trailing period and space from the last one.
void TrimComponents(WindowsPath* path) {
    auto& parts = path->parts;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string& part = parts[i];
        if (i + 1 == parts.size() && !path->trailingSeparator) {
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
                part.pop_back();
            }
        } else if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') {
            part.pop_back();
        }
    }
    if (!parts.empty() && parts.back().empty()) {
        parts.pop_back();
    }
}

// The entry of `directory` whose name matches `name` ignoring case; the smallest such name when
// the host holds several, so that the choice does not depend on the listing order.
bool FindNameIgnoringCase(const std::string& directory, const std::string& name,
                          std::string* actual) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (SameNameIgnoringCase(entry->d_name, name.c_str()) &&
            (!found || strcmp(entry->d_name, actual->c_str()) < 0)) {
            *actual = entry->d_name;
            found = true;
        }
    }
    closedir(dir);
    return found;
}

bool IsFolderOnHost(const std::string& host, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return true;
    }
    struct stat target;
    return S_ISLNK(info.st_mode) && stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
}

// Component by component, for a path whose exact host form is missing.
DWORD WalkIgnoringCase(const std::string& root, const WindowsPath& path, HostEntry* out) {
    std::string current = root;
    for (size_t i = 0; i < path.parts.size(); ++i) {
        const bool last = i + 1 == path.parts.size();
        std::string candidate = current + '/' + path.parts[i];
        struct stat info;
        if (lstat(candidate.c_str(), &info) != 0) {
            const int error = errno;
            std::string actual;
            if (error == ENOENT && FindNameIgnoringCase(current, path.parts[i], &actual)) {
                candidate = current + '/' + actual;
            }
            if (actual.empty() || lstat(candidate.c_str(), &info) != 0) {
                if (last && error == ENOENT) {
                    out->host = candidate;
                    return ERROR_FILE_NOT_FOUND;
                }
                return ERROR_PATH_NOT_FOUND;
            }
        }
        if (!last && !IsFolderOnHost(candidate, info)) {
            return ERROR_PATH_NOT_FOUND;
        }
        current = candidate;
        out->info = info;
    }
    out->host = current;
    out->exists = true;
    return ERROR_SUCCESS;
}

std::string HostJoin(const std::string& root, const std::vector<std::string>& parts) {
    std::string host = root;
    for (const std::string& part : parts) {
        host += '/';
        host += part;
    }
    return host;
}

// A path below a drive's root, looked up from the deepest folder the process holds on the way,
// else from the drive's host folder. A listing's folder (the text ends with a separator) is
// taken from its own hold: "/proc/self/fd/N/." names the held folder, whatever its name names now.
DWORD FindBelow(const std::string& driveRoot, const WindowsPath& path, HostEntry* entry) {
    std::string root = driveRoot;
    size_t covered = 0;
    int fd = AT_FDCWD;
    const WindowsPath* rest = &path;
    WindowsPath below;
    if (FindHeldFolder(path, path.trailingSeparator, &fd, &covered)) {
        root = "/proc/self/fd/" + std::to_string(fd);
        below.drive = path.drive;
        below.parts.assign(path.parts.begin() + static_cast<std::ptrdiff_t>(covered),
                           path.parts.end());
        if (below.parts.empty()) {
            below.parts.push_back(".");
        }
        rest = &below;
    }
    entry->host = HostJoin(root, rest->parts);
    if (fd != AT_FDCWD) {
        entry->dirFd = fd;
        entry->below = HostJoin(".", rest->parts);
    }
    entry->exists = fstatat(entry->dirFd, entry->At(), &entry->info, AT_SYMLINK_NOFOLLOW) == 0;
    if (entry->exists) {
        return ERROR_SUCCESS;
    }
    // Matched ignoring case, the entry is named by its host path alone.
    entry->dirFd = AT_FDCWD;
    entry->below.clear();
    return WalkIgnoringCase(root, *rest, entry);
}

// The Windows form of the host's working folder when it lies inside a drive.
std::string InitialCurrentFolder() {
    char cwd[PATH_MAX];
    char real[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr && realpath(cwd, real) != nullptr) {
        const std::string here = real;
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            const std::string folder = DriveFolder(letter);
            char root[PATH_MAX];
            if (folder.empty() || realpath(folder.c_str(), root) == nullptr) {
                continue;
            }
            const std::string prefix = root;
            if (here == prefix || here.compare(0, prefix.size() + 1, prefix + "/") == 0) {
                std::string inside = here.substr(prefix.size());
                for (char& c : inside) {
                    c = c == '/' ? '\\' : c;
                }
                return std::string(1, letter) + ":" + (inside.empty() ? "\\" : inside);
            }
        }
    }
    return "C:\\windows";
}

} // namespace

std::string WindowsPath::Text() const {
    std::string text(1, drive);
    text += ":\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        text += i == 0 ? "" : "\\";
        text += parts[i];
    }
    return text;
}

size_t CharBytes(const char* p) {
    if (static_cast<unsigned char>(*p) < 0x80) {
        return 1;
    }
    const char* next = CharNextA(p);
    return next > p + 1 && p[1] != '\0' ? 2 : 1;
}

bool SameNameIgnoringCase(const char* a, const char* b) {
    const unsigned codePage = MachineCodePage();
    while (*a != '\0' && *b != '\0') {
        const size_t bytes = CharBytes(a);
        if (bytes != CharBytes(b)) {
            return false;
        }
        if (bytes == 1 ? UpperCaseByte(codePage, static_cast<unsigned char>(*a)) !=
                             UpperCaseByte(codePage, static_cast<unsigned char>(*b))
                       : memcmp(a, b, bytes) != 0) {
            return false;
        }
        a += bytes;
        b += bytes;
    }
    return *a == *b;
}

DWORD ParseWindowsPath(const char* text, WindowsPath* out) {
    if (text == nullptr || *text == '\0') {
        return ERROR_PATH_NOT_FOUND;
    }
    if ((strncmp(text, "\\\\?\\", 4) == 0 || strncmp(text, "\\\\.\\", 4) == 0) &&
        IsAsciiLetter(text[4]) && text[5] == ':') {
        text += 4;
    } else if (IsSeparator(text[0]) && IsSeparator(text[1])) {
        return kErrorBadNetPath;
    }
    WindowsPath path;
    const std::string& current = CurrentFolder();
    const char* rest = text;
    bool relative = true;
    if (IsAsciiLetter(text[0]) && text[1] == ':') {
        path.drive = UpperAscii(text[0]);
        rest = text + 2;
        relative = !IsSeparator(*rest) && path.drive == current[0];
    } else if (text[1] == ':') {
        return ERROR_INVALID_NAME;
    } else {
        path.drive = current[0];
        relative = !IsSeparator(*rest);
    }
    if (relative) {
        AppendComponents(current.c_str() + 3, &path.parts);
    }
    AppendComponents(rest, &path.parts);
    const size_t length = strlen(rest);
    path.trailingSeparator = length > 0 && IsSeparator(rest[length - 1]);
    TrimComponents(&path);
    for (const std::string& part : path.parts) {
        if (IsRefusedInName(part)) {
            return ERROR_INVALID_NAME;
        }
    }
    *out = std::move(path);
    return ERROR_SUCCESS;
}

DWORD FindHostEntry(const char* text, HostEntry* out, WindowsPath* parsed) {
    ForgetLookup();
    WindowsPath path;
    const DWORD status = ParseWindowsPath(text, &path);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::string root = DriveFolder(path.drive);
    if (root.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    HostEntry entry;
    entry.isRoot = path.parts.empty();
    DWORD result = ERROR_SUCCESS;
    if (entry.isRoot) {
        entry.host = root;
        entry.exists = stat(root.c_str(), &entry.info) == 0;
        result = entry.exists ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    } else {
        result = FindBelow(root, path, &entry);
    }
    if (entry.exists && path.trailingSeparator && !IsFolderEntry(entry)) {
        result = ERROR_PATH_NOT_FOUND;
    }
    *out = std::move(entry);
    if (parsed != nullptr) {
        *parsed = std::move(path);
    }
    return result;
}

bool IsFolderEntry(const HostEntry& entry) {
    return entry.exists && IsFolderOnHost(entry.host, entry.info);
}

const std::string& CurrentFolder() {
    CurrentState& state = Current();
    if (!state.known) {
        if (!state.watching) {
            OnMachineChange(&ForgetCurrentFolder);
            state.watching = true;
        }
        state.folder = InitialCurrentFolder();
        state.known = true;
    }
    return state.folder;
}

void SetCurrentFolder(const std::string& fullPath) {
    CurrentFolder();
    Current().folder = fullPath;
}

} // namespace ovlayer
