// File helpers of the foundation tests: paths in the library's form and the
// raw bytes of files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/ws_string.h"

namespace foundation_test {

// The path as the library writes paths: backslashes on every build, no
// trailing separator.
inline WsString LibraryPath(const std::filesystem::path& path) {
  WsString text(path.wstring());
  if (!text.empty() && (text.back() == L'/' || text.back() == L'\\')) text.pop_back();
  text.ReplaceAll(L"/", L"\\");
  return text;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace foundation_test
