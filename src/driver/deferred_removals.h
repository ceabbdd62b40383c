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
