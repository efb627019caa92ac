// The command line of ravenlink-cli and its text conversions.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tools/cli/options.h"
#include "tools/cli/text.h"

namespace {

using cli::ItemKind;
using cli::Options;

// Parses a command line given without the program name.
bool Parse(std::initializer_list<const char*> args, Options& options, std::string& error) {
  std::vector<char*> argv{const_cast<char*>("ravenlink-cli")};
  for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
  return cli::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CliOptions, ItemsSplitIntoKeyVersionAndLanguage) {
  Options o;
  std::string error;
  ASSERT_TRUE(
      Parse({"fetch", "--installing-product", "{A},1.2", "--available-distribution",
             "{B},2.0,1033,1031", "--installing-suite", "{C}", "--available-product", "{D},1,2"},
            o, error))
      << error;
  ASSERT_EQ(o.items.size(), 4u);
  EXPECT_EQ(o.items[0].kind, ItemKind::kProduct);
  EXPECT_FALSE(o.items[0].available);
  EXPECT_EQ(o.items[0].key, L"{A}");
  EXPECT_EQ(o.items[0].version, L"1.2");
  // A language list keeps its own commas.
  EXPECT_EQ(o.items[1].kind, ItemKind::kDistribution);
  EXPECT_TRUE(o.items[1].available);
  EXPECT_EQ(o.items[1].version, L"2.0");
  EXPECT_EQ(o.items[1].language, L"1033,1031");
  EXPECT_EQ(o.items[2].kind, ItemKind::kSuite);
  EXPECT_EQ(o.items[2].version, L"");
  // A product has no language: the rest is its version, as given.
  EXPECT_EQ(o.items[3].version, L"1,2");
  EXPECT_EQ(o.items[3].language, L"");
}

TEST(CliOptions, FlagsAddUp) {
  const struct {
    std::initializer_list<const char*> args;
    int flags;
  } cases[] = {
      {{"fetch"}, 0},
      {{"fetch", "--silent", "--no-query"}, 6},
      {{"fetch", "--flags", "0x8", "--silent"}, 12},
      {{"fetch", "--available-is-installing", "--available-is-installing"}, 8},
  };
  for (const auto& c : cases) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse(c.args, o, error)) << error;
    EXPECT_EQ(o.flags, c.flags) << "case " << (&c - cases);
  }
}

TEST(CliOptions, OpenArgumentsAndFile) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--json", "load", "--swapp", "Studio \xC3\xA9", "--own-target-only", "0",
                     "--language", "7", "answer.xml"},
                    o, error))
      << error;
  EXPECT_EQ(o.command, "load");
  EXPECT_EQ(o.file, "answer.xml");
  EXPECT_EQ(o.swapp, L"Studio \u00e9");
  EXPECT_EQ(o.ownTargetOnly, 0);
  EXPECT_EQ(o.languageId, 7);
  EXPECT_TRUE(o.json);
}

TEST(CliOptions, BadCommandLinesSayWhatIsWrong) {
  const struct {
    std::initializer_list<const char*> args;
    const char* error;
  } cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"load"}, "load takes one file"},
      {{"explain", "a.xml", "b.xml"}, "explain takes one file"},
      {{"fetch", "extra"}, "fetch takes no argument"},
      {{"fetch", "--language"}, "--language needs a value"},
      {{"fetch", "--language", "9x"}, "--language: not a number: 9x"},
      {{"fetch", "--installing-product"}, "--installing-product needs a value"},
      {{"fetch", "--colour"}, "unknown option --colour"},
  };
  for (const auto& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, o, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(CliText, Utf8RoundTripsEveryPlane) {
  // U+00E9, U+20AC, U+1F600 (a surrogate pair where wchar_t has 16 bits).
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::wstring wide = cli::FromUtf8(utf8);
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 5u : 4u);
  EXPECT_EQ(cli::ToUtf8(wide), utf8);
}

TEST(CliText, MalformedInputBecomesReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string utf8;
    std::string expected;
  } cases[] = {
      {"\xFF"
       "a",
       replacement + "a"},                                // not a lead byte
      {"\xC3", replacement},                              // truncated sequence
      {"\xE2\x28\xA1", replacement + "(" + replacement},  // bad continuation
      {"\xED\xA0\x80", replacement},                      // an encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(cli::ToUtf8(cli::FromUtf8(c.utf8)), c.expected);
  // A lone high surrogate in wide text.
  EXPECT_EQ(cli::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), replacement + "x");
}

TEST(CliText, JsonQuoting) {
  EXPECT_EQ(cli::JsonQuote("say \"hi\"\\\n\t\x01 \xC3\xA9"),
            "\"say \\\"hi\\\"\\\\\\n\\t\\u0001 \xC3\xA9\"");
}

}  // namespace
