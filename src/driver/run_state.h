// What the driver's phases share for one run. Flags start at 0 and texts empty: the state of a
// machine on which neither user-data probe finds anything.
#pragma once

#include "registry/registry_key.h"
#include "support/string.h"

struct RunState {
    RegistryKey rightsKey;
    int eraseDatabase = 0;
    String databasePath;
    int eraseMusicData = 0;
    String userDataPath;
    int errorOccurred = 0;
    String playerFolder;
    unsigned char standardPlayerFolder = 0;
    String systemFolder;
    String setupLibraryName;
};
