#include "foundation/ws_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

TEST(WsStringTest, DetectRadix) {
  struct Case {
    const wchar_t* text;
    int radix;
  } cases[] = {
      {L"0", 10},   {L"007", 10}, {L"42", 10}, {L"0x1F", 16}, {L"0X1f", 16}, {L"0x", 16},
      {L"0x0", 16}, {L"", 0},     {L"-1", 0},  {L" 1", 0},    {L"1 ", 0},    {L"1.5", 0},
      {L"x1", 0},   {L"00x1", 0}, {L"1F", 0},  {L"0x1G", 0},  {L"0xx", 0},   {L"10x", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(WsString(c.text).DetectRadix(), c.radix) << c.text;
}

TEST(WsStringTest, ToUInt32) {
  const uint32_t kDefault = 77;
  struct Case {
    const wchar_t* text;
    bool ok;
    uint32_t value;
  } cases[] = {
      {L"0x10", true, 16},
      {L"010", true, 10},  // a leading zero never means octal
      {L"0", true, 0},
      {L"0x", true, 0},
      {L"4294967295", true, 4294967295u},
      {L"4294967296", true, 4294967295u},  // saturates
      {L"99999999999999999999999", true, 4294967295u},
      {L"0xFFFFFFFF", true, 4294967295u},
      {L"0x100000000", true, 4294967295u},
      {L"-5", false, kDefault},
      {L"", false, kDefault},
      {L"12abc", false, kDefault},
  };
  for (const Case& c : cases) {
    uint32_t out = 0;
    EXPECT_EQ(WsString(c.text).ToUInt32(out, kDefault), c.ok) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
}

TEST(WsStringTest, ToInt64) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {L"9223372036854775807", true, INT64_MAX},
      {L"9223372036854775808", true, INT64_MAX},
      {L"0xFFFFFFFFFFFFFFFF", true, INT64_MAX},
      {L"0x100000000", true, 0x100000000LL},
      {L"-1", false, -3},
  };
  for (const Case& c : cases) {
    int64_t out = 0;
    EXPECT_EQ(WsString(c.text).ToInt64(out, -3), c.ok) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
}

TEST(WsStringTest, IsTrue) {
  for (const wchar_t* text : {L"true", L"TRUE", L"True", L"1"})
    EXPECT_TRUE(WsString(text).IsTrue()) << text;
  for (const wchar_t* text : {L"yes", L"on", L"0", L" true", L"true ", L"", L"01", L"truex"})
    EXPECT_FALSE(WsString(text).IsTrue()) << text;
}

TEST(WsStringTest, EqualsNoCase) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    bool equal;
  } cases[] = {
      {L"AbC", L"aBc", true},
      {L"", L"", true},
      {L"\u00C4B", L"\u00E4b", false},  // only A-Z and a-z fold
      {L"a", L"ab", false},
      {L"ab", L"a", false},
      {L"[", L"{", false},  // neighbours of the letters do not fold
      {L"@", L"`", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WsString(c.a).EqualsNoCase(c.b), c.equal) << c.a << " " << c.b;
}

TEST(WsStringTest, FindNoCase) {
  WsString text(L"C:/Dir/dir/FILE");
  EXPECT_EQ(text.FindNoCase(L"DIR"), 3u);
  EXPECT_EQ(text.FindNoCase(L"dir", 4), 7u);
  EXPECT_EQ(text.FindNoCase(L"file"), 11u);
  EXPECT_EQ(text.FindNoCase(L"files"), WsString::npos);
  EXPECT_EQ(text, WsString(L"C:/Dir/dir/FILE"));  // the receiver is not changed
}

TEST(WsStringTest, ReplaceAll) {
  struct Case {
    const wchar_t* text;
    const wchar_t* from;
    const wchar_t* to;
    bool noCase;
    const wchar_t* result;
  } cases[] = {
      {L"aXa", L"a", L"aa", false, L"aaXaa"},  // inserted text is not searched again
      {L"aAa", L"a", L"b", false, L"bAb"},
      {L"abc", L"x", L"y", false, L"abc"},
      {L"C:/x/y", L"/", L"\\", true, L"C:\\x\\y"},
      {L"aAa", L"a", L"b", true, L"bbb"},
      {L"one TWO two", L"two", L"2", true, L"one 2 2"},
      {L"abab", L"ab", L"", true, L""},
      {L"aabb", L"ab", L"", true, L""},  // searching restarts from the start
  };
  for (const Case& c : cases) {
    WsString text(c.text);
    if (c.noCase) {
      text.ReplaceAllNoCase(c.from, c.to);
    } else {
      text.ReplaceAll(c.from, c.to);
    }
    EXPECT_EQ(text, WsString(c.result)) << c.text << " " << c.from << " " << c.noCase;
  }
}

TEST(WsStringTest, Split) {
  struct Case {
    const wchar_t* text;
    const wchar_t* delimiter;
    std::vector<std::wstring> pieces;
  } cases[] = {
      {L"abc", L";", {L"abc"}},
      {L"", L";", {}},
      {L"a,,b", L",", {L"a", L"", L"b"}},
      {L",a,", L",", {L"", L"a", L""}},
      {L"a::b::c", L"::", {L"a", L"b", L"c"}},
      {L"a,b", L"", {L"a,b"}},
  };
  for (const Case& c : cases) {
    std::vector<WsString> pieces{L"left over"};
    WsString(c.text).Split(c.delimiter, pieces);
    std::vector<std::wstring> got(pieces.begin(), pieces.end());
    EXPECT_EQ(got, c.pieces) << c.text;
  }
}

TEST(WsStringTest, TrimLeft) {
  struct Case {
    const wchar_t* text;
    const wchar_t* trimmed;
  } cases[] = {
      {L"  \tx ", L"x "}, {L"\r\n x", L"x"}, {L"x", L"x"}, {L"", L""},
      {L" \t\r\n", L""},  {L"\vx", L"\vx"},  // only space, tab, line feed and carriage return are
                                             // blanks
  };
  for (const Case& c : cases) EXPECT_EQ(WsString(c.text).TrimLeft(), WsString(c.trimmed)) << c.text;
}

TEST(WsStringTest, FromNumber) {
  struct Case {
    int64_t value;
    bool hexadecimal;
    int width;
    const wchar_t* text;
  } cases[] = {
      {-1, true, 32, L"0xFFFFFFFF"},
      {-1, false, 32, L"-1"},
      {-1, true, 16, L"0xFFFFFFFF"},  // pointer-sized numbers print 32 bits
      {-1, true, 64, L"0xFFFFFFFFFFFFFFFF"},
      {-1, false, 64, L"-1"},
      {0x123456789LL, true, 32, L"0x23456789"},
      {0x123456789LL, false, 64, L"4886718345"},
      {255, true, 64, L"0xFF"},
      {0, true, 32, L"0x0"},
      {INT64_MIN, false, 64, L"-9223372036854775808"},
  };
  for (const Case& c : cases) {
    WsString out(L"unchanged");
    EXPECT_TRUE(WsString::FromNumber(c.value, out, c.hexadecimal, c.width));
    EXPECT_EQ(out, WsString(c.text)) << c.value << " " << c.hexadecimal << " " << c.width;
  }
  WsString out;
  EXPECT_TRUE(WsString::FromNumber(int32_t{-2}, out, false));
  EXPECT_EQ(out, WsString(L"-2"));
  EXPECT_TRUE(WsString::FromNumber(int32_t{-2}, out, true));
  EXPECT_EQ(out, WsString(L"0xFFFFFFFE"));
}

TEST(WsStringTest, MultiByteRoundTripAndEmptyInputs) {
  WsString wide(L"unchanged");
  WsString::FromMultiByte("Plain ASCII 123", wide, 0);
  EXPECT_EQ(wide, WsString(L"Plain ASCII 123"));
  std::string narrow("unchanged");
  WsString::ToMultiByte(wide.c_str(), narrow, 0);
  EXPECT_EQ(narrow, "Plain ASCII 123");

  WsString::FromMultiByte(nullptr, wide, 0);
  EXPECT_TRUE(wide.empty());
  wide = L"x";
  WsString::FromMultiByte("", wide, 0);
  EXPECT_TRUE(wide.empty());
  WsString::ToMultiByte(nullptr, narrow, 0);
  EXPECT_TRUE(narrow.empty());
  narrow = "x";
  WsString::ToMultiByte(L"", narrow, 0);
  EXPECT_TRUE(narrow.empty());
}

TEST(WsStringTest, ToVariantReplacesTheVariantsText) {
  VARIANT variant;
  VariantInit(&variant);
  EXPECT_TRUE(WsString::ToVariant(L"first", &variant));
  EXPECT_TRUE(WsString::ToVariant(L"second", &variant));  // the first BSTR is freed
  ASSERT_EQ(variant.vt, VT_BSTR);
  EXPECT_EQ(WsString(variant.bstrVal), WsString(L"second"));
  VariantClear(&variant);
}

}  // namespace
