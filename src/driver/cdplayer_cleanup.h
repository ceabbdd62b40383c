// The recording-status entries of cdplayer.ini in the Windows folder: every entry line whose
// first nine characters are "recstatus" (any letter case) goes from every section.
#pragma once

#include "platform/win32api.h"

// Reads the section list and each section with buffers that grow until the text fits, so that
// no section is written back, and no section list walked, that was cut to fit a buffer. A
// section that cannot be read whole is left as it is.
void CleanCdPlayerIni();

// The walk over a section-name list of `length` bytes followed by two terminators, as
// GetPrivateProfileSectionNamesA gives it: the name after `name` (null: the first), or null at
// the list's end, where a terminator follows a terminator. An empty name between two others is a
// name of the list, not its end.
const char* NextSectionName(const char* names, DWORD length, const char* name);
