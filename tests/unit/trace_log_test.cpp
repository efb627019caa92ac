#include "foundation/trace_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "foundation/utf16.h"
#include "foundation_test_files.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

using foundation_test::LibraryPath;
using foundation_test::ReadBytes;
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
    WsLog log(LibraryPath(dir.path() / "trace.log"));
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
      ReadBytes(dir.path() / "trace.log"),
      kBom + Utf16("WsHttp Library\n" + kSeparator + "\n<WsHttpSession::Submit>\n\tinner\n" +
                   "**ERROR: failed\n" + kSeparator + "\n***SUMMARY***\n" + kSeparator + "\n"));
}

TEST(TraceLogTest, TimestampsPrefixEntriesButNotTheTitle) {
  TempDir dir;
  WsLog log(LibraryPath(dir.path() / "trace.log"));
  log.SetTimestamps(true);
  log.SetSummary(true);
  log.Start(L"Title", true);
  log.WriteEntry(L"entry");
  log.WriteError(L"bad");
  log.Close();
  EXPECT_EQ(MaskedText(ReadBytes(dir.path() / "trace.log")),
            "Title\n" + kSeparator + "\n[T]: entry\n[T]: **ERROR: bad\n" + kSeparator +
                "\n[T]: ***SUMMARY***\n" + kSeparator + "\n");
}

TEST(TraceLogTest, AppendingKeepsTheFileAndAddsNoSecondMark) {
  TempDir dir;
  const std::string earlier = kBom + Utf16("earlier run\n");
  WriteBytes(dir.path() / "trace.log", earlier);
  WsLog log(LibraryPath(dir.path() / "trace.log"));
  log.Start(L"Title", true);
  log.WriteEntry(L"entry");
  log.Close();  // summary off: nothing more
  EXPECT_EQ(ReadBytes(dir.path() / "trace.log"),
            earlier + Utf16("Title\n" + kSeparator + "\nentry\n"));

  // Replacing an existing file empties it, and the file existed: no mark.
  FileWriter replacing(LibraryPath(dir.path() / "trace.log"));
  ASSERT_TRUE(replacing.Open(false));
  replacing.WriteLine(L"new");
  replacing.Close();
  EXPECT_EQ(ReadBytes(dir.path() / "trace.log"), Utf16("new\n"));
}

TEST(TraceLogTest, UnopenableFileLosesWritesSilently) {
  TempDir dir;
  WsLog log(LibraryPath(dir.path()) + L"\\missing\\trace.log");
  EXPECT_FALSE(log.Open(true));
  log.SetSummary(true);
  log.WriteEntry(L"lost");
  log.Close();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST(TraceLogTest, NonAsciiTextIsWrittenAsUtf16) {
  TempDir dir;
  FileWriter writer(LibraryPath(dir.path() / "plain.log"));
  ASSERT_TRUE(writer.Open(false));
  writer.WriteLine(L"\u00E9\u20AC");
  writer.Close();
  EXPECT_EQ(ReadBytes(dir.path() / "plain.log"), kBom + std::string("\xE9\0\xAC\x20\n\0", 6));
}

// The trace switch naming logPath, as a .reg text.
std::wstring SwitchOn(const WsString& logPath) {
  std::wstring escaped;
  for (wchar_t c : logPath) {
    if (c == L'\\' || c == L'"') escaped += L'\\';
    escaped += c;
  }
  return L"Windows Registry Editor Version 5.00\n\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\InternalTesting]\n"
         L"\"qvwshttplogging\"=\"" +
         escaped + L"\"\n";
}

const std::wstring kSwitchKeyOnly =
    L"Windows Registry Editor Version 5.00\n\n"
    L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\InternalTesting]\n"
    L"\"other\"=\"x\"\n";

TEST(SharedTraceLogTest, TwoUsersShareOneLogAndTheLastWritesTheSummary) {
  TempDir dir;
  const std::filesystem::path file = dir.path() / "trace.log";
  ScopedRegistry registry(SwitchOn(LibraryPath(file)));
  ASSERT_FALSE(IsLogging());

  LogOpen();
  LogOpen();
  EXPECT_TRUE(IsLogging());
  LogWrite(L"<WsHttpSession::Submit>");
  LogError(L"no answer");
  LogRelease();  // one user is left: the log stays open
  EXPECT_TRUE(IsLogging());
  LogWrite(L"\tlast");
  LogRelease();
  EXPECT_FALSE(IsLogging());
  LogWrite(L"after the last user: dropped");

  const std::string firstRun = "WsHttp Library\n" + kSeparator +
                               "\n[T]: <WsHttpSession::Submit>\n[T]: **ERROR: no answer\n"
                               "[T]: \tlast\n" +
                               kSeparator + "\n[T]: ***SUMMARY***\n" + kSeparator + "\n";
  std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.substr(0, 2), kBom);
  EXPECT_EQ(MaskedText(bytes), firstRun);

  // A later run appends its block; a second mark would show as '?'.
  LogOpen();
  LogWrite(L"second run");
  LogRelease();
  EXPECT_EQ(MaskedText(ReadBytes(file)), firstRun + "WsHttp Library\n" + kSeparator +
                                             "\n[T]: second run\n" + kSeparator +
                                             "\n[T]: ***SUMMARY***\n" + kSeparator + "\n");
}

TEST(SharedTraceLogTest, TracingStaysOffWithoutTheSwitch) {
  TempDir dir;
  const std::wstring fixtures[] = {
      kSwitchKeyOnly,                              // key without the value
      L"Windows Registry Editor Version 5.00\n\n"  // no key at all
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\RavenlinkFoundationTest\\Unrelated]\n",
  };
  for (const std::wstring& fixture : fixtures) {
    ScopedRegistry registry(fixture);
    LogOpen();
    EXPECT_FALSE(IsLogging());
    LogWrite(L"dropped");
    LogError(L"dropped");
    LogRelease();
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(SharedTraceLogTest, AUserArrivingWhileTracingIsOffReadsTheSwitchAgain) {
  TempDir dir;
  const std::filesystem::path file = dir.path() / "trace.log";
  ScopedRegistry registry(kSwitchKeyOnly);
  LogOpen();  // first user: the switch is off
  EXPECT_FALSE(IsLogging());

  registry.Replace(SwitchOn(LibraryPath(file)));
  LogOpen();  // second user: the switch is read again and now names a file
  EXPECT_TRUE(IsLogging());
  LogWrite(L"entry");
  LogRelease();  // two users were counted: the log stays
  EXPECT_TRUE(IsLogging());
  LogRelease();
  EXPECT_FALSE(IsLogging());
  EXPECT_EQ(MaskedText(ReadBytes(file)), "WsHttp Library\n" + kSeparator + "\n[T]: entry\n" +
                                             kSeparator + "\n[T]: ***SUMMARY***\n" + kSeparator +
                                             "\n");
}

}  // namespace
