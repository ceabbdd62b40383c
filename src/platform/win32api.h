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
#else
#include "platform/posix/win32_types.h"
#include "platform/posix/crt_api.h"
#include "platform/posix/registry_api.h"
#include "platform/posix/file_api.h"
#include "platform/posix/module_api.h"
#include "platform/posix/process_api.h"
#include "platform/posix/profile_api.h"
#include "platform/posix/user_api.h"
#endif
