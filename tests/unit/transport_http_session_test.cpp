// WsHttpSession over the loopback test server: status mapping, what goes out
// on the wire, and how answers are read and decoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/utf16.h"
#include "support/test_server.h"
#include "transport/http_session.h"
#include "transport_test_helpers.h"

namespace {

TEST(TransportHttpSession, StatusCodesMapOntoStatuses) {
  struct Row {
    int http;
    uint32_t expected;
  };
  const Row rows[] = {
      {200, kWsOk},
      {206, kWsOk},
      {300, kWsHttpRedirect},
      {500, kWsHttpRedirect},
      {400, kWsHttpBadRequest},
      {405, kWsHttpBadRequest},
      {505, kWsHttpBadRequest},
      {401, kWsHttpIncomplete},
      {403, kWsHttpIncomplete},
      {410, kWsHttpIncomplete},
      {502, kWsHttpIncomplete},
      {503, kWsHttpIncomplete},
      {504, kWsHttpIncomplete},
      {404, kWsHttpNotFound},
      {407, kWsHttpRetry},  // silent: no dialog, fails at once
      {408, kWsHttpTimeout408},
      {201, kWsHttpStatusCheck},
      {418, kWsHttpStatusCheck},
  };
  TestServer server;
  WsHttpSession session;
  session.SetSilent(true);
  // One session for every row: each exchange must leave it ready for the next.
  for (const Row& row : rows) {
    ScriptedResponse answer =
        row.http == 407 ? ScriptedResponse::ProxyChallenge() : ScriptedResponse::Ok("answer body");
    answer.status = row.http;
    server.Enqueue(answer);
    std::string response;
    const uint32_t status =
        RaisedStatus([&] { session.Submit(ServerUrl(server, "/status"), L"", response); });
    EXPECT_EQ(HexStatus(status), HexStatus(row.expected)) << "HTTP " << row.http;
    if (row.expected == kWsOk) {
      EXPECT_EQ(response, "answer body") << "HTTP " << row.http;
    }
  }
  EXPECT_EQ(server.RequestCount(), std::size(rows));

  // Interactive, a 407 asks for credentials; a dialog that is cancelled ends
  // the exchange the same way. (Only where the dialog cannot appear: the
  // compat client reports it as cancelled.)
  if (!TestsRunOnWindows()) {
    session.SetSilent(false);
    server.Enqueue(ScriptedResponse::ProxyChallenge());
    std::string response;
    EXPECT_EQ(HexStatus(RaisedStatus(
                  [&] { session.Submit(ServerUrl(server, "/status"), L"", response); })),
              HexStatus(kWsHttpRetry));
  }
}

TEST(TransportHttpSession, RequestOnTheWire) {
  struct Row {
    const wchar_t* postData;
    bool gzip;
    const char* method;
  };
  const Row rows[] = {
      {L"", false, "GET"},
      {L"", true, "GET"},
      {L"\xFEFF<packet a=\"\x00E9\"/>", true, "POST"},
      {L"x", false, "POST"},
  };
  TestServer server;
  server.SetDefault(ScriptedResponse::Ok("ok"));
  for (const Row& row : rows) {
    WsHttpSession session;
    session.AddUserAgentToken(L"App 1.0");
    session.AddUserAgentToken(L"");  // ignored
    session.AddUserAgentToken(L"quillo 17.0.0");
    session.SetRequestGzip(row.gzip);
    std::string response;
    // An empty post makes a GET however the URL looks.
    session.Submit(ServerUrl(server, "/qvwp/flumeway?cmd=A:B&x=%2E"), row.postData, response);
    EXPECT_EQ(response, "ok");

    const RecordedRequest request = server.Requests().back();
    SCOPED_TRACE(row.method);
    EXPECT_EQ(request.method, row.method);
    EXPECT_EQ(request.target, "/qvwp/flumeway?cmd=A:B&x=%2E");
    EXPECT_EQ(request.Header("User-Agent"),
              "QvWebServiceClient (qvwshttp 17.0.0;App 1.0;quillo 17.0.0;)");
    EXPECT_EQ(request.Header("Accept-Encoding"), row.gzip ? "gzip" : "");
    // The body is the UTF-16LE text, byte-order mark included, with no
    // terminating zero and no content type.
    const std::string body = ToUtf16LE(WsString(row.postData));
    EXPECT_EQ(request.body, body);
    if (!body.empty()) {
      EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
      EXPECT_FALSE(request.HasHeader("Content-Type"));
    }
  }
}

TEST(TransportHttpSession, AnswerBodies) {
  const std::string xml = "<packet><body>notifications</body></packet>";
  struct Row {
    const char* name;
    ScriptedResponse answer;
    uint32_t expected;
    std::string body;
  };
  auto withEncoding = [](std::string body, const char* encoding) {
    ScriptedResponse answer = ScriptedResponse::Ok(std::move(body));
    answer.headers = {{"Content-Encoding", encoding}};
    return answer;
  };
  auto gzipped = ScriptedResponse::Ok(xml);
  gzipped.gzip = true;
  auto noLength = ScriptedResponse::Ok(std::string(100000, 'n'));
  noLength.contentLength = -2;  // read to the end of the stream
  auto lyingLength = ScriptedResponse::Ok(xml);
  lyingLength.contentLength = static_cast<long long>(xml.size()) + 10;
  lyingLength.closeAfter = true;
  // Far more than an answer needs, below the sizes refused outright.
  auto hugeLength = lyingLength;
  hugeLength.contentLength = 1500000000;
  auto cutBody = ScriptedResponse::Ok(xml);
  cutBody.fault = ServerFault::kCloseInBody;
  cutBody.bodySplit = 5;
  auto emptyBody = ScriptedResponse::Ok("");

  // The platform's own client undoes the gzip encoding itself (HTTP decoding
  // is switched on) and drops the header, so the session never sees it: the
  // decoded text then stays whole, and a body that lies about its encoding
  // fails in the platform's read.
  const bool platformDecodes = TestsRunOnWindows();
  const std::vector<Row> rows = {
      {"plain", ScriptedResponse::Ok(xml), kWsOk, xml},
      {"gzip", gzipped, kWsOk, xml},
      {"gzip named in capitals", withEncoding(GzipEncode(xml), "GZIP"), kWsOk, xml},
      {"decoded text cut at a zero byte",
       withEncoding(GzipEncode(std::string("ab\0cd", 5)), "gzip"), kWsOk,
       platformDecodes ? std::string("ab\0cd", 5) : "ab"},
      {"claims gzip, holds plain text", withEncoding(xml, "gzip"),
       platformDecodes ? kWsHttpSendFailed : kWsOk, ""},
      {"other encoding kept raw", withEncoding(xml, "x-private"), kWsOk, xml},
      {"no Content-Length", noLength, kWsOk, std::string(100000, 'n')},
      {"empty body", emptyBody, kWsOk, ""},
      {"Content-Length larger than the body", lyingLength, kWsHttpIncomplete, ""},
      {"Content-Length far beyond the body", hugeLength, kWsHttpIncomplete, ""},
      {"body cut short", cutBody, kWsHttpIncomplete, ""},
  };
  TestServer server;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    server.Enqueue(row.answer);
    WsHttpSession session;
    session.SetRequestGzip(true);
    std::string response;
    const uint32_t status =
        RaisedStatus([&] { session.Submit(ServerUrl(server, "/answer"), L"", response); });
    EXPECT_EQ(HexStatus(status), HexStatus(row.expected));
    if (row.expected == kWsOk) {
      EXPECT_EQ(response, row.body);
    }
  }
}

