// What only the Linux platform layer does: the .reg parser on its own, access
// flags it refuses, the re-read of a file changed in place, the UTF-8 ANSI
// code page and languages from the environment.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "compat/registry_file.h"
#include "compat/win32.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

using compat::ParseRegistryFile;
using compat::RegistryTree;

std::string Utf16LE(const std::u16string& text, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

const compat::RegistryValue* Find(const RegistryTree& tree, const wchar_t* key,
                                  const wchar_t* name) {
  auto k = tree.keys.find(key);
  if (k == tree.keys.end()) return nullptr;
  auto v = k->second.values.find(name);
  return v == k->second.values.end() ? nullptr : &v->second;
}

std::wstring Text(const compat::RegistryValue* value) {
  if (value == nullptr) return L"<none>";
  return std::wstring(reinterpret_cast<const wchar_t*>(value->data.data()),
                      value->data.size() / sizeof(wchar_t));
}

TEST(CompatRegistryParser, ReadsEncodingsAndFormats) {
  struct Case {
    const char* label;
    std::string bytes;
    const wchar_t* expected;  // value "V" of key HKLM\A, with its NUL
  };
  const Case cases[] = {
      {"UTF-8",
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"\xC3\xBC\"\n",
       L"\u00FC"},
      {"UTF-8 with BOM, CRLF",
       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
       "\"V\"=\"x\"\r\n",
       L"x"},
      {"UTF-16LE with BOM",
       Utf16LE(u"Windows Registry Editor Version "
               u"5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=\"\u00FC\U0001F600\"\r\n"),
       L"\u00FC\U0001F600"},
      {"REGEDIT4, text in hex(2) is 8-bit",
       "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(2):25,41,25,00\n", L"%A%"},
      {"version 5, text in hex(2) is UTF-16LE",
       "Windows Registry Editor Version "
       "5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(2):25,00,41,00,\\\n"
       "   25,00,00,00\n",
       L"%A%"},
      {"blank lines before the header, blanks around =",
       "\n\nREGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n  \"V\" = \"spaced\"  ; comment\n", L"spaced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegistryTree tree;
    ASSERT_TRUE(ParseRegistryFile(c.bytes, tree));
    EXPECT_EQ(Text(Find(tree, L"HKEY_LOCAL_MACHINE\\A", L"V")), std::wstring(c.expected) + L'\0');
  }
}

TEST(CompatRegistryParser, AppliesDeletionsInOrder) {
  RegistryTree tree;
  ASSERT_TRUE(ParseRegistryFile(R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\A\B\C]
"Deep"="1"
[HKEY_LOCAL_MACHINE\A\Bx]
"Sibling"="2"
[-HKEY_LOCAL_MACHINE\a\b]
"Orphan"="values after a deleted key go nowhere"
[HKEY_LOCAL_MACHINE\A]
"Kept"="k"
"Dropped"="d"
"dropped"=-
[HKEY_LOCAL_MACHINE\A\B]
)",
                                tree));
  EXPECT_EQ(tree.keys.count(L"HKEY_LOCAL_MACHINE\\A\\B\\C"), 0u);
  EXPECT_EQ(tree.keys.count(L"HKEY_LOCAL_MACHINE\\A\\B"), 1u);  // created again, empty
  EXPECT_TRUE(tree.keys.at(L"HKEY_LOCAL_MACHINE\\A\\B").values.empty());
  EXPECT_NE(Find(tree, L"HKEY_LOCAL_MACHINE\\A\\BX", L"SIBLING"), nullptr);
  EXPECT_NE(Find(tree, L"HKEY_LOCAL_MACHINE\\A", L"KEPT"), nullptr);
  EXPECT_EQ(Find(tree, L"HKEY_LOCAL_MACHINE\\A", L"DROPPED"), nullptr);
}

