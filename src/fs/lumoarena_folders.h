// LumoArena, the maker's one product the program spares, judged as the protected folders are:
// no tree removal or sparing removal may empty a folder that is, or holds, one of its folders.
#pragma once

#include "support/string.h"

// Non-zero when a recursive removal of `path` would reach LumoArena: the path is, or is an
// ancestor of (by spelling or on disk, as removal_guard.h judges), one of
// - LumoArena's program and shared folders, "Lumo\LumoArena" below each program-files and
//   common-files folder (ProgramFilesDir, ProgramW6432Dir, "ProgramFilesDir (x86)" and the
//   CommonFiles values, both registry views), and so the maker's "Lumo" folders holding them;
// - the folder of each LumoArena component the maker's registry lists (the Location value of
//   HKEY_CLASSES_ROOT "Software\Orvane\LumoArena\<version>\Preferences\Components\<name>").
// When it would and `reached` is given, it names the folder and what it is.
int ReachesLumoArena(const char* path, String* reached = nullptr);

// ReachesLumoArena, with the refusal's line in the removal log.
bool RefusedForLumoArena(const char* path);
