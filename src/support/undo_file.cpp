#include "support/undo_file.h"

#include "support/removal_log.h"
#include "support/run_file.h"
#include "support/string.h"

const char kUndoRegistryName[] = "ovuninst-undo.reg";
const char kUndoCdPlayerName[] = "ovuninst-undo-cdplayer.ini";

namespace {

const char kPreviousRegistryName[] = "ovuninst-undo.1.reg";
const char kPreviousCdPlayerName[] = "ovuninst-undo-cdplayer.1.ini";
const char kHeader[] = "REGEDIT4\n\n";

// A tree's sections gather in the block and go to the file a block at a time; the file's length
// after the last whole tree is kept, so that a tree cut short by a failed write is cut off again.
struct Undo {
    int fd = -1;
    bool asked = false; // between OpenUndoFile and CloseUndoFile
    char path[kRunFilePathRoom] = {};
    char block[65536];
    size_t used = 0;
    long committed = 0;
    UndoSummary summary = {US_NotOpened, 0, UC_None};
};

Undo theUndo;

bool WriteAll(const char* data, size_t size) {
    while (size > 0) {
        const int written = _write(theUndo.fd, data, static_cast<unsigned>(size));
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void GiveUp() {
    const int error = errno;
    const bool cut = _chsize(theUndo.fd, theUndo.committed) == 0;
    _close(theUndo.fd);
    theUndo.fd = -1;
    theUndo.used = 0;
    theUndo.summary.registry = US_GivenUp;
    String why;
    why.Format("it could not be written (errno %d)%s: it holds the keys removed before this line, "
               "not those removed after it",
               error, cut ? "" : " nor cut back to its last whole key tree");
    LogAction(LV_Failed, LT_Backup, theUndo.path, why);
}

bool Flush() {
    if (theUndo.used > 0 && !WriteAll(theUndo.block, theUndo.used)) {
        GiveUp();
        return false;
    }
    theUndo.used = 0;
    return true;
}

void Commit() {
    const long at = _lseek(theUndo.fd, 0, SEEK_CUR);
    if (at >= 0) {
        theUndo.committed = at;
    }
}

} // namespace

void OpenUndoFile() {
    if (theUndo.asked) {
        return;
    }
    CallerErrors kept;
    theUndo.asked = true;
    theUndo.summary = UndoSummary{US_Failed, 0, UC_None};
    theUndo.used = 0;
    theUndo.committed = 0;
    if (!RunFilePath(kUndoRegistryName, theUndo.path)) {
        LogAction(LV_Failed, LT_Backup, kUndoRegistryName,
                  "the temporary folder is not known: keys are removed without a backup");
        return;
    }
    KeepPreviousRun(theUndo.path, kPreviousRegistryName);
    theUndo.fd = _creat(theUndo.path, _S_IREAD | _S_IWRITE);
    if (theUndo.fd < 0) {
        String why;
        why.Format("it could not be made (errno %d): keys are removed without a backup", errno);
        LogAction(LV_Failed, LT_Backup, theUndo.path, why);
        return;
    }
    theUndo.summary.registry = US_Open;
    if (WriteAll(kHeader, sizeof kHeader - 1)) {
        Commit();
    } else {
        GiveUp();
    }
}

void CloseUndoFile() {
    if (!theUndo.asked) {
        return;
    }
    CallerErrors kept;
    if (theUndo.fd >= 0) {
        Flush();
    }
    if (theUndo.fd >= 0) {
        _close(theUndo.fd);
        theUndo.fd = -1;
    }
    theUndo.asked = false;
}

bool IsUndoFileOpen() {
    return theUndo.fd >= 0;
}

void AddUndoSection(const char* text, size_t size) {
    if (theUndo.fd < 0) {
        return;
    }
    CallerErrors kept;
    if (theUndo.used + size > sizeof theUndo.block && !Flush()) {
        return;
    }
    if (size > sizeof theUndo.block) {
        if (!WriteAll(text, size)) {
            GiveUp();
        }
        return;
    }
    memcpy(theUndo.block + theUndo.used, text, size);
    theUndo.used += size;
}

bool EndUndoTree(unsigned keys) {
    if (theUndo.fd < 0) {
        return false;
    }
    CallerErrors kept;
    if (!Flush()) {
        return false;
    }
    Commit();
    theUndo.summary.keys += keys;
    return true;
}

void KeepUndoCopyOfCdPlayerIni() {
    if (!theUndo.asked || theUndo.summary.cdPlayer != UC_None) {
        return;
    }
    CallerErrors kept;
    theUndo.summary.cdPlayer = UC_Failed;
    char path[kRunFilePathRoom];
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    char copy[kRunFilePathRoom];
    if (length == 0 || length >= MAX_PATH) {
        LogAction(LV_Failed, LT_Backup, kUndoCdPlayerName,
                  "the Windows folder is not known: cdplayer.ini is rewritten without a copy");
        return;
    }
    strcpy(path + length, "\\cdplayer.ini");
    if (!RunFilePath(kUndoCdPlayerName, copy)) {
        LogAction(LV_Failed, LT_Backup, kUndoCdPlayerName,
                  "the temporary folder is not known: cdplayer.ini is rewritten without a copy");
        return;
    }
    KeepPreviousRun(copy, kPreviousCdPlayerName);
    if (!CopyFileA(path, copy, FALSE)) {
        String why;
        why.Format("%s could not be copied here (status %lu): it is rewritten without a copy", path,
                   static_cast<unsigned long>(GetLastError()));
        LogAction(LV_Failed, LT_Backup, copy, why);
        return;
    }
    theUndo.summary.cdPlayer = UC_Copied;
}

UndoSummary GetUndoSummary() {
    return theUndo.summary;
}