TEST(CompatRegistryParser, SkipsWhatItCannotReadAndNeverCrashes) {
  const std::string header = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n";
  struct Case {
    const char* label;
    std::string body;
    bool nextLineLost = false;  // the bad line swallows the valid one after it
  };
  const Case cases[] = {
      {"unterminated string", "\"V\"=\"abc\n"},
      {"unterminated name", "\"V=\"abc\"\n"},
      {"no equals sign", "\"V\" \"abc\"\n"},
      {"dword too long", "\"V\"=dword:123456789\n"},
      {"dword not hex", "\"V\"=dword:xyz\n"},
      {"dword empty", "\"V\"=dword:\n"},
      {"hex byte too long", "\"V\"=hex:123\n"},
      {"hex garbage", "\"V\"=hex:zz,01\n"},
      {"hex(type) unclosed", "\"V\"=hex(2:00\n"},
      {"continuation into the next value", "\"V\"=hex:01,\\", true},
      {"unknown data", "\"V\"=qword:1\n"},
      {"text after the string", "\"V\"=\"a\" b\n"},
      {"unclosed key line", "[HKEY_LOCAL_MACHINE\\Other\n\"V\"=\"x\"\n", true},
      {"unknown root", "[HKEY_NOWHERE\\X]\n\"V\"=\"x\"\n", true},
      {"empty key line", "[]\n[-]\n\"V\"=\"x\"\n", true},
      {"stray backslashes", "\"V\\\"=\"\\\\\\\"\n"},
      {"NULs and high bytes", std::string("\"V\"=\"") + std::string("\0\xFF\xFE\n\0\0\n", 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegistryTree tree;
    ASSERT_TRUE(ParseRegistryFile(header + c.body + "\n\"After\"=dword:00000001\n", tree));
    EXPECT_EQ(Find(tree, L"HKEY_LOCAL_MACHINE\\K", L"V"), nullptr);
    // The line after the bad one is read as usual.
    EXPECT_EQ(Find(tree, L"HKEY_LOCAL_MACHINE\\K", L"AFTER") != nullptr, !c.nextLineLost);
  }

  const std::string noHeader[] = {"",
                                  "\xFF\xFE",
                                  "\xFF\xFE\x00",
                                  "[HKEY_LOCAL_MACHINE\\K]\n",
                                  "REGEDIT5\n",
                                  "Windows Registry Editor Version 4.00\n"};
  for (const std::string& bytes : noHeader) {
    RegistryTree tree;
    EXPECT_FALSE(ParseRegistryFile(bytes, tree));
    EXPECT_TRUE(tree.keys.empty());
  }
}

TEST(CompatRegistryLinux, RefusesAccessItDoesNotSupport) {
  ScopedRegistry registry(L"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n");
  struct Case {
    HKEY root;
    DWORD options;
    REGSAM access;
    LONG result;
  };
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, 0, KEY_QUERY_VALUE, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, 0, KEY_READ, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, ERROR_INVALID_PARAMETER},
      {HKEY_LOCAL_MACHINE, 0, KEY_READ | KEY_WOW64_32KEY, ERROR_INVALID_PARAMETER},
      {HKEY_LOCAL_MACHINE, 0, 0x0002 /* KEY_SET_VALUE */, ERROR_INVALID_PARAMETER},
      {HKEY_LOCAL_MACHINE, 1, KEY_READ, ERROR_INVALID_PARAMETER},
      {HKEY_CLASSES_ROOT, 0, KEY_READ, ERROR_INVALID_HANDLE},
      {HKEY_USERS, 0, KEY_READ, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(c.root, L"K", c.options, c.access, &key), c.result) << c.access;
    if (key != nullptr) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
  }
}

