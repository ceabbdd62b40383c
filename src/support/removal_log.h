// The removal log: for the administrator (or the management system) that ran the program, an
// account of every action the run took or declined, in the order taken, written as it happens by
// the places that act. The console says almost nothing by design; the log says what went, what
// stayed and why.
//
// It is "ovuninst.log" in the temporary folder (GetTempPathA); the previous run's is kept as
// "ovuninst.1.log". When another writer holds "ovuninst.log" open (a transcript redirected
// there), that file is left alone and the log is the first free of "ovuninst.2.log" to
// "ovuninst.9.log". A header (start time, version and build, code page, the undo files), one line
// per action, then the counts, what the undo files hold and how to restore it, and the time taken.
// Lines end with "\n", which the Windows runtime writes as
// "\r\n".
//
// Logging never changes what the program does or prints: a log that cannot be made or written is
// dropped silently and every later call does nothing; errno and the last error are the same after
// each call as before it. Texts are written whole, as the bytes they are: a double-byte name is
// never cut.
#pragma once

#include "platform/win32api.h"

// What the action did to the thing a line names.
enum LogVerb {
    LV_Removed,  // deleted, or a component uninstalled
    LV_Failed,   // a deletion or uninstall that did not succeed
    LV_Kept,     // spared by a rule
    LV_Refused,  // refused by a safety rule
    LV_Deferred, // handed back by the setup library, to be removed later
    LV_Stopped,  // a process terminated
    LV_Skipped,  // passed over, not counted
    LV_Rewrote,  // a section of a settings file written back without some of its lines
};

// What the line names. LT_Backup is a key or file of the undo files (support/undo_file.h).
enum LogThing {
    LT_Key,
    LT_File,
    LT_Folder,
    LT_Link,
    LT_Component,
    LT_Process,
    LT_Section,
    LT_Backup
};

// Opens the log in the temporary folder, keeping the previous one, and writes the header. Does
// nothing when a log is open already.
void OpenRemovalLog();
// Writes the counts and the time taken and closes the log; nothing when none is open.
void CloseRemovalLog();
bool IsRemovalLogOpen();

// One line: "<verb> <thing> <name>", then "  (<why>)" when a reason is given.
void LogAction(LogVerb verb, LogThing thing, const char* name, const char* why = nullptr);
// A key below a predefined root, named as "HKEY_CLASSES_ROOT\<path>" (a registry link key as
// LT_Link).
void LogKey(LogVerb verb, HKEY root, const char* path, const char* why = nullptr,
            LogThing thing = LT_Key);
// The user's answer to a question: the character typed (end of input shows as "none").
void LogAnswer(const char* question, char answer, const char* meaning);

// Opens the log for its lifetime: the driver holds one for the whole run.
class RemovalLogSession {
public:
    RemovalLogSession() { OpenRemovalLog(); }
    ~RemovalLogSession() { CloseRemovalLog(); }
    RemovalLogSession(const RemovalLogSession&) = delete;
    RemovalLogSession& operator=(const RemovalLogSession&) = delete;
};
