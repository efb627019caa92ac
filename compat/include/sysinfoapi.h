// Operating-system information for systems without Windows: the version,
// processor and edition calls the rules engine and the operating-system
// conditions make, and the module lookup they use to find the optional ones.
// Everything reports the running system honestly: the platform id is not
// Windows NT, the version is the kernel's, the architecture the processor's.
#pragma once

#include <windows.h>

// Platform ids (dwPlatformId). This system reports VER_PLATFORM_UNIX.
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define VER_PLATFORM_UNIX 10

// Product types (wProductType).
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

// Processor architectures (wProcessorArchitecture).
#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_ARM 5
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF

// Edition returned by GetProductInfo when the system is not a Windows edition.
#define PRODUCT_UNDEFINED 0x00000000

#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L

typedef struct _OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *LPOSVERSIONINFOW;

typedef struct _OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXW, *LPOSVERSIONINFOEXW;

// The processor architecture is a plain member here (Windows wraps it in an
// anonymous union with dwOemId); code reads it by the same name.
typedef struct _SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

typedef DWORD* PDWORD;

extern "C" {

BOOL GetVersionExW(LPOSVERSIONINFOW info);
void GetSystemInfo(LPSYSTEM_INFO info);
void GetNativeSystemInfo(LPSYSTEM_INFO info);
BOOL GetProductInfo(DWORD osMajor, DWORD osMinor, DWORD spMajor, DWORD spMinor, PDWORD productType);

// Only the already loaded "kernel32.dll" is known, and in it only the
// functions above.
HMODULE GetModuleHandleW(LPCWSTR name);
void* GetProcAddress(HMODULE module, LPCSTR name);

}  // extern "C"
