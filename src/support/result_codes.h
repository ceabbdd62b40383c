// Result codes of the system's own objects beyond the standard Win32 ones.
#pragma once

#include "platform/win32api.h"

// The object's state does not allow the operation.
#ifndef E_WRONG_STATE
#define E_WRONG_STATE ((HRESULT)0x80040009L)
#endif
