// user32's double-byte character functions, following the machine's ANSI code page.
#include "platform/posix/console/user_api.h"

#include "platform/posix/console/code_page.h"

using namespace ovlayer;

extern "C" {

int WINAPI GetSystemMetrics(int index) {
    if (index == SM_DBCSENABLED) {
        return IsDoubleByteCodePage(MachineCodePage()) ? 1 : 0;
    }
    return 0;
}

// The code page the process took from the machine, as Windows fixes it when a process starts; the
// registry value may change afterwards without changing it.
UINT WINAPI GetACP() {
    return MachineCodePage();
}

// A lead byte followed by the terminator is a character of its own; at the terminator the
// pointer stays.
LPSTR WINAPI CharNextA(LPCSTR current) {
    if (!current || !*current) {
        return const_cast<LPSTR>(current);
    }
    const unsigned char byte = static_cast<unsigned char>(*current);
    if (IsLeadByte(MachineCodePage(), byte) && current[1]) {
        return const_cast<LPSTR>(current + 2);
    }
    return const_cast<LPSTR>(current + 1);
}

// Steps from the start, character by character, to the last one that begins before `current`
// (a trail byte cannot be told from a lead byte by looking back).
LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current) {
    while (*start && start < current) {
        LPCSTR next = CharNextA(start);
        if (next >= current) {
            break;
        }
        start = next;
    }
    return const_cast<LPSTR>(start);
}

} // extern "C"
