#include "foundation/trace_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "foundation/utf16.h"
#include "foundation_temp_dir.h"

namespace {

using foundation_test::ReadBytes;
using foundation_test::TempDir;
using foundation_test::WriteBytes;

const std::string kBom("\xFF\xFE");
const std::string kSeparator(48, '-');

// UTF-16LE bytes of an ASCII text.
std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

// The file's text after its byte-order mark (if any), with every entry's
// date and time replaced by "T".
std::string MaskedText(const std::string& bytes) {
  std::string body = bytes.rfind(kBom, 0) == 0 ? bytes.substr(2) : bytes;
  std::string ascii;
  for (wchar_t c : FromUtf16LE(body.data(), body.size()))
    ascii += static_cast<char>(c < 0x80 ? c : '?');
  static const std::regex stamp(R"(\[\d\d/\d\d/\d\d \d\d:\d\d:\d\d\]: )");
  return std::regex_replace(ascii, stamp, "[T]: ");
}

TEST(TraceLogTest, NewFileGetsMarkTitleEntriesAndSummary) {
  TempDir dir;
  {
    WsLog log(dir.Library("trace.log"));
    log.SetEnabled(true);
    log.SetSummary(true);
    log.Start(L"WsHttp Library", false);
    log.WriteEntry(L"<WsHttpSession::Submit>");
    log.WriteEntry(L"\tinner");
    log.WriteError(L"failed");
    log.Close();
  }
  // Without timestamps: line feeds only, no prefixes anywhere.
  EXPECT_EQ(
      ReadBytes(dir.Path() / "trace.log"),
      kBom + Utf16("WsHttp Library\n" + kSeparator + "\n<WsHttpSession::Submit>\n\tinner\n" +
                   "**ERROR: failed\n" + kSeparator + "\n***SUMMARY***\n" + kSeparator + "\n"));
}

TEST(TraceLogTest, TimestampsPrefixEntriesButNotTheTitle) {
  TempDir dir;
  WsLog log(dir.Library("trace.log"));
  log.SetTimestamps(true);
  log.SetSummary(true);
  log.Start(L"Title", true);
  log.WriteEntry(L"entry");
  log.WriteError(L"bad");
  log.Close();
  EXPECT_EQ(MaskedText(ReadBytes(dir.Path() / "trace.log")),
            "Title\n" + kSeparator + "\n[T]: entry\n[T]: **ERROR: bad\n" + kSeparator +
                "\n[T]: ***SUMMARY***\n" + kSeparator + "\n");
}

TEST(TraceLogTest, AppendingKeepsTheFileAndAddsNoSecondMark) {
  TempDir dir;
  const std::string earlier = kBom + Utf16("earlier run\n");
  WriteBytes(dir.Path() / "trace.log", earlier);
  WsLog log(dir.Library("trace.log"));
  log.Start(L"Title", true);
  log.WriteEntry(L"entry");
  log.Close();  // summary off: nothing more
  EXPECT_EQ(ReadBytes(dir.Path() / "trace.log"),
            earlier + Utf16("Title\n" + kSeparator + "\nentry\n"));
}

TEST(TraceLogTest, UnopenableFileLosesWritesSilently) {
  TempDir dir;
  WsLog log(dir.Library() + L"\\missing\\trace.log");
  EXPECT_FALSE(log.Open(true));
  log.SetSummary(true);
  log.WriteEntry(L"lost");
  log.Close();
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
}

TEST(TraceLogTest, NonAsciiTextIsWrittenAsUtf16) {
  TempDir dir;
  FileWriter writer(dir.Library("plain.log"));
  ASSERT_TRUE(writer.Open(false));
  writer.WriteLine(L"\u00E9\u20AC");
  writer.Close();
  EXPECT_EQ(ReadBytes(dir.Path() / "plain.log"), kBom + std::string("\xE9\0\xAC\x20\n\0", 6));
}

}  // namespace
