// One folder: its path, whether it exists, an enumeration of its entries, deleting files in it,
// deleting the whole tree below it, and making it the working folder. Operations answer 1 or 0
// (RenameOver: S_OK or E_FAIL) and never say why something failed.
//
// The operations are virtual, in this slot order, and call one another through the object's own
// dispatch table, so that a derived folder (SparingDirectory) changes them for every caller.
// The destructor is not virtual: folders live on their user's stack.
#pragma once

#include "platform/win32api.h"
#include "support/removal_log.h"
#include "support/string.h"

class HeldFolder;

// What FindFirst and FindNext found.
enum EntryKind { EK_File = 0, EK_Folder = 1, EK_None = 2 };

class Directory {
public:
    Directory();
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // 0: the folder's path. A bare drive (D:) becomes its root (D:\); one trailing backslash is
    // dropped except from a root. A null text keeps the path.
    virtual void SetPath(const char* text);
    // 1: the TEMP folder, else the module's folder, else the Windows folder, the first with free
    // space, with `subFolder` appended (not created). 0 when none has room.
    virtual int SetToTempFolder(HMODULE module, const char* subFolder);
    // 2: makes the folder (one level) and answers Exists.
    virtual int Create();
    // 3: 1 for an existing folder or a usable drive root; 0 for a file, a relative path starting
    // with ".", an empty path or a CD-ROM drive's root.
    virtual int Exists();
    // 4: deletes the folder, and with `recurse` everything in it (read-only files included).
    // 1 when the folder is gone or never existed. A symbolic link or junction is removed itself,
    // never entered. Each folder worked in is held open (held_folder.h), from the tree's own down
    // to the one being emptied, so that no other process can put a link in its place; a folder
    // that cannot be held is not entered. A removal RefusesFolderRemoval refuses (removal_guard.h:
    // a protected folder, recursive or not, or a path that may have been cut by formatting) answers
    // 0.
    virtual int RemoveTree(int recurse);
    // 5: deletes a file given by name in this folder or by full path ("X:..."), clearing its
    // read-only attribute first. 1 unless the deletion was refused (a missing file counts as gone).
    virtual int RemoveFile(const char* name);
    // 6: the working folder becomes the path. 1 on success.
    virtual int SetToCurrentFolder();
    // 7: the path becomes the working folder. 1 on success.
    virtual int MakeCurrent();
    // 8: 1 when the path's drive is a CD-ROM or removable drive.
    virtual int IsRemovableMedia();
    // 9: 1 when the folder exists and its drive has a free cluster.
    virtual int HasFreeSpace();
    // 10: starts an enumeration of the entries matching `pattern` and writes the first one's full
    // path to `out` (at most `size` bytes with the terminator). "." and ".." are never reported,
    // and neither is an entry whose full path does not fit: it is skipped.
    virtual EntryKind FindFirst(const char* pattern, char* out, unsigned short size);
    // 11: the next entry of the enumeration, as FindFirst. The enumeration stays open after its
    // last entry until FindFirst, Remove or destruction.
    virtual EntryKind FindNext(char* out, unsigned short size);
    // 12: replaces the file `target` by the file `source`; a read-only target's replacement is
    // made read-only too.
    virtual HRESULT RenameOver(const char* source, const char* target);
    // 13: closes the enumeration and deletes the folder if it is empty. 1 when deleted.
    virtual int Remove();

    const String& GetPath() const { return path; }

protected:
    // Remove, logged as the removal of a `thing` (a folder, or a link removed itself).
    int RemoveAs(LogThing thing);

    String path;
    HANDLE findHandle;

private:
    void CloseFind();
    void RemoveContents();
    int RemoveTreeChecked(int recurse, HeldFolder* held);
    // Writes the entry's full path to out; false for an entry that is not to be reported.
    bool ReportEntry(const WIN32_FIND_DATAA& found, char* out, unsigned short size) const;
};
