// The one door to the operating system. Product code includes this header and nothing else of
// the platform: on Windows it is the real Win32 and Microsoft runtime; elsewhere it declares the
// subset the program uses, implemented by the Linux layer in src/platform/posix/.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
// ntdll's deletion of the key a handle names, which windows.h does not declare: with a handle
// opened with REG_OPTION_OPEN_LINK it removes a registry link key itself, where RegDeleteKeyA
// would follow the link.
extern "C" LONG NTAPI NtDeleteKey(HANDLE key);
#else
#include "platform/posix/core/win32_types.h"
#include "platform/posix/files/crt_api.h"
#include "platform/posix/registry/registry_api.h"
#include "platform/posix/files/file_api.h"
#include "platform/posix/files/stream_api.h"
#include "platform/posix/processes/module_api.h"
#include "platform/posix/processes/process_api.h"
#include "platform/posix/console/user_api.h"
#include "platform/posix/profiles/profile_api.h"
#endif
