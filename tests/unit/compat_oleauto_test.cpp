// BSTR layout and VARIANT clearing, as callers of the exported functions rely on them.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compat/win32.h"

namespace {

uint32_t PrefixOf(BSTR text) {
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof(bytes), sizeof(bytes));
  return bytes;
}

TEST(CompatOleAuto, StringsCarryTheirByteLengthAndANul) {
  struct Case {
    std::wstring text;  // may hold NULs
  };
  const Case cases[] = {
      {L""}, {L"abc"}, {L"Grüße 😀"}, {std::wstring(L"a\0b", 3)}, {std::wstring(300, L'x')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text.size()));
    BSTR copy = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SysStringLen(copy), c.text.size());
    EXPECT_EQ(PrefixOf(copy), c.text.size() * sizeof(OLECHAR));
    EXPECT_EQ(std::wstring(copy, SysStringLen(copy)), c.text);
    EXPECT_EQ(copy[c.text.size()], L'\0');
    SysFreeString(copy);

    // SysAllocString stops at the first NUL.
    BSTR upToNul = SysAllocString(c.text.c_str());
    ASSERT_NE(upToNul, nullptr);
    EXPECT_EQ(SysStringLen(upToNul), std::wcslen(c.text.c_str()));
    SysFreeString(upToNul);
  }

  BSTR blank = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[4], L'\0');
  SysFreeString(blank);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);  // no effect
}

TEST(CompatOleAuto, VariantClearReleasesItsStringAndEmptiesIt) {
  VARIANT variant;
  std::memset(&variant, 0xAB, sizeof(variant));
  VariantInit(&variant);
  EXPECT_EQ(variant.vt, VT_EMPTY);

  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(L"owned by the variant");
  EXPECT_EQ(VariantClear(&variant), S_OK);  // a leak checker sees the string freed
  EXPECT_EQ(variant.vt, VT_EMPTY);

  variant.vt = VT_I4;
  variant.lVal = 7;
  EXPECT_EQ(VariantClear(&variant), S_OK);
  EXPECT_EQ(variant.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&variant), S_OK);  // clearing an empty variant is harmless
}

}  // namespace
