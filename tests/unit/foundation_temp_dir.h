// A fresh directory under the system's temporary directory, removed with
// everything in it when the holder goes out of scope. Paths handed to the
// library use backslashes, the library's separator on every build.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "foundation/ws_string.h"

namespace foundation_test {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("ravenlink-foundation-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // name below the directory as the library writes paths.
  WsString Library(const std::string& name = "") const { return ToLibrary(path_ / name); }

  static WsString ToLibrary(const std::filesystem::path& path) {
    WsString text(path.wstring());
    if (!text.empty() && (text.back() == L'/' || text.back() == L'\\')) text.pop_back();
    text.ReplaceAll(L"/", L"\\");
    return text;
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace foundation_test
