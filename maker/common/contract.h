// The binary contract between the program and the maker's libraries, as the stand-ins see it:
// COM-layout interfaces with the stdcall convention on 32-bit Windows, and exports with
// undecorated names.
#pragma once

#include "platform/win32api.h"
#include "support/unknown.h"

namespace maker {

// "{00000000-0901-11D1-8B06-00A024406D59}"
inline constexpr IID kBrokerFactoryId = {
    0x00000000, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

// "{8F65D3A0-E7EC-11D4-960D-0090276215EE}": the setup engine's class.
inline constexpr CLSID kSetupEngineClassId = {
    0x8F65D3A0, 0xE7EC, 0x11D4, {0x96, 0x0D, 0x00, 0x90, 0x27, 0x62, 0x15, 0xEE}};

struct BrokerFactory : Unknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID classId, Unknown** out) = 0;
};

} // namespace maker

// The access-path hand-over every library of the maker exports.
extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block);
