#include "accept_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ravenlink_service {
namespace {

std::string TrimmedLower(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  std::string out = text.substr(first, last - first + 1);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

bool AcceptsGzip(const std::string& header) {
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(',', start);
    if (end == std::string::npos) end = header.size();
    const std::string item = header.substr(start, end - start);
    start = end + 1;

    const size_t semicolon = item.find(';');
    const std::string coding = TrimmedLower(item.substr(0, semicolon));
    if (coding != "gzip" && coding != "x-gzip" && coding != "*") continue;
    double quality = 1.0;
    if (semicolon != std::string::npos) {
      const std::string parameter = TrimmedLower(item.substr(semicolon + 1));
      if (parameter.rfind("q=", 0) == 0) quality = std::strtod(parameter.c_str() + 2, nullptr);
    }
    if (quality > 0) return true;
  }
  return false;
}

}  // namespace ravenlink_service
