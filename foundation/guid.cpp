#include "foundation/guid.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "foundation/utf16.h"

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'-' || c == L'{' || c == L'}' || c == L'(' || c == L')';
}

// What each ASCII character is to a GUID: a digit's value, kSkip for the
// separators "-{}()", kBad for everything else.
constexpr int8_t kSkip = -2;
constexpr int8_t kBad = -1;

struct DigitTable {
  int8_t value[128];
  constexpr DigitTable() : value{} {
    for (int c = 0; c < 128; ++c) value[c] = kBad;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<int8_t>(c - 'a' + 10);
    for (char c : {'-', '{', '}', '(', ')'}) value[static_cast<int>(c)] = kSkip;
  }
};
constexpr DigitTable kDigits;

// A text is a GUID when, without the characters "-{}()", it is exactly 32
// hexadecimal digits (of either case), read 8-4-4-2x8. Read straight from the
// text, without building its normalised form: the first 16 digits collect in
// one 64-bit word, the last 16 in another.
bool ParseDigits(const wchar_t* text, size_t length, GUID& out) {
  uint64_t high = 0;  // in registers, not an array: each digit depends on the last
  uint64_t low = 0;
  size_t count = 0;
  for (const wchar_t* end = text + length; text != end; ++text) {
    const wchar_t c = *text;
    const auto code = static_cast<uint32_t>(c);
    const int d = code < 128 ? kDigits.value[code] : kBad;
    if (d == kSkip) continue;
    if (d == kBad || count == 32) return false;
    if (count < 16) {
      high = (high << 4) | static_cast<uint64_t>(d);
    } else {
      low = (low << 4) | static_cast<uint64_t>(d);
    }
    ++count;
  }
  if (count != 32) return false;
  out.Data1 = static_cast<uint32_t>(high >> 32);
  out.Data2 = static_cast<uint16_t>(high >> 16);
  out.Data3 = static_cast<uint16_t>(high);
  for (int i = 0; i < 8; ++i) out.Data4[i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  return true;
}

// Whether a text that reads as a GUID is spelt exactly as ToString prints
// it: braces, hyphens after the 8th, 12th, 16th and 20th digit, upper case.
bool IsPrinted(const wchar_t* text, size_t length) {
  if (length != 38 || text[0] != L'{' || text[37] != L'}') return false;
  for (size_t hyphen : {9, 14, 19, 24}) {
    if (text[hyphen] != L'-') return false;
  }
  // The other 32 characters are digits, as the text read as a GUID.
  for (size_t i = 1; i < 37; ++i) {
    if (text[i] >= L'a' && text[i] <= L'f') return false;
  }
  return true;
}

// The usual spelling, "{8-4-4-4-12}" with upper-case digits, read at the
// fixed places of its digits in one pass. False for any other text, which
// ParseDigits and IsPrinted then read the general way.
bool ParsePrinted(const wchar_t* text, size_t length, GUID& out) {
  if (length != 38 || text[0] != L'{' || text[37] != L'}' || text[9] != L'-' || text[14] != L'-' ||
      text[19] != L'-' || text[24] != L'-') {
    return false;
  }
  // Where the digits stand: the first 16 make the high word, the rest the low.
  static constexpr uint8_t kHigh[16] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18};
  static constexpr uint8_t kLow[16] = {20, 21, 22, 23, 25, 26, 27, 28,
                                       29, 30, 31, 32, 33, 34, 35, 36};
  const auto digit = [text](size_t at) {
    const auto code = static_cast<uint32_t>(text[at]);
    // Upper case only, as ToString prints it.
    return code < 128 && !(code >= L'a' && code <= L'f') ? kDigits.value[code] : kBad;
  };
  uint64_t high = 0;
  uint64_t low = 0;
  for (int k = 0; k < 16; ++k) {
    const int h = digit(kHigh[k]);
    const int l = digit(kLow[k]);
    if (h < 0 || l < 0) return false;
    high = (high << 4) | static_cast<uint64_t>(h);
    low = (low << 4) | static_cast<uint64_t>(l);
  }
  out.Data1 = static_cast<uint32_t>(high >> 32);
  out.Data2 = static_cast<uint16_t>(high >> 16);
  out.Data3 = static_cast<uint16_t>(high);
  for (int i = 0; i < 8; ++i) out.Data4[i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  return true;
}

}  // namespace

size_t Guid::Normalize(const WsString& text, WsString& normalised) {
  // Written into storage sized for the whole text, then cut to what was kept.
  normalised.resize(text.size());
  size_t kept = 0;
  for (wchar_t c : text) {
    if (IsSeparator(c)) continue;
    // Under the default locale only a-z have an upper case.
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    normalised[kept++] = c;
  }
  normalised.resize(kept);
  return kept;
}

void Guid::Parse(const WsString& text) {
  Assign(text.c_str(), text.size());
}

void Guid::Parse(const wchar_t* text) {
  Assign(text, text != nullptr ? std::wcslen(text) : 0);
}

void Guid::Assign(const wchar_t* text, size_t length) {
  if (length == 0) {
    Clear();
    return;
  }
  if (ParsePrinted(text, length, value_)) {
    notGuid_ = false;
    printedText_ = true;
    text_.clear();
    if (!normalised_.empty()) WsString().swap(normalised_);
  } else if (ParseDigits(text, length, value_)) {
    notGuid_ = false;
    printedText_ = IsPrinted(text, length);
    if (printedText_) {
      text_.clear();
    } else {
      text_.assign(text, length);
    }
    if (!normalised_.empty()) WsString().swap(normalised_);  // a GUID key keeps none
  } else {
    notGuid_ = true;
    printedText_ = false;
    text_.assign(text, length);
    Normalize(text_, normalised_);
  }
}

void Guid::Clear() {
  text_.clear();
  printedText_ = false;
  normalised_.clear();
  notGuid_ = true;
}

WsString Guid::ToString() const {
  if (notGuid_) return text_;
  char buffer[64];
  int written = std::snprintf(
      buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
      static_cast<unsigned>(value_.Data1), static_cast<unsigned>(value_.Data2),
      static_cast<unsigned>(value_.Data3), value_.Data4[0], value_.Data4[1], value_.Data4[2],
      value_.Data4[3], value_.Data4[4], value_.Data4[5], value_.Data4[6], value_.Data4[7]);
  if (written < 0) return WsString();
  return WsString(std::wstring(buffer, buffer + written));
}

bool operator==(const Guid& a, const Guid& b) {
  if (a.notGuid_ != b.notGuid_) return false;
  if (a.notGuid_) return a.normalised_ == b.normalised_;
  return std::memcmp(&a.value_, &b.value_, sizeof(GUID)) == 0;
}

bool operator<(const Guid& a, const Guid& b) {
  if (!a.notGuid_ && !b.notGuid_) {
    const GUID& x = a.value_;
    const GUID& y = b.value_;
    if (x.Data1 != y.Data1) return x.Data1 < y.Data1;
    if (x.Data2 != y.Data2) return x.Data2 < y.Data2;
    if (x.Data3 != y.Data3) return x.Data3 < y.Data3;
    return std::memcmp(x.Data4, y.Data4, sizeof x.Data4) < 0;
  }
  if (!a.notGuid_) return true;   // a GUID comes before every text key
  if (!b.notGuid_) return false;  // a text key never comes before a GUID
  // By UTF-16 code unit on every build.
  return CompareUtf16(a.normalised_, b.normalised_) < 0;
}
