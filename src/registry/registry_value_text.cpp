#include "registry/registry_value_text.h"

namespace {

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

} // namespace

String ReadRegistryText(HKEY key, const char* valueName) {
    String text;
    char* buffer = text.GetBuffer(kPathRoom + 1);
    DWORD type = REG_NONE;
    DWORD size = kPathRoom;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    // Data written without a terminator comes back without one: end the text at the reported
    // size, which the buffer's spare byte leaves room for.
    const bool usable = status == ERROR_SUCCESS && IsTextType(type) && size <= kPathRoom;
    buffer[usable ? size : 0] = '\0';
    text.ReleaseBuffer(-1);
    return text;
}
