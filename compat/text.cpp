// UTF-8 and UTF-16LE to and from wchar_t text.

#include "compat/text.h"

#include <cstdint>

namespace compat {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring DecodeUtf8(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    int follow = 0;
    uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    uint32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;   // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool complete = true;
    for (int k = 0; k < follow; ++k, ++j) {
      if (j >= n) {
        complete = false;
        break;
      }
      const auto b = static_cast<uint8_t>(bytes[j]);
      const uint8_t lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
      if (b < lo || b > hi) {
        complete = false;
        break;
      }
      c = (c << 6) | (b & 0x3F);
    }
    out += complete ? static_cast<wchar_t>(c) : kReplacement;
    i = j;
  }
  return out;
}

std::string EncodeUtf8(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    auto c = static_cast<uint32_t>(text[i]);
    if (IsHighSurrogate(c) && i + 1 < length &&
        IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::wstring DecodeUtf16LE(std::string_view bytes) {
  std::wstring out;
  const size_t units = bytes.size() / 2;
  out.reserve(units);
  auto unit = [&](size_t k) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * k])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * k + 1])) << 8);
  };
  for (size_t k = 0; k < units; ++k) {
    uint32_t c = unit(k);
    if (IsHighSurrogate(c) && k + 1 < units && IsLowSurrogate(unit(k + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = kReplacement;
    }
    out += static_cast<wchar_t>(c);
  }
  return out;
}

}  // namespace compat
