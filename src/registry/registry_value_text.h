// Reads a text value of an open registry key, whatever data is stored there.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

// The text value `valueName` of the open `key`, read with room for 260 bytes. The text ends where
// the registry says the data ends, whether or not the stored data has a terminator; a value that
// is missing, too long or not of a text type reads as empty.
String ReadRegistryText(HKEY key, const char* valueName);
