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

TEST(TransportTrace, LinesOfOneExchange) {
  TempDir dir;
  const std::filesystem::path logFile = dir.path() / "trace.log";
  ScopedRegistry registry(TracingRegistryText(logFile));

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
  const std::vector<std::wstring> entries = TraceEntries(logFile);
  EXPECT_EQ(entries, expected);
}

}  // namespace
