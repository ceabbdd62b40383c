// File names of the maker's versioned libraries: the short name, the digits 32, then the major
// and minor version, as in "setu3260.dll".
#pragma once

#include "platform/win32api.h"

// Builds "<shortName>32<major><minor>.dll" into buffer. size is the buffer's capacity on entry and
// the number of characters written on return. Refused, with an empty text and size 0, when the
// capacity is smaller than the short name's length plus 32; the capacity is then returned.
// longName is accepted for the maker's naming scheme and not used.
DWORD MakeVersionedLibraryName(const char* shortName, const char* longName, char* buffer,
                               DWORD* size, int major, int minor);

// The name of version 6.0.
DWORD MakeLibraryName(const char* shortName, const char* longName, char* buffer, DWORD* size);
