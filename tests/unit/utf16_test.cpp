#include "foundation/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Text from UTF-16LE bytes written as a string literal.
WsString Text(const std::string& bytes) {
  return FromUtf16LE(bytes.data(), bytes.size());
}

TEST(Utf16Test, BytesRoundTrip) {
  const std::string cases[] = {
      std::string(""),
      std::string("A\0", 2),
      std::string("A\0\xAC\x20", 4),          // U+20AC in the BMP
      std::string("\x3D\xD8\x00\xDE", 4),     // U+1F600, a surrogate pair
      std::string("x\0\xFF\xDB\xFF\xDF", 6),  // U+10FFFF, the last character
      std::string("\x00\xD8", 2),             // a lone high surrogate stays as it is
      std::string("\x00\xDC"
                  "a\0",
                  4),  // a lone low surrogate too
  };
  for (const std::string& bytes : cases) EXPECT_EQ(ToUtf16LE(Text(bytes)), bytes);
}

TEST(Utf16Test, OddTrailingByteIsDropped) {
  std::string bytes("A\0B", 3);
  EXPECT_EQ(ToUtf16LE(FromUtf16LE(bytes.data(), bytes.size())), std::string("A\0", 2));
}

TEST(Utf16Test, WideLiteralsBecomeLittleEndianUnits) {
  EXPECT_EQ(ToUtf16LE(WsString(L"a\u00E9\u20AC")), std::string("a\0\xE9\0\xAC\x20", 6));
}

TEST(Utf16Test, OrderIsByUtf16CodeUnit) {
  const WsString supplementary = Text(std::string("\x00\xD8\x00\xDC", 4));  // U+10000
  const WsString privateUse = Text(std::string("\x00\xE0", 2));             // U+E000
  const WsString lastBmp = Text(std::string("\xFF\xFF", 2));                // U+FFFF
  struct Case {
    WsString a;
    WsString b;
    int order;
  } cases[] = {
      // Surrogates sort below U+E000..U+FFFF, although the characters are higher.
      {supplementary, privateUse, -1},         {lastBmp, supplementary, 1},
      {WsString(L"ab"), WsString(L"abc"), -1},  // a shorter prefix first
      {WsString(L"b"), WsString(L"abc"), 1},   {supplementary, supplementary, 0},
      {WsString(L""), WsString(L""), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareUtf16(c.a, c.b), c.order);
    EXPECT_EQ(CompareUtf16(c.b, c.a), -c.order);
    EXPECT_EQ(Utf16Less()(c.a, c.b), c.order < 0);
  }
}

}  // namespace
