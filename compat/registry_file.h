// The registry as a .reg file holds it: a pure parser from the file's bytes to
// a tree of keys and values, kept apart from the Reg* functions so that it can
// be tested and fuzzed on its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <winreg.h>

namespace compat {

struct RegistryValue {
  DWORD type = 0;
  // The data as RegQueryValueExW hands it out here: REG_SZ, REG_EXPAND_SZ and
  // REG_MULTI_SZ as wchar_t units (with their NULs), everything else as the
  // file's bytes.
  std::vector<uint8_t> data;
};

struct RegistryKey {
  std::map<std::wstring, RegistryValue> values;  // by folded name; "" is the default value
};

struct RegistryTree {
  // By folded full path without a trailing backslash, such as
  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANE". Every parent of a key is a key.
  std::map<std::wstring, RegistryKey> keys;
};

// Key and value names compare without case: this is the form they are stored
// and looked up in.
std::wstring FoldRegistryName(std::wstring_view name);

// Reads the bytes of a .reg file: UTF-16LE with a byte-order mark, or UTF-8
// (with or without one); first line "Windows Registry Editor Version 5.00" or
// "REGEDIT4". Applies the file in order, as an import does: keys, values,
// "[-key]" and "name"=- deletions. Returns false, with an empty tree, when the
// header is missing. Lines it cannot read are skipped; no input makes it fail
// otherwise. Keys under roots other than HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER are skipped too.
bool ParseRegistryFile(std::string_view bytes, RegistryTree& tree);

}  // namespace compat
