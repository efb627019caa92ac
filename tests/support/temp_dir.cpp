#include "support/temp_dir.h"

#include <atomic>
#include <random>
#include <stdexcept>
#include <string>

TempDir::TempDir() {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        "ravenlink-" + std::to_string(random()) + "-" + std::to_string(serial++);
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = base / name;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory under " + base.string());
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}
