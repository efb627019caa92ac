// UTF-8 conversions as the string layer uses them: a size query, then the
// conversion, with lengths that include the NUL or not.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compat/win32.h"

namespace {

std::wstring ToWide(const char* text, int length) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  if (needed <= 0) return L"<failed>";
  std::wstring wide(static_cast<size_t>(needed), L'#');
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, length, wide.data(), needed), needed);
  return wide;
}

std::string ToNarrow(const wchar_t* text, int length) {
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return "<failed>";
  std::string narrow(static_cast<size_t>(needed), '#');
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), needed, nullptr, nullptr),
            needed);
  return narrow;
}

TEST(CompatNls, RoundTripsThroughUtf8) {
  struct Case {
    const wchar_t* wide;
    const char* utf8;
  };
  const Case cases[] = {
      {L"", ""},
      {L"plain ASCII", "plain ASCII"},
      {L"Grüße, naïve café",
       "Gr\xC3\xBC\xC3\x9F"
       "e, na\xC3\xAFve caf\xC3\xA9"},
      {L"日本語のテキスト",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86"
       "\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88"},
      {L"emoji 😀 beyond the BMP", "emoji \xF0\x9F\x98\x80 beyond the BMP"},
      {L"\u20AC\u00A0\u0416", "\xE2\x82\xAC\xC2\xA0\xD0\x96"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    // -1: up to and including the NUL.
    EXPECT_EQ(ToWide(c.utf8, -1), std::wstring(c.wide) + L'\0');
    EXPECT_EQ(ToNarrow(c.wide, -1), std::string(c.utf8) + '\0');
    // An explicit length: exactly those units, no NUL added.
    if (*c.utf8 != '\0') {
      EXPECT_EQ(ToWide(c.utf8, static_cast<int>(std::strlen(c.utf8))), std::wstring(c.wide));
      EXPECT_EQ(ToNarrow(c.wide, static_cast<int>(std::wcslen(c.wide))), std::string(c.utf8));
    }
  }
}

TEST(CompatNls, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    const char* utf8;
    const wchar_t* wide;
  };
  const Case cases[] = {
      {"\xFF", L"\uFFFD"},
      {"a\xC3", L"a\uFFFD"},  // cut short at the end
      {"\xC3x", L"\uFFFDx"},  // a lead byte without its continuation
      {"\x80"
       "b",
       L"\uFFFD"
       L"b"},                         // a lone continuation byte
      {"\xC0\xAF", L"\uFFFD\uFFFD"},  // an overlong form
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(ToWide(c.utf8, static_cast<int>(std::strlen(c.utf8))), std::wstring(c.wide));
  }
}

TEST(CompatNls, BufferTooSmallAndBadArguments) {
  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::wstring(wide), L"abc");

  char narrow[3] = {'#', '#', '#'};
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", -1, narrow, 3, nullptr, nullptr), 3);

  // A zero length is not an empty text but an error.
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", 0, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
