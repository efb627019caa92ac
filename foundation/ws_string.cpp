#include "foundation/ws_string.h"

#include <cinttypes>
#include <cstdio>

namespace {

wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

// Parses digits of the given radix from text, saturating at limit.
uint64_t ParseDigits(std::wstring_view text, int radix, uint64_t limit) {
  if (radix == 16 && text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  for (const wchar_t c : text) {
    unsigned digit;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<unsigned>(c - L'A' + 10);
    } else {
      break;
    }
    if (value > (limit - digit) / static_cast<uint64_t>(radix)) return limit;
    value = value * static_cast<uint64_t>(radix) + digit;
  }
  return value;
}

}  // namespace

const WsString kBackslash(L"\\");
const WsString kForwardSlash(L"/");

WsString::~WsString() = default;

const WsString& EmptyString() {
  static const WsString empty;
  return empty;
}

bool WsString::EqualsNoCase(const WsString& other) const {
  return EqualsNoCase(other.c_str());
}

bool WsString::SameNoCase(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    if (AsciiUpper(*a) != AsciiUpper(*b)) return false;
    if (*a == 0) return true;
  }
}

size_t WsString::FindNoCase(const WsString& needle, size_t start) const {
  WsString haystack(*this);
  WsString upperNeedle(needle);
  haystack.MakeUpper();
  upperNeedle.MakeUpper();
  return haystack.find(upperNeedle, start);
}

void WsString::ReplaceAll(const WsString& from, const WsString& to) {
  if (from.empty()) return;
  size_t pos = 0;
  while ((pos = find(from, pos)) != npos) {
    replace(pos, from.size(), to);
    pos += to.size();
  }
}

void WsString::ReplaceAllNoCase(const WsString& from, const WsString& to) {
  if (from.empty()) return;
  size_t pos;
  while ((pos = FindNoCase(from, 0)) != npos) replace(pos, from.size(), to);
}

void WsString::Split(const WsString& delimiter, std::vector<WsString>& pieces) const {
  pieces.clear();
  if (empty()) return;
  if (delimiter.empty() || find(delimiter) == npos) {
    pieces.push_back(*this);
    return;
  }
  size_t start = 0;
  size_t pos;
  while ((pos = find(delimiter, start)) != npos) {
    pieces.emplace_back(substr(start, pos - start));
    start = pos + delimiter.size();
  }
  pieces.emplace_back(substr(start));
}

WsString WsString::TrimLeft() const {
  size_t first = find_first_not_of(L" \t\n\r");
  if (first == npos) return WsString();
  return WsString(substr(first));
}

void WsString::MakeUpper() {
  for (wchar_t& c : *this) c = AsciiUpper(c);
}

namespace {

int DetectRadixOf(std::wstring_view text) {
  if (text.empty()) return 0;
  bool leadingZero = false;
  bool digit = false;
  int radix = 10;
  for (wchar_t c : text) {
    if (c == L'0' && !digit && !leadingZero && radix == 10) {
      leadingZero = true;
    } else if (c == L'x' || c == L'X') {
      if (leadingZero && !digit && radix == 10) {
        radix = 16;
      } else {
        return 0;
      }
    } else if (c >= L'0' && c <= L'9') {
      digit = true;
    } else if ((c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f')) {
      if (radix != 16) return 0;
      digit = true;
    } else {
      return 0;
    }
  }
  return radix;
}

}  // namespace

int WsString::DetectRadix() const {
  return DetectRadixOf(*this);
}

bool WsString::ToUInt32(uint32_t& out, uint32_t defaultValue) const {
  out = defaultValue;
  return ParseUInt32(*this, out);
}

bool WsString::ParseUInt32(std::wstring_view text, uint32_t& out) {
  const int radix = DetectRadixOf(text);
  if (radix == 0) return false;
  out = static_cast<uint32_t>(ParseDigits(text, radix, UINT32_MAX));
  return true;
}

bool WsString::ToInt64(int64_t& out, int64_t defaultValue) const {
  out = defaultValue;
  int radix = DetectRadix();
  if (radix == 0) return false;
  out = static_cast<int64_t>(ParseDigits(*this, radix, INT64_MAX));
  return true;
}

bool WsString::IsTrue() const {
  static const WsString kTrue(L"true");
  static const WsString kOne(L"1");
  return EqualsNoCase(kTrue) || EqualsNoCase(kOne);
}

bool WsString::FromNumber(int64_t value, WsString& out, bool hexadecimal, int width) {
  char buffer[260];
  int written;
  if (width == 16 || width == 32) {
    // Pointer-sized numbers print 32 bits, as in the 32-bit product.
    int32_t narrow = static_cast<int32_t>(value);
    written = hexadecimal ? std::snprintf(buffer, sizeof buffer, "0x%" PRIX32,
                                          static_cast<uint32_t>(narrow))
                          : std::snprintf(buffer, sizeof buffer, "%" PRIi32, narrow);
  } else {
    written = hexadecimal
                  ? std::snprintf(buffer, sizeof buffer, "0x%" PRIX64, static_cast<uint64_t>(value))
                  : std::snprintf(buffer, sizeof buffer, "%" PRIi64, value);
  }
  if (written < 0 || written >= static_cast<int>(sizeof buffer)) return false;
  out.assign(buffer, buffer + written);
  return true;
}

bool WsString::FromNumber(int32_t value, WsString& out, bool hexadecimal) {
  return FromNumber(static_cast<int64_t>(value), out, hexadecimal, 32);
}

UINT WsString::CodePageFromLcid(LCID locale) {
  if (locale == 0) return 0;
  wchar_t buffer[260] = {0};
  if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE, buffer, 260) <= 0) return 0;
  uint32_t codePage = 0;
  WsString text(buffer);
  if (!text.ToUInt32(codePage, 0)) return 0;
  return codePage;
}

void WsString::FromMultiByte(const char* text, WsString& out, LCID locale) {
  out.clear();
  if (text == nullptr) return;
  int length = static_cast<int>(std::char_traits<char>::length(text)) + 1;
  if (length == 1) return;
  UINT codePage = CodePageFromLcid(locale);
  int needed = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  if (needed <= 0) return;
  std::vector<wchar_t> buffer(static_cast<size_t>(needed));
  if (MultiByteToWideChar(codePage, 0, text, length, buffer.data(), needed) != needed) return;
  out.assign(buffer.data());
}

void WsString::ToMultiByte(const wchar_t* text, std::string& out, LCID locale) {
  out.clear();
  if (text == nullptr || *text == 0) return;
  int length = static_cast<int>(std::char_traits<wchar_t>::length(text)) + 1;
  UINT codePage = CodePageFromLcid(locale);
  int needed = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  std::vector<char> buffer(static_cast<size_t>(needed));
  if (WideCharToMultiByte(codePage, 0, text, length, buffer.data(), needed, nullptr, nullptr) !=
      needed)
    return;
  out.assign(buffer.data());
}

bool WsString::ToVariant(const wchar_t* text, VARIANT* variant) {
  VariantClear(variant);
  variant->vt = VT_BSTR;
  variant->bstrVal = SysAllocString(text);
  return true;
}
