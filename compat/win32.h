// The one platform header. Code outside compat/ includes this and nothing
// else from the platform: on Windows it gives the real Windows headers, on
// other systems the compat declarations of the Win32 subset the library uses.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>
#include <oleauto.h>
#include <process.h>
#else
#include <windows.h>  // compat/include/windows.h
#include <winreg.h>
#include <oleauto.h>
#include <wininet.h>
#include <process.h>
#include <sysinfoapi.h>
#endif

#include <cstdint>

static_assert(sizeof(DWORD) == 4, "DWORD is 32 bits on every build");
static_assert(sizeof(LONG) == 4, "LONG is 32 bits on every build");
static_assert(sizeof(WORD) == 2, "WORD is 16 bits on every build");
static_assert(sizeof(BYTE) == 1, "BYTE is 8 bits");
static_assert(sizeof(BOOL) == 4, "BOOL is 32 bits on every build");
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
