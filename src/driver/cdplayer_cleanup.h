// The recording-status entries of cdplayer.ini in the Windows folder: every entry line whose
// first nine characters are "recstatus" (any letter case) goes from every section.
#pragma once

// Reads the section list and each section with buffers that grow until the text fits, so that
// no section is written back, and no section list walked, that was cut to fit a buffer. A
// section that cannot be read whole is left as it is.
void CleanCdPlayerIni();
