// The undo files: what the run takes away that can be put back, written before it goes, so that a
// removal that went too far can be undone.
//
// "ovuninst-undo.reg" in the temporary folder holds every registry key the run deletes, as it was,
// in the REGEDIT4 text that `regedit /S` imports; the previous run's is kept as
// "ovuninst-undo.1.reg". "ovuninst-undo-cdplayer.ini" is cdplayer.ini as it was before the run
// first rewrote it (the previous copy kept as "ovuninst-undo-cdplayer.1.ini"). Files and folders
// are not in them, nor what the maker's setup library removes itself.
//
// Like the removal log they change neither what the program does nor what it prints: a file that
// cannot be made or written is logged and given up, and the removal goes on without it. The
// registry file only ever holds whole key trees: a tree that cannot be written whole is cut off
// again before the file is given up.
#pragma once

#include <cstddef>

extern const char kUndoRegistryName[];
extern const char kUndoCdPlayerName[];

// Keeps the previous run's file, makes a new one with its REGEDIT4 header. Nothing when open.
void OpenUndoFile();
void CloseUndoFile();
bool IsUndoFileOpen();

// The sections of one key tree go into the file between its first AddUndoSection and
// EndUndoTree, each a whole section of one key. EndUndoTree writes them and answers whether the
// whole tree is in the file; `keys` is the number of keys it holds.
void AddUndoSection(const char* text, size_t size);
bool EndUndoTree(unsigned keys);

// Copies cdplayer.ini of the Windows folder to kUndoCdPlayerName, before the run first rewrites
// it: nothing after the first call of a run, or outside an UndoFileSession.
void KeepUndoCopyOfCdPlayerIni();

// What the run put into the undo files, for the removal log's last lines.
enum UndoState {
    US_NotOpened, // no undo file was asked for
    US_Open,      // made, and every tree given to it is in it
    US_GivenUp,   // made, then given up when it could not be written
    US_Failed,    // could not be made
};
enum UndoCopyState { UC_None, UC_Copied, UC_Failed };
struct UndoSummary {
    UndoState registry;
    unsigned keys;
    UndoCopyState cdPlayer;
};
UndoSummary GetUndoSummary();

// Opens the undo file for its lifetime: the driver holds one for the whole run, inside the
// removal log's, so that the log records what happens to it and ends with its summary.
class UndoFileSession {
public:
    UndoFileSession() { OpenUndoFile(); }
    ~UndoFileSession() { CloseUndoFile(); }
    UndoFileSession(const UndoFileSession&) = delete;
    UndoFileSession& operator=(const UndoFileSession&) = delete;
};
