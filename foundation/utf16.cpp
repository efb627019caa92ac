#include "foundation/utf16.h"

namespace {

void PutUnit(std::string& out, uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

// Appends the UTF-16 code units of one wchar_t to units.
template <typename Sink>
void EachUnit(wchar_t c, Sink sink) {
  uint32_t value = static_cast<uint32_t>(c);
  if constexpr (sizeof(wchar_t) == 4) {
    if (value > 0xFFFF && value <= 0x10FFFF) {
      value -= 0x10000;
      sink(0xD800 + (value >> 10));
      sink(0xDC00 + (value & 0x3FF));
      return;
    }
    if (value > 0x10FFFF) value = 0xFFFD;
  }
  sink(value);
}

}  // namespace

std::string ToUtf16LE(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) EachUnit(text[i], [&](uint32_t unit) { PutUnit(out, unit); });
  return out;
}

WsString FromUtf16LE(const char* bytes, size_t size) {
  WsString out;
  size_t count = size / 2;
  out.reserve(count);
  auto unitAt = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
  };
  for (size_t i = 0; i < count; ++i) {
    uint32_t unit = unitAt(i);
    if constexpr (sizeof(wchar_t) == 4) {
      if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count) {
        uint32_t low = unitAt(i + 1);
        if (low >= 0xDC00 && low < 0xE000) {
          out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          ++i;
          continue;
        }
      }
    }
    out.push_back(static_cast<wchar_t>(unit));
  }
  return out;
}

int CompareUtf16(const WsString& a, const WsString& b) {
  if constexpr (sizeof(wchar_t) == 2) {
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  } else {
    // Beyond the BMP, UTF-32 order differs from UTF-16 order: compare the
    // code units each character would become.
    auto key = [](wchar_t c) -> uint32_t {
      uint32_t v = static_cast<uint32_t>(c);
      if (v > 0xFFFF) return 0xD800 + ((v - 0x10000) >> 10);  // high surrogate decides first
      return v;
    };
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      if (a[i] == b[i]) continue;
      uint32_t ka = key(a[i]);
      uint32_t kb = key(b[i]);
      if (ka != kb) return ka < kb ? -1 : 1;
      // Same high surrogate: the low surrogates decide.
      return (static_cast<uint32_t>(a[i]) & 0x3FF) < (static_cast<uint32_t>(b[i]) & 0x3FF) ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
  }
}
