// The folders the system records for its accounts, beside the Windows and program folders:
// whatever account the program runs as (a scheduled task's SYSTEM has a profile of its own and
// may have no USERPROFILE at all), every user's profile and the shared folders are the system's,
// never the maker's to empty.
#pragma once

#include "support/string.h"

// Hands each recorded folder, with what it is ("the profiles folder", "the profile of
// S-1-5-21-...", "the user's shell folder Personal", ...), to `take` until it answers true;
// true when it did. The folders, from HKEY_LOCAL_MACHINE in both registry views and from
// HKEY_CURRENT_USER:
// - ProfileList (Software\Microsoft\Windows NT\CurrentVersion\ProfileList): its
//   ProfilesDirectory, ProgramData, Public and Default, and each profile's ProfileImagePath;
// - every value of Shell Folders and User Shell Folders (below
//   Software\Microsoft\Windows\CurrentVersion\Explorer), the running user's and the machine's.
// Texts of type REG_EXPAND_SZ have their %variables% filled in from the environment
// (SystemDrive, SystemRoot and windir from the Windows folder when unset); a text naming a
// variable that is not set, or that is no absolute path once filled in, is passed over.
bool AnyRecordedFolder(bool (*take)(void* context, const char* what, const String& folder),
                       void* context);

template <typename Take> bool AnyRecordedFolder(Take& take) {
    return AnyRecordedFolder(
        [](void* context, const char* what, const String& folder) {
            return (*static_cast<Take*>(context))(what, folder);
        },
        &take);
}
