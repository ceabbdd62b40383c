// Judgements made before anything is deleted, so that a path from a registry value a user can
// edit, or a path cut to fit a buffer, never empties a folder the system or the user needs.
#pragma once

#include "fs/disk_identity.h"
#include "platform/win32api.h"
#include "support/removal_log.h"
#include "support/string.h"

class StringMap;

// Non-zero when a recursive removal of `path` must be refused: the path is a drive root (or a
// network share's root), the Windows, system, program-files or common-files folder (the
// ProgramFilesDir, CommonFilesDir, ProgramW6432Dir and CommonW6432Dir values of HKLM
// "Software\Microsoft\Windows\CurrentVersion"), the user's profile folder (USERPROFILE), a folder
// the system records for its accounts (every profile, the profiles folder, the shell folders:
// recorded_folders.h), or an ancestor of one of them. Their sub-folders stay removable. Judged on
// the full path, with "." and ".." resolved, "/" taken as
// "\", trailing periods and spaces of components dropped and letter case ignored. A path that
// cannot be made full (null, or no current folder to resolve it against) is refused too.
// Besides its spelling, what the path names on disk is judged: when it is the same folder as one
// of those folders or of their ancestors (the same volume serial number and file index), it is
// refused, however it is reached: through a link or junction among its folders, by a short 8.3
// name, or in another letter case. A path that cannot be opened is judged by its spelling alone.
// When refused and `reached` is given, it names what the removal would have reached: "the Windows
// folder C:\windows", "the root C:", "the folder of ProgramFilesDir C:\Program Files", ...
// `onDisk`, when given, is what the path names on disk, read from a handle the caller holds: the
// folder judged is then the folder the caller works in.
int IsProtectedFolder(const char* path, String* reached = nullptr,
                      const DiskIdentity* onDisk = nullptr);

// While one lives, the identities on disk of the protected folders and of their ancestors are
// read at the first judgement that needs each and kept, instead of once a judgement: the run holds
// one for all its removals. They are the system's own folders, which nothing the program does
// while it holds none of them can change. The outermost one keeps; nested ones change nothing.
class ProtectedFolderIdentities {
public:
    ProtectedFolderIdentities();
    ~ProtectedFolderIdentities();
    ProtectedFolderIdentities(const ProtectedFolderIdentities&) = delete;
    ProtectedFolderIdentities& operator=(const ProtectedFolderIdentities&) = delete;

private:
    StringMap* kept_;
};

// The same judgement over other folders: whether a removal of `path` would reach `folder`,
// that is whether the path is the folder or one of its ancestors, by spelling or by what both
// name on disk. A path that cannot be made full reaches every folder.
class FolderReach {
public:
    explicit FolderReach(const char* path);
    bool Reaches(const String& folder) const;

private:
    String candidate_;
    DiskIdentity target_;
    bool onDisk_;
};

// The one judgement taken before a folder is removed, recursive or not: RemoveTree and
// RemoveTreeKeeping both ask it first, before they look at the folder. Non-zero when the removal
// of `path` is refused: the path may have been cut to fit (RefusesCutPath), or it names a
// protected folder (IsProtectedFolder). The refusal is logged here, once. An empty path is not
// refused: it names no folder, and the removal finds nothing there. `onDisk` as IsProtectedFolder.
int RefusesFolderRemoval(const char* path, const DiskIdentity* onDisk = nullptr);

// The refusal of every deletion by a path that may have been cut to fit (IsPossiblyCutPath):
// non-zero, the refusal logged, when `path` must not be used to delete the `thing` it names. A
// key's path is below `root`.
int RefusesCutPath(LogThing thing, const char* path, HKEY root = nullptr);
