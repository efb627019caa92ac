// Portable bytes: text leaves the library as UTF-16LE on every build, whatever
// the width of wchar_t (2 bytes on Windows, 4 on Linux).
#pragma once

#include <cstddef>
#include <string>

#include "foundation/ws_string.h"

// UTF-16LE bytes of the text; characters beyond the BMP become surrogate pairs.
std::string ToUtf16LE(const wchar_t* text, size_t length);
inline std::string ToUtf16LE(const WsString& text) {
  return ToUtf16LE(text.data(), text.size());
}

// Text from UTF-16LE bytes (an odd trailing byte is dropped; surrogate pairs join).
WsString FromUtf16LE(const char* bytes, size_t size);

// Ordinal comparison by UTF-16 code unit, a shorter prefix first: the order of
// message ids on every build.
int CompareUtf16(const WsString& a, const WsString& b);

struct Utf16Less {
  bool operator()(const WsString& a, const WsString& b) const { return CompareUtf16(a, b) < 0; }
};
