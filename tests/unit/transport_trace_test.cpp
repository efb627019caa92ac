// The trace lines of one exchange, read back from the log file that the
// registry switch turns on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/utf16.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "transport/http_session.h"
#include "transport_test_helpers.h"

namespace {

// The entries of the log, without their "[date time]: " prefix; the elapsed
// time, which varies, becomes "N".
std::vector<std::wstring> LogEntries(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::wstring text = FromUtf16LE(bytes.data(), bytes.size());
  std::vector<std::wstring> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    const size_t prefixEnd = line.find(L"]: ");
    if (line.empty() || line[0] != L'[' || prefixEnd == std::wstring::npos) continue;
    line.erase(0, prefixEnd + 3);
    const std::wstring elapsed = L"Time elapsed: ";
    const size_t at = line.find(elapsed);
    if (at != std::wstring::npos) line = line.substr(0, at + elapsed.size()) + L"N";
    entries.push_back(line);
  }
  return entries;
}

TEST(TransportTrace, LinesOfOneExchange) {
  TempDir dir;
  const std::filesystem::path logFile = dir.path() / "trace.log";
  std::wstring escaped;
  for (wchar_t c : logFile.wstring()) {
    if (c == L'\\') escaped += L'\\';
    escaped += c;
  }
  ScopedRegistry registry(
      LR"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\InternalTesting]
"qvwshttplogging"=")" +
      escaped + L"\"\r\n");

  TestServer server;
  ScriptedResponse answer = ScriptedResponse::Ok("hello");
  answer.headers = {{"Content-Encoding", "x-custom"}};
  server.Enqueue(answer);
  {
    WsHttpSession session;
    session.AddUserAgentToken(L"App 1.0");
    std::string response;
    session.Submit(ServerUrl(server, "/notify?x=1"), L"", response);
    EXPECT_EQ(response, "hello");
  }

  const std::wstring port = std::to_wstring(server.Port());
  const std::vector<std::wstring> expected = {
      L"<WsHttpSession::WsHttpSession>",
      L"<WsHttpSession::Submit>",
      L"<WsHttpSession::Close>",
      L"\tStatus: 0x40002002",
      L"</WsHttpSession::Close>",
      L"\t[Submit]: Opening the session...",
      L"<WsHttpSession::OpenSession>",
      L"\tUserAgent: QvWebServiceClient (qvwshttp 17.0.0;App 1.0;)",
      L"</WsHttpSession::OpenSession>",
      L"\t[Submit]: Cracking the URL...",
      L"<WsHttpSession::CrackUrl>",
      L"\tURL: http://127.0.0.1:" + port + L"/notify?x=1",
      L"\tCracked host: 127.0.0.1",
      L"\tCracked URL: /notify?x=1",
      L"\tCracked port: " + port,
      L"</WsHttpSession::CrackUrl>",
      L"\t[Submit]: Opening the connection...",
      L"<WsHttpSession::OpenConnection>",
      L"\tHost: 127.0.0.1",
      L"\tPort: " + port,
      L"</WsHttpSession::OpenConnection>",
      L"\t[Submit]: Sending the request...",
      L"<WsHttpSession::SendGetRequest>",
      L"\tURL: /notify?x=1",
      L"\tFlags: 0x4000000",
      L"</WsHttpSession::SendGetRequest>",
      L"<WsHttpSession::CheckStatusCode>",
      L"\tStatus Code: 200",
      L"</WsHttpSession::CheckStatusCode>",
      L"\t[Submit]: Getting total data size...",
      L"<WsHttpSession::GetTotalDataSize>",
      L"Total data size: 5",
      L"</WsHttpSession::GetTotalDataSize>",
      L"\t[Submit]: Checking the content type...",
      L"\tStarting download...",
      L"\tDownload complete.  Time elapsed: N",
      L"<WsHttpSession::EvaluateInternetErrorCode>",
      L"\tError Code: 0",
      L"</WsHttpSession::EvaluateInternetErrorCode>",
      L"**ERROR: Unsupported content encoding on response: x-custom",
      L"<WsHttpSession::Close>",
      L"\tStatus: 0x40002005",
      L"</WsHttpSession::Close>",
      L"</WsHttpSession::Submit>",
      L"<WsHttpSession::Close>",
      L"\tStatus: 0x40002001",
      L"</WsHttpSession::Close>",
      L"</WsHttpSession::~WsHttpSession>",
      L"***SUMMARY***",
  };
  const std::vector<std::wstring> entries = LogEntries(logFile);
  EXPECT_EQ(entries, expected);
}

}  // namespace
