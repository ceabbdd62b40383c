// Operations 0, 1 and 2 of every reference-counted interface that crosses a library boundary. The
// layout and calling convention are those of COM, so that the maker's libraries, built apart from
// this program, call the same slots.
#pragma once

#include "platform/win32api.h"

struct Unknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

// "{00000000-0000-0000-C000-000000000046}"
inline constexpr IID kUnknownInterfaceId = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
