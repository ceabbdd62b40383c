#include "registry/registry_backup.h"

#include "registry/registry_link.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/mb_text.h"
#include "support/removal_log.h"
#include "support/run_file.h"
#include "support/undo_file.h"

namespace {

constexpr DWORD kValueNameRoom = 16384; // Windows keeps value names of up to 16,383 characters
constexpr DWORD kKeyNameRoom = 260;     // key names: 255 characters on Windows, 256 under Wine
constexpr DWORD kFirstDataRoom = 4096;
constexpr int kReadTries = 8;       // a value that grows while it is read is asked for again
constexpr size_t kMostLevels = 512; // no key lies deeper below its root on Windows

int pauses = 0;

// A growing text that remembers a failed growth, so that a key too big for memory is left out
// rather than written in part.
class Text {
public:
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { free(bytes_); }

    void Append(const char* bytes, size_t count) {
        if (failed_ || !Reserve(count + 1)) {
            return;
        }
        memcpy(bytes_ + size_, bytes, count);
        size_ += count;
        bytes_[size_] = '\0';
    }
    void Append(const char* text) { Append(text, strlen(text)); }
    void Append(char c) { Append(&c, 1); }
    void Cut(size_t size) {
        if (!failed_ && size < size_) {
            size_ = size;
            bytes_[size_] = '\0';
        }
    }
    void Clear() {
        Cut(0);
        failed_ = false;
    }
    const char* Bytes() const { return bytes_ != nullptr ? bytes_ : ""; }
    size_t Size() const { return size_; }
    bool Failed() const { return failed_; }

private:
    bool Reserve(size_t more) {
        if (size_ + more <= room_) {
            return true;
        }
        size_t room = room_ == 0 ? 256 : room_;
        while (room < size_ + more) {
            room *= 2;
        }
        char* grown = static_cast<char*>(realloc(bytes_, room));
        if (grown == nullptr) {
            failed_ = true;
            return false;
        }
        bytes_ = grown;
        room_ = room;
        return true;
    }

