#include "registry/registry_value_text.h"

namespace {

const DWORD kTextRoom = 260;

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

} // namespace

String ReadRegistryText(HKEY key, const char* valueName) {
    String text;
    char* buffer = text.GetBuffer(kTextRoom + 1);
    DWORD type = REG_NONE;
    DWORD size = kTextRoom;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    // Data written without a terminator comes back without one: end the text at the reported
    // size, which the buffer's spare byte leaves room for.
    const bool usable = status == ERROR_SUCCESS && IsTextType(type) && size <= kTextRoom;
    buffer[usable ? size : 0] = '\0';
    text.ReleaseBuffer(-1);
    return text;
}
