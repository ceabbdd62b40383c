// The files and folders the setup engine could not remove while it uninstalled the components:
// heap Strings, listed by the callback object and removed, then freed, by the residue sweep. The
// lists themselves live until the process exits, which frees only their element arrays.
#pragma once

#include "support/pointer_array.h"

extern PointerArray deferredFiles;
extern PointerArray deferredFolders;

// Appends a new heap String holding `path` (a null path gives an empty String). A path handed
// back twice is listed twice.
void DeferRemoval(PointerArray& list, const char* path);

// True when a path that is not full (neither "X:\..." nor "\\server\...") climbs out of the
// folder it is taken in: one of its ".." names goes above where the path starts. Windows drops
// trailing periods and blanks from names, so any name of periods and blanks holding two periods
// counts as "..". A relative path is taken in the folder the sweep worked in last; climbing, it
// would reach whatever lies above.
bool ClimbsOutOfItsFolder(const char* path);
