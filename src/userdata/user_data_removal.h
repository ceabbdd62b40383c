// Removing the user's data folders in the residue sweep, as the answers decided.
#pragma once

#include "support/string.h"

// Removes the brand folder "...\Lumo" that the user-data `path` lies in: whole when `erase` is 1,
// otherwise sparing every "db" folder in it. `path` is cut, in place, to that folder. A path
// without a "\Lumo\" level is left as it is and nothing is removed.
void CleanUserDataFolder(int erase, String& path);

// Removes the media database folder, and the "Lumora Deck DB" folder it lies in if any, and
// prints "\nMedia Database removed.\n". Does nothing when no database is found.
void RemoveMediaDatabase();
