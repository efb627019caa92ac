// Conversions between the 8-bit and 16-bit encodings the platform layer reads
// and wchar_t text (UTF-32 here). Malformed input never fails: each maximal
// ill-formed subsequence becomes U+FFFD, as Windows converts UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace compat {

std::wstring DecodeUtf8(std::string_view bytes);

// Lone surrogates and values beyond U+10FFFF become U+FFFD; a high surrogate
// followed by a low one (text that came from UTF-16) joins into one character.
std::string EncodeUtf8(const wchar_t* text, size_t length);

// An odd trailing byte is dropped; surrogate pairs join, lone ones become U+FFFD.
std::wstring DecodeUtf16LE(std::string_view bytes);

}  // namespace compat
