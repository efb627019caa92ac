// Fuzz target of the .reg file parser: any bytes must parse without a crash,
// and every key's parents must be keys too.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "compat/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  compat::RegistryTree tree;
  const bool parsed =
      compat::ParseRegistryFile(std::string_view(reinterpret_cast<const char*>(data), size), tree);
  if (!parsed && !tree.keys.empty()) std::abort();
  for (const auto& [path, key] : tree.keys) {
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && tree.keys.count(path.substr(0, slash)) == 0) std::abort();
    for (const auto& [name, value] : key.values) {
      const bool text = value.type == 1 || value.type == 2 || value.type == 7;
      if (text && value.data.size() % sizeof(wchar_t) != 0) std::abort();
    }
  }
  return 0;
}