TEST(CompatRegistryLinux, RereadsAFileRewrittenInPlace) {
  TempDir dir;
  const std::filesystem::path path = dir.path() / "registry.reg";
  auto write = [&path](const char* value) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"" << value << "\"\n";
  };
  auto read = [] {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"K", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return std::wstring(L"<no key>");
    }
    wchar_t buffer[64] = {};
    DWORD size = sizeof(buffer);
    const LONG result =
        RegQueryValueExW(key, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::wstring(buffer) : std::wstring(L"<no value>");
  };
  const char* previous = std::getenv("RAVENLINK_REGISTRY");
  const std::optional<std::string> saved =
      previous ? std::optional<std::string>(previous) : std::nullopt;
  setenv("RAVENLINK_REGISTRY", path.c_str(), 1);

  EXPECT_EQ(read(), L"<no key>");  // no file yet: an empty registry
  write("one");
  EXPECT_EQ(read(), L"one");
  write("three");  // same file, new size
  EXPECT_EQ(read(), L"three");
  std::filesystem::remove(path);
  EXPECT_EQ(read(), L"<no key>");

  if (saved) {
    setenv("RAVENLINK_REGISTRY", saved->c_str(), 1);
  } else {
    unsetenv("RAVENLINK_REGISTRY");
  }
}

TEST(CompatNlsLinux, AnsiCodePageIsUtf8) {
  EXPECT_EQ(GetACP(), 65001u);
  wchar_t codePage[8] = {};
  EXPECT_EQ(GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 6);
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_IDEFAULTANSICODEPAGE, codePage, 8), 6);
  EXPECT_EQ(std::wstring(codePage), L"65001");
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_IDEFAULTANSICODEPAGE, codePage, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetLocaleInfoW(0x0407, 0x0002 /* LOCALE_SLANGUAGE */, codePage, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  wchar_t wide[4] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC3\xBC", -1, wide, 4), 2);
  EXPECT_EQ(std::wstring(wide), L"\u00FC");
  char narrow[4] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u00FC", -1, narrow, 4, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(narrow), "\xC3\xBC");
  // Flags, other code pages and a default character are refused, not ignored.
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", -1, wide, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x8 /* MB_ERR_INVALID_CHARS */, "a", -1, wide, 4), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", -1, narrow, 4, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CompatNlsLinux, LanguagesComeFromTheEnvironment) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    LANGID expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, 0x0409},
      {nullptr, nullptr, "C", 0x0409},
      {nullptr, nullptr, "POSIX", 0x0409},
      {nullptr, nullptr, "en_US.UTF-8", 0x0409},
      {nullptr, nullptr, "en_GB.UTF-8", 0x0809},
      {nullptr, nullptr, "de_DE.UTF-8", 0x0407},
      {nullptr, nullptr, "de_AT@euro", 0x0C07},
      {nullptr, nullptr, "fr_FR", 0x040C},
      {nullptr, nullptr, "fr_LU.UTF-8", 0x040C},  // region not listed: the language's default
      {nullptr, nullptr, "ja_JP.UTF-8", 0x0411},
      {nullptr, nullptr, "zh_TW.UTF-8", 0x0404},
      {nullptr, nullptr, "xx_YY", 0x0409},
      {nullptr, "ja_JP.UTF-8", "de_DE.UTF-8", 0x0411},
      {"fr_FR.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8", 0x040C},
      {"", "", "de_DE.UTF-8", 0x0407},  // empty values are unset
  };
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i) {
    if (const char* value = std::getenv(names[i])) saved[i] = value;
  }
  for (const Case& c : cases) {
    const char* values[] = {c.lcAll, c.lcMessages, c.lang};
    for (int i = 0; i < 3; ++i) {
      values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
    }
    SCOPED_TRACE(c.lang ? c.lang : "(unset)");
    EXPECT_EQ(GetUserDefaultUILanguage(), c.expected);
    EXPECT_EQ(GetSystemDefaultUILanguage(), c.expected);
    EXPECT_EQ(GetUserDefaultLangID(), c.expected);
  }
  for (int i = 0; i < 3; ++i) {
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
  }
}

}  // namespace
