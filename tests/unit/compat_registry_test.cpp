// Registry reading as the library does it, on a .reg fixture: the same
// expectations hold for the Linux file-backed registry and for Windows.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "compat/win32.h"
#include "support/registry_fixture.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\RavenlinkTests\\Compat";

const wchar_t kFixture[] =
    LR"(Windows Registry Editor Version 5.00

; values of every kind the library reads
[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Compat]
@="default text"
"Text"="C:\\Program Files\\Quorvane \"quoted\""
"Unicode"="Grüße ☃ 😀"
"Number"=dword:0000002a
"Max"=dword:ffffffff
"Blob"=hex:00,01,fe,ff
"Empty"=""
"Expand"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00
"Long"=hex:01,02,03,\
  04,05
"Gone"="soon deleted"
"Gone"=-

[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Compat\Sub]
"Inner"=dword:00000001

[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Compat\Deleted]
"X"="y"

[-HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Compat\Deleted]

[HKEY_CURRENT_USER\Software\RavenlinkTests\Compat]
"User"="yes"
)";

struct Read {
  LONG result = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// Opens, asks for the size, reads, closes: the protocol of the registry helpers.
Read ReadValue(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  Read read;
  HKEY key = nullptr;
  read.result = RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key);
  if (read.result != ERROR_SUCCESS) return read;
  DWORD size = 0;
  read.result = RegQueryValueExW(key, name, nullptr, &read.type, nullptr, &size);
  if (read.result == ERROR_SUCCESS) {
    read.data.resize(size);
    read.result = RegQueryValueExW(key, name, nullptr, &read.type, read.data.data(), &size);
    read.data.resize(size);
  }
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  return read;
}

