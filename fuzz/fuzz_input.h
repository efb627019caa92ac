// Helpers shared by the fuzz targets: turning raw fuzzer bytes into the
// library's texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/ws_string.h"

namespace fuzz {

// The bytes as wide characters, two bytes a character (little-endian), so
// any code unit, surrogates included, can appear. A trailing odd byte is
// dropped.
inline WsString WideText(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  }
  return WsString(text.c_str());
}

// Splits the bytes at every 0xFF into at most limit pieces, each read as
// 8-bit text (so short digits and dots are easy for the fuzzer to reach).
inline std::vector<WsString> NarrowPieces(const uint8_t* data, size_t size, size_t limit) {
  std::vector<WsString> pieces(1);
  std::wstring current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) {
      pieces.back() = WsString(current.c_str());
      if (pieces.size() == limit) return pieces;
      pieces.emplace_back();
      current.clear();
      continue;
    }
    if (data[i] != 0) current += static_cast<wchar_t>(data[i]);
  }
  pieces.back() = WsString(current.c_str());
  return pieces;
}

}  // namespace fuzz
