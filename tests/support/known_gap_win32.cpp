#include "tests/support/known_gap.h"

#include "platform/win32api.h"

namespace testsupport {

bool RunsUnderWine() {
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool RunsOnTheLinuxLayer() {
    return false;
}

} // namespace testsupport
