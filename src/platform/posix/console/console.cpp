// The console side of the Microsoft runtime: fflush on an input stream discards what was read
// ahead into its buffer, so a question asked after fflush(stdin) waits for a fresh answer. glibc's
// fflush leaves that input in place (on a pipe the line end typed after an earlier answer would
// be read as the next one).
#include "platform/posix/files/crt_api.h"

#include <stdio_ext.h>

extern "C" int ovl_fflush(FILE* stream) {
    if (stream != nullptr && __freading(stream)) {
        __fpurge(stream);
        return 0;
    }
    return (fflush)(stream);
}
