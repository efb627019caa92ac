#include "foundation/version_number.h"

#include <cstdio>

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Reads one "%u" at text: blanks, an optional sign, then decimal digits.
// The value wraps modulo 2^32 and a minus sign negates it, as the C runtime's
// unsigned conversion does. Returns false when no digit follows.
bool ReadUnsigned(const wchar_t*& text, uint32_t& value) {
  const wchar_t* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == L'+' || *p == L'-') {
    negative = *p == L'-';
    ++p;
  }
  if (!IsDigit(*p)) return false;
  uint32_t result = 0;
  for (; IsDigit(*p); ++p) result = result * 10u + static_cast<uint32_t>(*p - L'0');
  value = negative ? 0u - result : result;
  text = p;
  return true;
}

}  // namespace

VersionNumber::VersionNumber(uint32_t major, uint32_t minor)
    : first(major), second(minor), count(2) {}

VersionNumber::VersionNumber(const WsString& text) {
  Parse(text.c_str());
}

VersionNumber::VersionNumber(const wchar_t* text) {
  Parse(text != nullptr ? text : L"");
}

// The same result on every build, whatever the platform's swscanf does.
void VersionNumber::Parse(const wchar_t* text) {
  uint32_t* fields[] = {&first, &second, &third, &fourth};
  const wchar_t* p = text;
  count = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (*p != L'.') return;
      ++p;
    }
    const wchar_t* start = p;
    while (IsBlank(*start)) ++start;
    if (!ReadUnsigned(p, *fields[i])) {
      // Input that ends before the first number is a failure of input (-1),
      // not of matching (0).
      if (count == 0 && *start == L'\0') count = -1;
      return;
    }
    ++count;
  }
}

int VersionNumber::Compare(const VersionNumber& other) const {
  const uint32_t mine[] = {first, second, fourth, third};
  const uint32_t theirs[] = {other.first, other.second, other.fourth, other.third};
  for (int i = 0; i < 4; ++i) {
    if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : 1;
  }
  return 0;
}

WsString VersionNumber::ToString(bool underscore) const {
  if (count < 1) return WsString();
  const char separator = underscore ? '_' : '.';
  char buffer[255];
  int written;
  switch (count) {
    case 1:
      written = std::snprintf(buffer, sizeof buffer, "%u", first);
      break;
    case 2:
      written = std::snprintf(buffer, sizeof buffer, "%u%c%u", first, separator, second);
      break;
    case 3:
      written = std::snprintf(buffer, sizeof buffer, "%u%c%u%c%u", first, separator, second,
                              separator, third);
      break;
    default:
      written = std::snprintf(buffer, sizeof buffer, "%u%c%u%c%u%c%u", first, separator, second,
                              separator, third, separator, fourth);
      break;
  }
  if (written < 0) return WsString();
  return WsString(std::wstring(buffer, buffer + written));
}
