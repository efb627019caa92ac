#include "foundation/guid.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "foundation/utf16.h"

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

bool IsSeparator(wchar_t c) {
  return c == L'-' || c == L'{' || c == L'}' || c == L'(' || c == L')';
}

// A text is a GUID when, without the characters "-{}()", it is exactly 32
// hexadecimal digits (of either case), read 8-4-4-2x8. Read straight from the
// text, without building its normalised form.
bool ParseDigits(const wchar_t* text, size_t length, GUID& out) {
  GUID parsed{};
  size_t count = 0;
  for (const wchar_t* end = text + length; text != end; ++text) {
    const wchar_t c = *text;
    if (IsSeparator(c)) continue;
    const int d = HexDigit(c);
    if (d < 0 || count == 32) return false;
    const auto digit = static_cast<uint32_t>(d);
    if (count < 8) {
      parsed.Data1 = (parsed.Data1 << 4) | digit;
    } else if (count < 12) {
      parsed.Data2 = static_cast<uint16_t>((parsed.Data2 << 4) | digit);
    } else if (count < 16) {
      parsed.Data3 = static_cast<uint16_t>((parsed.Data3 << 4) | digit);
    } else {
      uint8_t& byte = parsed.Data4[(count - 16) / 2];
      byte = static_cast<uint8_t>((byte << 4) | digit);
    }
    ++count;
  }
  if (count != 32) return false;
  out = parsed;
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
  text_.assign(text, length);
  if (ParseDigits(text, length, value_)) {
    notGuid_ = false;
    WsString().swap(normalised_);  // a GUID key keeps no normalised text
  } else {
    notGuid_ = true;
    Normalize(text_, normalised_);
  }
}

void Guid::Clear() {
  text_.clear();
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
