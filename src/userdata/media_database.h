// The registry side of the user's media database and data folder: the database is found before
// anything is removed and asked about, and its path is written back after the registry sweep
// when the user keeps it.
#pragma once

#include "support/string.h"

// 1 when the per-user preferences (or, only when the per-user key is missing, the machine-wide
// ones) name a database folder; the path goes to `out` when given. A missing key leaves `out`
// as it was.
int ProbeMediaDatabase(String* out);

// Asks whether the database stays: 1 (erase) only for N or n.
int AskEraseDatabase();

// Writes `path` back as the machine-wide "DatabasePath": 1 when written, 0 for an empty path or
// a key that cannot be created.
int RestoreDatabasePath(const String& path);

// The folder named by the default value of the per-user "UserDataPath" key; empty when none.
void ReadUserDataPath(String& out);