    char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t room_ = 0;
    bool failed_ = false;
};

// The length of the character at p within [p, end): a double-byte character's trail byte is
// never taken for a backslash or a quote.
size_t CharLength(const char* p, const char* end) {
    const char* next = MbNext(p);
    return next > p + 1 && next <= end ? static_cast<size_t>(next - p) : 1;
}

// A name or a text in quotes, as regedit reads them: backslashes and quotes escaped, line ends
// written as \r and \n. Runs of other bytes go in whole.
void AppendQuoted(Text& out, const char* text, size_t size) {
    out.Append('"');
    const bool doubleByte = IsDbcsEnabled() != 0;
    const char* end = text + size;
    const char* run = text;
    for (const char* p = text; p < end;) {
        const size_t length = doubleByte ? CharLength(p, end) : 1;
        const char* escape = nullptr;
        if (length == 1) {
            escape = *p == '\\'   ? "\\\\"
                     : *p == '"'  ? "\\\""
                     : *p == '\r' ? "\\r"
                     : *p == '\n' ? "\\n"
                                  : nullptr;
        }
        if (escape != nullptr) {
            out.Append(run, static_cast<size_t>(p - run));
            out.Append(escape);
            run = p + 1;
        }
        p += length;
    }
    out.Append(run, static_cast<size_t>(end - run));
    out.Append('"');
}

// A text a quoted string gives back exactly: one terminator, at its end, no line end (regedit
// reads those back in its own way), and on a double-byte system no byte that may begin a
// character, so that every reader takes it apart the same way.
bool IsPlainText(DWORD type, const BYTE* data, DWORD size) {
    if (type != REG_SZ || size == 0 || data[size - 1] != 0) {
        return false;
    }
    const bool doubleByte = IsDbcsEnabled() != 0;
    for (DWORD i = 0; i + 1 < size; ++i) {
        const BYTE c = data[i];
        if (c == 0 || c == '\r' || c == '\n' || (doubleByte && c >= 0x80)) {
            return false;
        }
    }
    return true;
}

// The bytes as regedit writes them: hex pairs, lines of about 80 columns continued with a
// backslash.
void AppendHex(Text& out, DWORD type, const BYTE* data, DWORD size, size_t column) {
    static const char kDigits[] = "0123456789abcdef";
    char head[24];
    if (type == REG_BINARY) {
        strcpy(head, "hex:");
    } else {
        snprintf(head, sizeof head, "hex(%lx):", static_cast<unsigned long>(type));
    }
    out.Append(head);
    column += strlen(head);
    for (DWORD i = 0; i < size; ++i) {
        const char pair[3] = {kDigits[data[i] >> 4], kDigits[data[i] & 15], ','};
        const bool last = i + 1 == size;
        out.Append(pair, last ? 2 : 3);
        column += 3;
        if (!last && column > 76) {
            out.Append("\\\n  ");
            column = 2;
        }
    }
}

void AppendValue(Text& out, const char* name, DWORD nameSize, DWORD type, const BYTE* data,
                 DWORD size) {
    const size_t start = out.Size();
    if (nameSize == 0) {
        out.Append('@');
    } else {
        AppendQuoted(out, name, nameSize);
    }
    out.Append('=');
    if (IsPlainText(type, data, size)) {
        AppendQuoted(out, reinterpret_cast<const char*>(data), size - 1);
    } else if (type == REG_DWORD && size == 4) {
        char number[24];
        snprintf(number, sizeof number, "dword:%08lx",
                 static_cast<unsigned long>(data[0] | data[1] << 8 | data[2] << 16 |
                                            static_cast<DWORD>(data[3]) << 24));
        out.Append(number);
    } else {
        AppendHex(out, type, data, size, out.Size() - start);
    }
    out.Append('\n');
}

// What one tree's walk shares: the name of the key being read, its section, and the buffers the
// values are read into.
struct Walk {
    Text path;
    Text section;
    BYTE* data = nullptr;
    DWORD dataRoom = 0;
    unsigned keys = 0;
    ~Walk() { free(data); }
};

char valueName[kValueNameRoom]; // one walk at a time: the program has one thread

// "<why> (status N): <what of it is not saved>".
void LogNotSaved(const Walk& walk, const char* why, LONG status, const char* lost) {
    if (IsRemovalLogOpen()) {
        String text;
        text.Format("%s (status %ld): %s", why, static_cast<long>(status), lost);
        LogAction(LV_Failed, LT_Backup, walk.path.Bytes(), text);
    }
}

bool MakeRoom(Walk& walk, DWORD size) {
    BYTE* data = static_cast<BYTE*>(realloc(walk.data, size));
    if (data == nullptr) {
        return false;
    }
    walk.data = data;
    walk.dataRoom = size;
    return true;
}

// The key's section with its `values` values, or the status that kept it from being read whole.
LONG ReadSection(HKEY key, DWORD values, Walk& walk) {
    Text& out = walk.section;
    out.Clear();
    out.Append('[');
    out.Append(walk.path.Bytes(), walk.path.Size());
    out.Append("]\n");
    if (walk.path.Failed() || (walk.data == nullptr && !MakeRoom(walk, kFirstDataRoom))) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    int tries = 0;
    for (DWORD index = 0; index < values;) {
        DWORD nameSize = kValueNameRoom, type = REG_NONE, size = walk.dataRoom;
        const LONG status =
            RegEnumValueA(key, index, valueName, &nameSize, nullptr, &type, walk.data, &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_MORE_DATA && size > walk.dataRoom && ++tries < kReadTries) {
            if (!MakeRoom(walk, size)) {
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        AppendValue(out, valueName, nameSize, type, walk.data, size);
        ++index;
        tries = 0;
    }
    out.Append('\n');
    return out.Failed() ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
}

// The key's section, then each sub-key's tree in the order the registry lists them; every
// sub-key is opened below its parent, never by its whole path. The counts the registry gives
// spare each list the call that would find its end; a key whose counts cannot be had is walked
// to the end of each list instead.
void SaveKey(HKEY key, Walk& walk, size_t level) {
    DWORD subKeys = 0, values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        subKeys = values = 0xFFFFFFFF;
    }
    const LONG read = ReadSection(key, values, walk);
    if (read == ERROR_SUCCESS) {
        AddUndoSection(walk.section.Bytes(), walk.section.Size());
        ++walk.keys;
    } else {
        LogNotSaved(walk, "its values could not be read whole", read, "it is not in the undo file");
    }
    char name[kKeyNameRoom];
    for (DWORD index = 0; index < subKeys; ++index) {
        DWORD size = kKeyNameRoom;
        const LONG listed =
            RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (listed == ERROR_NO_MORE_ITEMS) {
            return;
        }
        if (listed != ERROR_SUCCESS) {
            LogNotSaved(walk, "its sub-keys could not all be listed", listed,
                        "those not listed are not in the undo file");
            return;
        }
        if (level >= kMostLevels) {
            LogNotSaved(walk, "its sub-keys lie deeper than Windows keeps keys",
                        ERROR_INVALID_PARAMETER, "they are not in the undo file");
            return;
        }
        const size_t length = walk.path.Size();
        walk.path.Append('\\');
        walk.path.Append(name, size);
        HKEY child = nullptr;
        // A link is opened as itself and not saved: the deletion removes the link alone, which
        // regedit cannot make again, and what it names is neither deleted nor walked (links
        // naming their own parents would make the walk endless).
        const LONG opened = RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, KEY_READ, &child);
        if (opened == ERROR_SUCCESS && !IsRegistryLink(child)) {
            SaveKey(child, walk, level + 1);
            RegCloseKey(child);
        } else if (opened == ERROR_SUCCESS) {
            RegCloseKey(child);
        } else {
            LogNotSaved(walk, "it could not be opened", opened,
                        "it and the keys below it are not in the undo file");
        }
        walk.path.Cut(length);
    }
}

// "root\path" with the path's separators single, none first or last; a double-byte character's
// trail byte is no separator. Answers the number of names in it.
size_t AppendKeyName(Text& out, const char* rootName, const char* path) {
    out.Append(rootName);
    size_t names = 0;
    bool separated = true;
    const char* end = path + strlen(path);
    for (const char* p = path; p < end;) {
        const size_t length = CharLength(p, end);
        if (length == 1 && *p == '\\') {
            separated = true;
        } else {
            if (separated) {
                out.Append('\\');
                ++names;
                separated = false;
            }
            out.Append(p, length);
        }
        p += length;
    }
    return names;
}

} // namespace

