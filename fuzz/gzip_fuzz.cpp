// Fuzz target of the gzip decoder: arbitrary bytes decode or fail without a
// crash, never beyond the limit, and an answer body is cut before any zero
// byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transport/gzip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small limit keeps each run fast; the limit logic is the same at any size.
  constexpr size_t kLimit = size_t{1} << 20;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string output = "left over";
  const bool decoded = GunzipInMemory(input, output, kLimit);
  if (output.size() > kLimit) std::abort();

  std::string response = input;
  GunzipResponse(response, kLimit);
  if (response.size() > kLimit || response.find('\0') != std::string::npos) std::abort();
  if (decoded && output.substr(0, output.find('\0')) != response) std::abort();
  return 0;
}