// Text data: wchar_t units including the terminating NUL.
std::wstring Units(const std::vector<BYTE>& data) {
  return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

std::wstring WithNul(const wchar_t* text) {
  return std::wstring(text) + L'\0';
}

TEST(CompatRegistry, ReadsEveryValueKindWithCaseInsensitiveNames) {
  ScopedRegistry registry(kFixture);
  struct Case {
    const wchar_t* name;
    LONG result;
    DWORD type;
    const wchar_t* text;      // for REG_SZ and REG_EXPAND_SZ
    std::vector<BYTE> bytes;  // for the others
  };
  const Case cases[] = {
      {nullptr, ERROR_SUCCESS, REG_SZ, L"default text", {}},
      {L"", ERROR_SUCCESS, REG_SZ, L"default text", {}},
      {L"text", ERROR_SUCCESS, REG_SZ, L"C:\\Program Files\\Quorvane \"quoted\"", {}},
      {L"UNICODE", ERROR_SUCCESS, REG_SZ, L"Grüße ☃ 😀", {}},
      {L"Empty", ERROR_SUCCESS, REG_SZ, L"", {}},
      {L"Expand", ERROR_SUCCESS, REG_EXPAND_SZ, L"%TEMP%\\x", {}},
      {L"Number", ERROR_SUCCESS, REG_DWORD, nullptr, {0x2a, 0, 0, 0}},
      {L"max", ERROR_SUCCESS, REG_DWORD, nullptr, {0xff, 0xff, 0xff, 0xff}},
      {L"Blob", ERROR_SUCCESS, REG_BINARY, nullptr, {0x00, 0x01, 0xfe, 0xff}},
      {L"Long", ERROR_SUCCESS, REG_BINARY, nullptr, {1, 2, 3, 4, 5}},
      {L"Gone", ERROR_FILE_NOT_FOUND, REG_NONE, nullptr, {}},
      {L"Missing", ERROR_FILE_NOT_FOUND, REG_NONE, nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name != nullptr ? c.name : L"(null)");
    const Read read = ReadValue(HKEY_LOCAL_MACHINE, kKey, c.name);
    ASSERT_EQ(read.result, c.result);
    if (c.result != ERROR_SUCCESS) continue;
    EXPECT_EQ(read.type, c.type);
    if (c.text != nullptr) {
      EXPECT_EQ(Units(read.data), WithNul(c.text));
    } else {
      EXPECT_EQ(read.data, c.bytes);
    }
  }
}

TEST(CompatRegistry, OpensKeysByCaseInsensitivePathAndReportsMissingOnes) {
  ScopedRegistry registry(kFixture);
  struct Case {
    HKEY root;
    const wchar_t* subKey;
    LONG result;
  };
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Compat", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, L"software\\ravenlinktests\\COMPAT", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests", ERROR_SUCCESS},  // a parent only
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Compat\\Sub", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Compat\\Deleted", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Compat\\Nowhere", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Compa", ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, L"Software\\RavenlinkTests\\Compat", ERROR_SUCCESS},
      {HKEY_CURRENT_USER, L"SOFTWARE\\RavenlinkTests\\Compat\\Sub", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subKey);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(c.root, c.subKey, 0, KEY_READ, &key), c.result);
    if (c.result == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
  }

  const Read user = ReadValue(HKEY_CURRENT_USER, L"Software\\RavenlinkTests\\Compat", L"user");
  ASSERT_EQ(user.result, ERROR_SUCCESS);
  EXPECT_EQ(Units(user.data), WithNul(L"yes"));

  // A sub-key opened relative to an open key.
  HKEY parent = nullptr, child = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &parent), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(parent, L"SUB", 0, KEY_QUERY_VALUE, &child), ERROR_SUCCESS);
  DWORD inner = 0, size = sizeof(inner);
  EXPECT_EQ(
      RegQueryValueExW(child, L"Inner", nullptr, nullptr, reinterpret_cast<BYTE*>(&inner), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(inner, 1u);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
}

TEST(CompatRegistry, SizeProtocolOfQueries) {
  ScopedRegistry registry(kFixture);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);

  struct Case {
    const wchar_t* name;
    DWORD needed;
  };
  const Case cases[] = {
      {L"Text", static_cast<DWORD>(WithNul(L"C:\\Program Files\\Quorvane \"quoted\"").size() *
                                   sizeof(wchar_t))},
      {L"Number", 4},
      {L"Blob", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // No buffer: success, and the size needed.
    DWORD size = 0, type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, c.needed);
    // A one-byte buffer: ERROR_MORE_DATA, the size needed, the buffer untouched.
    BYTE one = 0xAA;
    size = 1;
    EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, &one, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, c.needed);
    // Exactly the size needed: success.
    std::vector<BYTE> exact(c.needed);
    size = c.needed;
    EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, exact.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, c.needed);
  }
  // A larger buffer reports the size actually used.
  std::vector<BYTE> large(1024);
  DWORD size = static_cast<DWORD>(large.size());
  EXPECT_EQ(RegQueryValueExW(key, L"Number", nullptr, nullptr, large.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  BYTE buffer[8];
  size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExW(reinterpret_cast<HKEY>(uintptr_t{0x7FFFFF00}), L"Number", nullptr,
                             nullptr, buffer, &size),
            ERROR_INVALID_HANDLE);
}

TEST(CompatRegistry, SeesTheRegistryChangeBetweenOpens) {
  ScopedRegistry registry(
      LR"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Live]
"Value"="first"
"Dropped"=dword:00000001
)");
  EXPECT_EQ(Units(ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RavenlinkTests\\Live", L"Value").data),
            WithNul(L"first"));

  registry.Replace(
      LR"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Live]
"Value"="second, and longer"
"Added"=dword:00000002
)");
  const wchar_t* live = L"SOFTWARE\\RavenlinkTests\\Live";
  EXPECT_EQ(Units(ReadValue(HKEY_LOCAL_MACHINE, live, L"Value").data),
            WithNul(L"second, and longer"));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, live, L"Dropped").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, live, L"Added").data, (std::vector<BYTE>{2, 0, 0, 0}));
}

TEST(CompatRegistry, ReadsTheOlderFormat) {
  ScopedRegistry registry(
      LR"(REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\RavenlinkTests\Four]
"Name"="four"
"Path"="C:\\four"
"Number"=dword:00000004
)");
  const wchar_t* four = L"SOFTWARE\\RavenlinkTests\\Four";
  EXPECT_EQ(Units(ReadValue(HKEY_LOCAL_MACHINE, four, L"Name").data), WithNul(L"four"));
  EXPECT_EQ(Units(ReadValue(HKEY_LOCAL_MACHINE, four, L"Path").data), WithNul(L"C:\\four"));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, four, L"Number").data, (std::vector<BYTE>{4, 0, 0, 0}));
}

}  // namespace
