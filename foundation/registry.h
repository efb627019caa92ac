// Read-only access to registry settings. Every function opens the sub-key for
// query only (the process's own registry view), reads, and closes it again.
// Nothing here throws: a key that does not open is reported as false.
#pragma once

#include <cstdint>
#include <type_traits>

#include "compat/win32.h"
#include "foundation/ws_string.h"

// Whether the key opens.
bool RegKeyExists(const WsString& subKey, HKEY root = HKEY_LOCAL_MACHINE);
// Whether the value can be queried (a value too large for 1024 bytes counts).
bool RegValueExists(const WsString& subKey, const WsString& valueName,
                    HKEY root = HKEY_LOCAL_MACHINE);
// Stores the first four bytes of the value's data whatever its type. True
// whenever the key opens; a missing value leaves out untouched.
bool RegReadDword(const WsString& subKey, const WsString& valueName, uint32_t& out,
                  HKEY root = HKEY_LOCAL_MACHINE);
// The same for any other unsigned 32-bit type (DWORD is unsigned long on
// Windows, not uint32_t).
template <typename Number>
requires(std::is_unsigned_v<Number> && sizeof(Number) == 4 &&
         !std::is_same_v<Number, uint32_t>) bool RegReadDword(const WsString& subKey,
                                                              const WsString& valueName,
                                                              Number& out,
                                                              HKEY root = HKEY_LOCAL_MACHINE) {
  uint32_t number = static_cast<uint32_t>(out);
  if (!RegReadDword(subKey, valueName, number, root)) return false;
  out = static_cast<Number>(number);
  return true;
}
// A missing value reads as false; true whenever the key opens.
bool RegReadBool(const WsString& subKey, const WsString& valueName, bool& out,
                 HKEY root = HKEY_LOCAL_MACHINE);
// The value's data as text, up to its first NUL. True whenever the key opens;
// a missing value leaves out untouched.
bool RegReadString(const WsString& subKey, const WsString& valueName, WsString& out,
                   HKEY root = HKEY_LOCAL_MACHINE);

// "SOFTWARE\\Quorvane": the maker's settings under HKEY_LOCAL_MACHINE.
const WsString& MakerRegistryKey();

// The installed web browser's "Version" text: EmptyString() when its key does
// not open, an empty text when the value is missing.
WsString InternetExplorerVersion();
bool IsInternetExplorer7OrLater();
bool IsInternetExplorer8OrLater();
// The test behind the two above: false for an empty text, otherwise whether
// the first number of the version text is at least major.
bool IsMajorVersionAtLeast(const WsString& version, uint32_t major);
