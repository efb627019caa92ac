// Text helpers of the command-line client: UTF-8 on the command line and on
// the console, wide text at the library's boundary, JSON string quoting.
#pragma once

#include <string>

namespace cli {

// UTF-8 from wide text; surrogate pairs (two wchar_t) join, lone ones become U+FFFD.
std::string ToUtf8(const std::wstring& text);
// Wide text from UTF-8; code points above U+FFFF become surrogate pairs where
// wchar_t has 16 bits. Malformed bytes become U+FFFD.
std::wstring FromUtf8(const std::string& text);
// The text as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& text);

}  // namespace cli