void BackUpRegistryTree(HKEY root, const char* path) {
    if (pauses > 0 || !IsUndoFileOpen() || path == nullptr) {
        return;
    }
    CallerErrors kept;
    Walk walk;
    const char* rootName = PredefinedRootName(root);
    if (rootName == nullptr) {
        walk.path.Append(path);
        LogNotSaved(walk, "it lies below an open key whose name is not known", ERROR_INVALID_HANDLE,
                    "it is not in the undo file");
        return;
    }
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return; // nothing there to delete or to save
    }
    if (opened == ERROR_SUCCESS && IsRegistryLink(key)) {
        RegCloseKey(key); // removed as a link, alone: nothing for regedit to make again
        return;
    }
    const size_t level = AppendKeyName(walk.path, rootName, path);
    if (opened != ERROR_SUCCESS) {
        LogNotSaved(walk, "it could not be opened", opened,
                    "it and the keys below it are not in the undo file");
        return;
    }
    SaveKey(key, walk, level);
    RegCloseKey(key);
    EndUndoTree(walk.keys);
}

void BackUpRegistrySubKey(HKEY root, const String& parent, const char* name) {
    if (pauses > 0 || !IsUndoFileOpen() || PredefinedRootName(root) == nullptr || name == nullptr) {
        return;
    }
    String path(parent);
    path.Append("\\");
    path.Append(name);
    BackUpRegistryTree(root, path);
}

RegistryBackupPause::RegistryBackupPause() {
    ++pauses;
}

RegistryBackupPause::~RegistryBackupPause() {
    --pauses;
}
