// Single-byte placeholder until the layer's code-page support lands; replaced by user_api.cpp.
#include "platform/posix/user_api.h"

extern "C" {
int WINAPI GetSystemMetrics(int) {
    return 0;
}
LPSTR WINAPI CharNextA(LPCSTR current) {
    return const_cast<LPSTR>(*current ? current + 1 : current);
}
LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current) {
    return const_cast<LPSTR>(current > start ? current - 1 : start);
}
}
