#include "support/removal_log.h"

#include "support/run_file.h"
#include "support/undo_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifndef OV_VERSION
#define OV_VERSION "0.0.0"
#endif
#ifndef OV_BUILD_NAME
#define OV_BUILD_NAME "unnamed"
#endif

namespace {

const char kLogName[] = "ovuninst.log";
const char kPreviousName[] = "ovuninst.1.log";
// The names tried, ovuninst.2.log and on, when another writer holds the log's own name.
const unsigned kLastFreeName = 9;
const char* const kVerbs[] = {"removed",  "failed",  "kept",    "refused",
                              "deferred", "stopped", "skipped", "rewrote"};
const char* const kThings[] = {"key",       "file",    "folder",  "link",
                               "component", "process", "section", "backup"};
const unsigned kVerbCount = sizeof kVerbs / sizeof kVerbs[0];
const unsigned kThingCount = sizeof kThings / sizeof kThings[0];
static_assert(kVerbCount == LV_Rewrote + 1, "a name for every verb");
static_assert(kThingCount == LT_Backup + 1, "a name for every thing");
const char kRestore[] = "regedit /S \"%TEMP%\\ovuninst-undo.reg\"";

// Lines gather here and go to the file a block at a time, so that a run of many thousand files
// costs a few hundred writes, not one per line.
struct Log {
    int fd = -1;
    char block[8192];
    size_t used = 0;
    DWORD startTick = 0;
    unsigned counts[kVerbCount][kThingCount];
};

Log theLog;

// A log that cannot be written is given up, silently: the run goes on without it.
void Drop() {
    if (theLog.fd >= 0) {
        _close(theLog.fd);
    }
    theLog.fd = -1;
    theLog.used = 0;
}

bool WriteAll(const char* data, size_t size) {
    while (size > 0) {
        const int written = _write(theLog.fd, data, static_cast<unsigned>(size));
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void Flush() {
    if (theLog.fd >= 0 && theLog.used > 0 && !WriteAll(theLog.block, theLog.used)) {
        Drop();
    }
    theLog.used = 0;
}

// Whole texts only: one longer than the block is written as it is, never cut.
void Append(const char* text, size_t size) {
    if (theLog.fd < 0) {
        return;
    }
    if (theLog.used + size > sizeof theLog.block) {
        Flush();
    }
    if (size > sizeof theLog.block) {
        if (theLog.fd >= 0 && !WriteAll(text, size)) {
            Drop();
        }
        return;
    }
    memcpy(theLog.block + theLog.used, text, size);
    theLog.used += size;
}

void Append(const char* text) {
    Append(text, strlen(text));
}

void AppendPadded(const char* word, size_t width) {
    Append(word);
    const size_t length = strlen(word);
    static const char spaces[] = "            ";
    Append(spaces, length < width ? width - length : 1);
}

void AppendNow() {
    char text[32];
    const time_t now = time(nullptr);
    const struct tm* local = localtime(&now);
    if (local == nullptr || strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) {
        strcpy(text, "(unknown)");
    }
    Append(text);
}

// Another writer holds the file (a transcript redirected there, "> %TEMP%\\ovuninst.log"): a
// handle refusing to share writing cannot be had while one is open for writing elsewhere.
bool HeldByAnotherWriter(const char* path) {
    const HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// The log's file, `path` naming ovuninst.log in the temporary folder, made empty and opened: its
// own name when that is free, the previous run's log kept first; else the first free of
// ovuninst.2.log to ovuninst.9.log. Another writer's file is never emptied or renamed. -1 when
// none is free.
int CreateLogFile(char (&path)[kRunFilePathRoom]) {
    if (!HeldByAnotherWriter(path)) {
        KeepPreviousRun(path, kPreviousName);
        return _creat(path, _S_IREAD | _S_IWRITE);
    }
    const size_t length = strlen(path) - strlen(kLogName);
    for (unsigned n = 2; n <= kLastFreeName; ++n) {
        snprintf(path + length, kRunFilePathRoom - length, "ovuninst.%u.log", n);
        if (!HeldByAnotherWriter(path)) {
            return _creat(path, _S_IREAD | _S_IWRITE);
        }
    }
    return -1;
}

void WriteHeader() {
    char text[128];
    Append("ovuninst removal log\n");
    AppendPadded("started", 10);
    AppendNow();
    snprintf(text, sizeof text, "\nprogram   ovuninst %s, %s build of %s %s\ncode page %u\n",
             OV_VERSION, OV_BUILD_NAME, __DATE__, __TIME__, static_cast<unsigned>(GetACP()));
    Append(text);
    char path[kRunFilePathRoom];
    RunFilePath(kUndoRegistryName, path);
    AppendPadded("undo", 10);
    Append(path);
    Append("  (every registry key removed, as it was; to restore: ");
    Append(kRestore);
    Append(")\n");
    RunFilePath(kUndoCdPlayerName, path);
    AppendPadded("undo", 10);
    Append(path);
    Append("  (cdplayer.ini as it was before its first rewrite)\n");
}

// What the undo files hold, and how to put it back.
void WriteUndoSummary() {
    const UndoSummary undo = GetUndoSummary();
    char path[kRunFilePathRoom];
    RunFilePath(kUndoRegistryName, path);
    char text[128];
    AppendPadded("undo", 10);
    if (undo.registry == US_Open || undo.registry == US_GivenUp) {
        snprintf(text, sizeof text, "%u keys in ", undo.keys);
        Append(text);
        Append(path);
        Append(undo.registry == US_GivenUp
                   ? ", given up when it could not be written (above); to restore them: "
                   : "; to restore them: ");
        Append(kRestore);
    } else if (undo.registry == US_Failed) {
        Append("no undo file: ");
        Append(path);
        Append(" could not be made (above); keys were removed without a backup");
    } else {
        Append("no undo file was asked for");
    }
    Append("\n");
    RunFilePath(kUndoCdPlayerName, path);
    AppendPadded("undo", 10);
    if (undo.cdPlayer == UC_Copied) {
        Append("cdplayer.ini as it was in ");
        Append(path);
        Append("; to restore it, copy it back over cdplayer.ini in the Windows folder");
    } else if (undo.cdPlayer == UC_Failed) {
        Append("cdplayer.ini was rewritten without a copy: ");
        Append(path);
        Append(" could not be made (above)");
    } else {
        Append("cdplayer.ini was not rewritten: no copy was made");
    }
    Append("\n");
}

unsigned Total(LogVerb verb) {
    unsigned total = 0;
    for (unsigned thing = 0; thing < kThingCount; ++thing) {
        total += theLog.counts[verb][thing];
    }
    return total;
}

void WriteCounts() {
    const unsigned(&c)[kVerbCount][kThingCount] = theLog.counts;
    char text[320];
    snprintf(text, sizeof text,
             "counts    removed %u keys, %u files, %u folders, %u links, %u components; "
             "kept %u; refused %u; failed %u; deferred %u; processes stopped %u\n",
             c[LV_Removed][LT_Key], c[LV_Removed][LT_File], c[LV_Removed][LT_Folder],
             c[LV_Removed][LT_Link], c[LV_Removed][LT_Component], Total(LV_Kept), Total(LV_Refused),
             Total(LV_Failed), Total(LV_Deferred), Total(LV_Stopped));
    Append(text);
    WriteUndoSummary();
    const DWORD took = GetTickCount() - theLog.startTick;
    snprintf(text, sizeof text, "took      %lu.%03lu s\nfinished  ",
             static_cast<unsigned long>(took / 1000), static_cast<unsigned long>(took % 1000));
    Append(text);
    AppendNow();
    Append("\n");
}

} // namespace

void OpenRemovalLog() {
    if (theLog.fd >= 0) {
        return;
    }
    CallerErrors kept;
    char path[kRunFilePathRoom];
    if (!RunFilePath(kLogName, path)) {
        return;
    }
    theLog.fd = CreateLogFile(path);
    theLog.used = 0;
    theLog.startTick = GetTickCount();
    memset(theLog.counts, 0, sizeof theLog.counts);
    WriteHeader();
}

void CloseRemovalLog() {
    if (theLog.fd < 0) {
        return;
    }
    CallerErrors kept;
    WriteCounts();
    Flush();
    Drop();
}

bool IsRemovalLogOpen() {
    return theLog.fd >= 0;
}

void LogAction(LogVerb verb, LogThing thing, const char* name, const char* why) {
    if (theLog.fd < 0) {
        return;
    }
    CallerErrors kept;
    ++theLog.counts[verb][thing];
    AppendPadded(kVerbs[verb], 9);
    AppendPadded(kThings[thing], 10);
    Append(name != nullptr ? name : "(none)");
    if (why != nullptr) {
        Append("  (");
        Append(why);
        Append(")");
    }
    Append("\n");
}

void LogKey(LogVerb verb, HKEY root, const char* path, const char* why, LogThing thing) {
    if (theLog.fd < 0) {
        return;
    }
    CallerErrors kept;
    // The key's full name, whole: a path longer than any buffer here is joined on the heap.
    const char* rootName =
        PredefinedRootName(root) != nullptr ? PredefinedRootName(root) : "(an open key)";
    const size_t rootLength = strlen(rootName);
    const size_t pathLength = path != nullptr ? strlen(path) : 0;
    char small[512];
    char* name = rootLength + pathLength + 2 <= sizeof small
                     ? small
                     : static_cast<char*>(malloc(rootLength + pathLength + 2));
    if (name == nullptr) {
        return;
    }
    memcpy(name, rootName, rootLength);
    name[rootLength] = '\\';
    memcpy(name + rootLength + 1, path != nullptr ? path : "", pathLength);
    name[rootLength + 1 + pathLength] = '\0';
    LogAction(verb, thing, name, why);
    if (name != small) {
        free(name);
    }
}

void LogAnswer(const char* question, char answer, const char* meaning) {
    if (theLog.fd < 0) {
        return;
    }
    CallerErrors kept;
    char typed[8];
    const unsigned char byte = static_cast<unsigned char>(answer);
    if (byte == 0) {
        strcpy(typed, "none");
    } else if (byte >= 0x20 && byte < 0x7F) {
        typed[0] = answer;
        typed[1] = '\0';
    } else {
        snprintf(typed, sizeof typed, "0x%02X", byte);
    }
    AppendPadded("answer", 10);
    Append(question);
    Append(" ");
    Append(typed);
    Append("  (");
    Append(meaning);
    Append(")\n");
}
