// VersionNumber: the four-part version of engines, products and operating
// systems. Fields are compared first, second, fourth, third: the fourth field
// (the build) outranks the third.
#pragma once

#include <compare>
#include <cstdint>

#include "foundation/ws_string.h"

class VersionNumber {
 public:
  uint32_t first = 0;
  uint32_t second = 0;
  uint32_t third = 0;
  uint32_t fourth = 0;
  // How many numbers the text supplied: 0 to 4, or -1 for a text that is
  // empty or blank. Numbers not supplied are 0.
  int32_t count = 0;

  VersionNumber() = default;
  VersionNumber(uint32_t major, uint32_t minor);
  // Reads up to four unsigned numbers separated by dots ("%u.%u.%u.%u"):
  // blanks before a number are skipped, a sign is accepted, and reading
  // stops at the first text that does not fit, so '1.2.3a' gives count 3.
  explicit VersionNumber(const WsString& text);
  explicit VersionNumber(const wchar_t* text);

  // -1 if this is lower, 1 if higher, 0 if equal; count takes no part.
  int Compare(const VersionNumber& other) const;
  bool IsValid() const { return count > 0; }
  // The numbers the text supplied, joined by "." or by "_".
  WsString ToString(bool underscore) const;
  uint32_t First() const { return first; }

  friend bool operator==(const VersionNumber& a, const VersionNumber& b) {
    return a.Compare(b) == 0;
  }
  friend std::strong_ordering operator<=>(const VersionNumber& a, const VersionNumber& b) {
    return a.Compare(b) <=> 0;
  }

 private:
  void Parse(const wchar_t* text);
};
