// WsString: the one string type of the library, a string of wchar_t code units
// (UTF-16 on Windows; on other systems wchar_t is 32 bits wide and text becomes
// UTF-16LE only where bytes are written, see foundation/utf16.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compat/win32.h"

class WsString : public std::wstring {
 public:
  WsString() = default;
  WsString(const wchar_t* text) : std::wstring(text) {}  // NOLINT: literals convert freely
  WsString(const wchar_t* text, size_t length) : std::wstring(text, length) {}
  WsString(const std::wstring& text) : std::wstring(text) {}        // NOLINT
  WsString(std::wstring&& text) : std::wstring(std::move(text)) {}  // NOLINT
  WsString(const WsString&) = default;
  WsString(WsString&&) = default;
  WsString& operator=(const WsString&) = default;
  WsString& operator=(WsString&&) = default;
  virtual ~WsString();

  // Case-insensitive comparison: only A-Z and a-z fold together.
  bool EqualsNoCase(const WsString& other) const;
  bool EqualsNoCase(const wchar_t* other) const { return SameNoCase(c_str(), other); }
  // Equal texts when a-z and A-Z are taken as the same.
  static bool SameNoCase(const wchar_t* a, const wchar_t* b);
  // First position at or after start where needle occurs, ignoring ASCII case; npos if none.
  size_t FindNoCase(const WsString& needle, size_t start = 0) const;
  // Replaces every occurrence; the search resumes after the inserted text.
  void ReplaceAll(const WsString& from, const WsString& to);
  // Replaces case-insensitively, searching again from the start after each
  // replacement. `to` must not contain `from`.
  void ReplaceAllNoCase(const WsString& from, const WsString& to);
  // Splits at every delimiter; empty pieces remain. An empty receiver gives no piece.
  void Split(const WsString& delimiter, std::vector<WsString>& pieces) const;
  // Copy without the leading blanks (space, tab, line feed, carriage return).
  WsString TrimLeft() const;
  // Upper-cases a-z in place.
  void MakeUpper();
  // 10 for a plain decimal number, 16 for "0x" hexadecimal, 0 for anything else.
  int DetectRadix() const;
  // Parse as a number of DetectRadix's radix; stores the default first and
  // reports false when the text is not a number. Out-of-range values saturate.
  bool ToUInt32(uint32_t& out, uint32_t defaultValue = 0) const;
  // As ToUInt32, for a piece of text.
  static bool ParseUInt32(std::wstring_view text, uint32_t& out);
  bool ToInt64(int64_t& out, int64_t defaultValue = 0) const;
  // "true" or "1", ignoring case.
  bool IsTrue() const;

  // Formats value: width 16 and 32 print 32 bits, any other width 64 bits;
  // hexadecimal as "0x" with upper-case digits, decimal signed.
  static bool FromNumber(int64_t value, WsString& out, bool hexadecimal, int width);
  static bool FromNumber(int32_t value, WsString& out, bool hexadecimal);
  // The locale's default ANSI code page; 0 (the system default) for locale 0.
  static UINT CodePageFromLcid(LCID locale);
  // 8-bit text through the locale's code page; failures give an empty text.
  static void FromMultiByte(const char* text, WsString& out, LCID locale);
  static void ToMultiByte(const wchar_t* text, std::string& out, LCID locale);
  // Clears the variant, then stores a new BSTR copy of text. The BSTR belongs to the variant.
  static bool ToVariant(const wchar_t* text, VARIANT* variant);
};

inline WsString operator+(const WsString& a, const WsString& b) {
  WsString r(a);
  r.append(b);
  return r;
}
inline WsString operator+(const WsString& a, const wchar_t* b) {
  WsString r(a);
  r.append(b);
  return r;
}
inline WsString operator+(const wchar_t* a, const WsString& b) {
  WsString r(a);
  r.append(b);
  return r;
}

// The shared empty value returned by accessors that find nothing.
const WsString& EmptyString();

// Path separators used when directories are created.
extern const WsString kBackslash;
extern const WsString kForwardSlash;