TEST(TransportHttpSession, FailuresBeforeAnyAnswer) {
  const uint16_t closedPort = UnusedLoopbackPort();
  const WsString refused = Wide("http://127.0.0.1:" + std::to_string(closedPort) + "/x");
  struct Row {
    const char* name;
    WsString url;
    const wchar_t* postData;
    uint32_t expected;
  };
  const Row rows[] = {
      {"not a URL", L"no url at all", L"", kWsBadUrl},
      {"empty URL", L"", L"", kWsBadUrl},
      {"GET, connection refused", refused, L"", kWsHttpIncomplete},
      {"POST, connection refused", refused, L"<a/>", kWsHttpIncomplete},
  };
  WsHttpSession session;
  for (const Row& row : rows) {
    std::string response = "left from before";
    const uint32_t status = RaisedStatus([&] { session.Submit(row.url, row.postData, response); });
    EXPECT_EQ(HexStatus(status), HexStatus(row.expected)) << row.name;
  }
  // The failures released everything: the session still works.
  TestServer server;
  server.Enqueue(ScriptedResponse::Ok("fine"));
  std::string response;
  session.Submit(ServerUrl(server, "/"), L"", response);
  EXPECT_EQ(response, "fine");
}

TEST(TransportHttpSession, AbortBeforeTheHandleExists) {
  // A cancel can reach the session before its exchange has opened anything;
  // that exchange must still end instead of running to completion.
  TestServer server;
  server.SetDefault(ScriptedResponse::Ok("fine"));
  WsHttpSession session;
  std::string response;
  session.Abort();
  EXPECT_EQ(HexStatus(RaisedStatus([&] { session.Submit(ServerUrl(server, "/"), L"", response); })),
            HexStatus(kWsHttpIncomplete));
  EXPECT_EQ(server.RequestCount(), 0u);
  // The abort is spent: the next exchange runs, and one cleared in between
  // does not count.
  session.Submit(ServerUrl(server, "/"), L"", response);
  EXPECT_EQ(response, "fine");
  session.Abort();
  session.ClearAbort();
  session.Submit(ServerUrl(server, "/"), L"<a/>", response);
  EXPECT_EQ(response, "fine");
}

}  // namespace
