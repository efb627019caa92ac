#include "foundation/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "support/registry_fixture.h"

namespace {

const std::wstring kLong(600, L'x');  // more than the first 1024-byte buffer holds

std::wstring Fixture() {
  return L"Windows Registry Editor Version 5.00\n"
         L"\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\RavenlinkFoundationTest\\Values]\n"
         L"\"Text\"=\"hello\"\n"
         L"\"Empty\"=\"\"\n"
         L"\"Path\"=\"C:\\\\dir\\\\trace.log\"\n"
         L"\"Long\"=\"" +
         kLong +
         L"\"\n"
         L"\"Dword\"=dword:0000002a\n"
         L"\"Zero\"=dword:00000000\n"
         L"\"Big\"=dword:ffffffff\n"
         L"\"Short\"=hex:01,02\n"
         L"\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\RavenlinkFoundationTest\\No Values]\n";
}

const WsString kValues(L"SOFTWARE\\RavenlinkFoundationTest\\Values");
const WsString kMissingKey(L"SOFTWARE\\RavenlinkFoundationTest\\Missing");

TEST(RegistryTest, KeysAndValuesExist) {
  ScopedRegistry registry(Fixture());
  struct KeyCase {
    const wchar_t* key;
    bool exists;
  } keys[] = {
      {L"SOFTWARE\\RavenlinkFoundationTest\\Values", true},
      {L"software\\ravenlinkfoundationtest\\VALUES", true},  // names ignore case
      {L"SOFTWARE\\RavenlinkFoundationTest\\No Values", true},
      {L"SOFTWARE\\RavenlinkFoundationTest", true},  // a parent of named keys
      {L"SOFTWARE\\RavenlinkFoundationTest\\Missing", false},
      {L"SOFTWARE\\RavenlinkFoundationTest\\Values\\Text", false},  // a value is no key
  };
  for (const KeyCase& c : keys)
    EXPECT_EQ(RegKeyExists(c.key, HKEY_LOCAL_MACHINE), c.exists) << c.key;

  struct ValueCase {
    const WsString& key;
    const wchar_t* value;
    bool exists;
  } values[] = {
      {kValues, L"Text", true},  {kValues, L"TEXT", true},     {kValues, L"Empty", true},
      {kValues, L"Long", true},  // too large for the buffer still counts
      {kValues, L"Dword", true}, {kValues, L"Missing", false}, {kMissingKey, L"Text", false},
  };
  for (const ValueCase& c : values)
    EXPECT_EQ(RegValueExists(c.key, c.value, HKEY_LOCAL_MACHINE), c.exists) << c.value;
}

TEST(RegistryTest, ReadDwordAndBool) {
  ScopedRegistry registry(Fixture());
  const uint32_t kUntouched = 0xDEADBEEF;
  struct Case {
    const WsString& key;
    const wchar_t* value;
    bool ok;
    uint32_t number;  // what RegReadDword stores
    bool flag;        // what RegReadBool stores (from false)
  } cases[] = {
      {kValues, L"Dword", true, 42, true},
      {kValues, L"Zero", true, 0, false},
      {kValues, L"Big", true, 0xFFFFFFFF, true},
      {kValues, L"Short", true, 0x0201, true},  // two bytes, zero above them
      // Missing values and values too large to read: true, output untouched
      // (and false for a bool, which starts at 0).
      {kValues, L"Missing", true, kUntouched, false},
      {kValues, L"Long", true, kUntouched, false},
      {kMissingKey, L"Dword", false, kUntouched, true},  // true: the bool is not touched
  };
  for (const Case& c : cases) {
    uint32_t number = kUntouched;
    EXPECT_EQ(RegReadDword(c.key, c.value, number, HKEY_LOCAL_MACHINE), c.ok) << c.value;
    EXPECT_EQ(number, c.number) << c.value;
    bool flag = !c.ok;  // a failed read must leave it alone
    EXPECT_EQ(RegReadBool(c.key, c.value, flag, HKEY_LOCAL_MACHINE), c.ok) << c.value;
    EXPECT_EQ(flag, c.flag) << c.value;
  }
  // DWORD is another type than uint32_t on Windows; both read alike.
  DWORD dword = 0;
  EXPECT_TRUE(RegReadDword(kValues, L"Dword", dword, HKEY_LOCAL_MACHINE));
  EXPECT_EQ(dword, 42u);
  // Any type reads as a number from its first bytes: a text is true.
  bool flag = false;
  EXPECT_TRUE(RegReadBool(kValues, L"Text", flag, HKEY_LOCAL_MACHINE));
  EXPECT_TRUE(flag);
}

TEST(RegistryTest, ReadString) {
  ScopedRegistry registry(Fixture());
  const WsString kUntouched(L"untouched");
  struct Case {
    const WsString& key;
    const wchar_t* value;
    bool ok;
    WsString text;
  } cases[] = {
      {kValues, L"Text", true, L"hello"},
      {kValues, L"Empty", true, L""},
      {kValues, L"Path", true, L"C:\\dir\\trace.log"},
      {kValues, L"Long", true, kLong},  // read again with a larger buffer
      {kValues, L"Dword", true, L"*"},  // 2A 00 00 00: a text up to its first NUL
      {kValues, L"Missing", true, kUntouched},
      {kMissingKey, L"Text", false, kUntouched},
  };
  for (const Case& c : cases) {
    WsString text = kUntouched;
    EXPECT_EQ(RegReadString(c.key, c.value, text, HKEY_LOCAL_MACHINE), c.ok) << c.value;
    EXPECT_EQ(text, c.text) << c.value;
  }
}

TEST(RegistryTest, BrowserVersionTests) {
  struct Case {
    const wchar_t* version;
    bool atLeast7;
    bool atLeast8;
  } cases[] = {
      {L"", false, false},
      {L"6.0.2900.2180", false, false},
      {L"7.0.5730.13", true, false},
      {L"8.0.7601.17514", true, true},
      {L"11.0.19041.1", true, true},  // numbers, not texts: 11 is above 8
      {L"9", true, true},
      {L"unknown", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsMajorVersionAtLeast(c.version, 7), c.atLeast7) << c.version;
    EXPECT_EQ(IsMajorVersionAtLeast(c.version, 8), c.atLeast8) << c.version;
  }
  EXPECT_EQ(MakerRegistryKey(), WsString(L"SOFTWARE\\Quorvane"));
}

}  // namespace
