// Judgements made before anything is deleted, so that a path from a registry value a user can
// edit, or a path cut to fit a buffer, never empties a folder the system or the user needs.
#pragma once

// Non-zero when a recursive removal of `path` must be refused: the path is a drive root (or a
// network share's root), the Windows, system, program-files or common-files folder (the
// ProgramFilesDir, CommonFilesDir, ProgramW6432Dir and CommonW6432Dir values of HKLM
// "Software\Microsoft\Windows\CurrentVersion"), the user's profile folder (USERPROFILE), or an
// ancestor of one of them. Judged on the full path, with "." and ".." resolved, "/" taken as
// "\", trailing periods and spaces of components dropped and letter case ignored. A path that
// cannot be made full (null, or no current folder to resolve it against) is refused too.
int IsProtectedFolder(const char* path);
