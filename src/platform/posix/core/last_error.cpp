// kernel32's last-error value, one per thread as on Windows.
#include "platform/posix/files/file_api.h"

namespace {
thread_local DWORD lastError = 0;
}

extern "C" {

DWORD WINAPI GetLastError() {
    return lastError;
}

void WINAPI SetLastError(DWORD status) {
    lastError = status;
}

} // extern "C"
