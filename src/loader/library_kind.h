// The kinds of the maker's libraries, each installed in a folder of its own. The kind names are
// also the registry setting names and the keys of the library access path table.
#pragma once

#include "platform/win32api.h"

enum LibraryKind : WORD {
    DT_NotDef = 0, // no kind: loaded by bare name
    DT_Plugins = 1,
    DT_Codecs = 2,
    DT_EncSDK = 3,
    DT_Common = 4,
    DT_Update_OB = 5, // the setup library
    DT_Objbrokr = 6,  // the object broker library
    DT_LCAPlugins = 7,
};

const unsigned kLibraryKindCount = 8;
