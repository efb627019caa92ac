// Operating-system information on systems without Windows. The answers
// describe the running system as it is: a platform id that is not Windows NT,
// the kernel's release as the version, the processor's real architecture.
#include <sysinfoapi.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A handle value that stands for the always-loaded "kernel32.dll".
HMODULE Kernel32Handle() {
  static int marker;
  return reinterpret_cast<HMODULE>(&marker);
}

WORD ArchitectureOf(const std::string& machine) {
  if (machine == "x86_64" || machine == "amd64") return PROCESSOR_ARCHITECTURE_AMD64;
  if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0) {
    return PROCESSOR_ARCHITECTURE_INTEL;  // i386 .. i686
  }
  if (machine == "aarch64" || machine == "arm64") return PROCESSOR_ARCHITECTURE_ARM64;
  if (machine.compare(0, 3, "arm") == 0) return PROCESSOR_ARCHITECTURE_ARM;
  if (machine == "ia64") return PROCESSOR_ARCHITECTURE_IA64;
  return PROCESSOR_ARCHITECTURE_UNKNOWN;
}

void FillSystemInfo(LPSYSTEM_INFO info, WORD architecture) {
  std::memset(info, 0, sizeof(*info));
  info->wProcessorArchitecture = architecture;
  const long pageSize = sysconf(_SC_PAGESIZE);
  info->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
  info->dwAllocationGranularity = info->dwPageSize;
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
  const DWORD bits = static_cast<DWORD>(sizeof(DWORD_PTR) * 8);
  info->dwActiveProcessorMask = info->dwNumberOfProcessors >= bits
                                    ? ~static_cast<DWORD_PTR>(0)
                                    : (static_cast<DWORD_PTR>(1) << info->dwNumberOfProcessors) - 1;
}

WORD NativeArchitecture() {
  struct utsname names;
  if (uname(&names) != 0) return PROCESSOR_ARCHITECTURE_UNKNOWN;
  return ArchitectureOf(names.machine);
}

bool EqualsAsciiNoCase(LPCWSTR a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    wchar_t x = *a;
    char y = *b;
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != static_cast<wchar_t>(y)) return false;
  }
  return *a == 0 && *b == 0;
}

}  // namespace

extern "C" {

// Fills OSVERSIONINFOW or OSVERSIONINFOEXW (chosen by dwOSVersionInfoSize, as
// on Windows) from uname: dwPlatformId is VER_PLATFORM_UNIX, the version is the
// kernel release "major.minor.build", there is no service pack, suite or
// product type. Any other structure size fails with ERROR_INSUFFICIENT_BUFFER,
// a null structure with ERROR_INVALID_PARAMETER.
BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
      info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  struct utsname names;
  if (uname(&names) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  std::memset(info, 0, size);
  info->dwOSVersionInfoSize = size;
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  info->dwBuildNumber = build;
  info->dwPlatformId = VER_PLATFORM_UNIX;
  return TRUE;
}

// The processor as this process sees it: a 32-bit process on a 64-bit x86 or
// ARM processor sees the 32-bit architecture, as under WOW64.
void GetSystemInfo(LPSYSTEM_INFO info) {
  if (info == nullptr) return;
  WORD architecture = NativeArchitecture();
  if (sizeof(void*) == 4 && architecture == PROCESSOR_ARCHITECTURE_AMD64) {
    architecture = PROCESSOR_ARCHITECTURE_INTEL;
  } else if (sizeof(void*) == 4 && architecture == PROCESSOR_ARCHITECTURE_ARM64) {
    architecture = PROCESSOR_ARCHITECTURE_ARM;
  }
  FillSystemInfo(info, architecture);
}

// The processor's own architecture, from uname's machine name.
void GetNativeSystemInfo(LPSYSTEM_INFO info) {
  if (info == nullptr) return;
  FillSystemInfo(info, NativeArchitecture());
}

// This system is no Windows edition: the answer is always PRODUCT_UNDEFINED.
// A null output fails with ERROR_INVALID_PARAMETER.
BOOL GetProductInfo(DWORD, DWORD, DWORD, DWORD, PDWORD productType) {
  if (productType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *productType = PRODUCT_UNDEFINED;
  return TRUE;
}

// Knows only "kernel32.dll" (or "kernel32", any case). Other names fail with
// ERROR_MOD_NOT_FOUND; a null name (the executable) is not supported and fails
// with ERROR_INVALID_PARAMETER.
HMODULE GetModuleHandleW(LPCWSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (EqualsAsciiNoCase(name, "kernel32.dll") || EqualsAsciiNoCase(name, "kernel32")) {
    return Kernel32Handle();
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Finds the functions of this file in the "kernel32.dll" handle; unknown names
// fail with ERROR_PROC_NOT_FOUND, any other handle with ERROR_INVALID_HANDLE.
// Lookup by ordinal is not supported.
void* GetProcAddress(HMODULE module, LPCSTR name) {
  if (module != Kernel32Handle()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (name == nullptr || reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  struct Entry {
    const char* name;
    void* address;
  };
  const Entry entries[] = {
      {"GetNativeSystemInfo", reinterpret_cast<void*>(&GetNativeSystemInfo)},
      {"GetSystemInfo", reinterpret_cast<void*>(&GetSystemInfo)},
      {"GetProductInfo", reinterpret_cast<void*>(&GetProductInfo)},
      {"GetVersionExW", reinterpret_cast<void*>(&GetVersionExW)},
  };
  for (const Entry& entry : entries) {
    if (std::strcmp(entry.name, name) == 0) return entry.address;
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
