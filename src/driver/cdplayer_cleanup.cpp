#include "driver/cdplayer_cleanup.h"

#include "platform/win32api.h"
#include "support/removal_log.h"
#include "support/undo_file.h"
#include "support/string.h"

namespace {

const char kFileName[] = "cdplayer.ini";
const char kRecStatus[] = "recstatus";
const DWORD kNamesRoom = 10240; // the first try; a bigger list gets a bigger buffer
const DWORD kSectionRoom = 4098;
const DWORD kMostRoom = 64u << 20; // no profile text is larger; beyond it nothing is trusted

// A zero-filled buffer holding the whole answer of `read`, or null when it could not be had
// whole. The profile functions answer size - 2 when they cut the text, so an answer that close
// to the size is read again with twice the room.
template <typename Read> char* ReadWhole(DWORD room, Read read, DWORD* length) {
    for (; room <= kMostRoom; room *= 2) {
        char* buffer = static_cast<char*>(calloc(room, 1));
        if (buffer == nullptr) {
            return nullptr;
        }
        *length = read(buffer, room);
        if (*length + 2 < room) {
            return buffer;
        }
        free(buffer);
    }
    return nullptr;
}

// The section's lines but the recording-status ones, joined by line feeds.
String KeptLines(const char* entries, unsigned* removed) {
    String kept;
    *removed = 0;
    for (const char* line = entries; *line != '\0'; line += strlen(line) + 1) {
        if (_stricmp(String(line).Left(9), kRecStatus) != 0) {
            kept += line;
            kept += '\n';
        } else {
            ++*removed;
        }
    }
    if (strcmp(kept.Right(1), "\n") == 0) {
        kept = kept.Left(kept.Length() - 1);
    }
    return kept;
}

void CleanSection(const char* name) {
    DWORD length = 0;
    char* entries = ReadWhole(
        kSectionRoom,
        [name](char* buffer, DWORD room) {
            return GetPrivateProfileSectionA(name, buffer, room, kFileName);
        },
        &length);
    if (entries == nullptr) {
        return; // never write back what was not read whole
    }
    unsigned removed = 0;
    const String kept = KeptLines(entries, &removed);
    free(entries);
    // Each write rewrites the whole file: one for every section made the clean-up of a large
    // file take time that grows with the square of its size.
    if (removed == 0) {
        return;
    }
    // The kept lines with a double terminator, in a buffer made for them.
    char* text = static_cast<char*>(calloc(kept.Length() + 2, 1));
    if (text == nullptr) {
        return;
    }
    memcpy(text, kept.Text(), kept.Length());
    KeepUndoCopyOfCdPlayerIni(); // the file as it was, before its first rewrite
    WritePrivateProfileSectionA(name, text, kFileName);
    free(text);
    String section, why;
    section.Format("%s [%s]", kFileName, name);
    why.Format("%u recording-status lines removed", removed);
    LogAction(LV_Rewrote, LT_Section, section, why);
}

} // namespace

void CleanCdPlayerIni() {
    DWORD length = 0;
    char* names = ReadWhole(
        kNamesRoom,
        [](char* buffer, DWORD room) {
            return GetPrivateProfileSectionNamesA(buffer, room, kFileName);
        },
        &length);
    if (names == nullptr) {
        return;
    }
    for (const char* name = NextSectionName(names, length, nullptr); name != nullptr;
         name = NextSectionName(names, length, name)) {
        CleanSection(name);
    }
    free(names);
}

const char* NextSectionName(const char* names, DWORD length, const char* name) {
    const char* next = name == nullptr ? names : name + strlen(name) + 1;
    // The answer's length bounds the walk too: nothing past it is the platform's.
    if (next >= names + length || (next[0] == '\0' && next[1] == '\0')) {
        return nullptr;
    }
    return next;
}
