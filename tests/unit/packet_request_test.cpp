// Packet requests against the loopback test server: what goes on the wire
// and how the answer is read and judged.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "foundation/utf16.h"
#include "foundation/ws_status.h"
#include "packet/content_query.h"
#include "packet/flumeway_request.h"
#include "packet/packet_request.h"
#include "packet/server_ping.h"
#include "packet/xml_helpers.h"
#include "support/registry_fixture.h"
#include "support/test_server.h"

namespace {

constexpr DWORD kLimit = 60000;  // only a guard against a hang

ClientIdentity SampleClient() {
  ClientIdentity client;
  client.swapp = L"Setup";
  client.swappVersion = L"3.1";
  client.wrapperlib = L"Bridge";
  client.wrapperlibVersion = L"1.2";
  client.corelib = L"quillo";
  client.corelibVersion = L"17.0.0";
  return client;
}

WsString Url(const TestServer& server, const char* path) {
  WsString url;
  for (char c : server.BaseUrl() + path) url.push_back(static_cast<wchar_t>(c));
  return url;
}

uint32_t StatusOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const WsStatus& status) {
    return status.code;
  }
  return kWsOk;
}

std::string Answer(const std::string& status, const std::string& body = "") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><packet><header>"
         "<date>2026-12-06</date><server>" +
         status + "</server></header><body>" + body + "</body></packet>";
}

TEST(PacketRequestTest, PostsTheQueryPacketAndReadsTheAnswer) {
  TestServer server;
  ScriptedResponse answer =
      ScriptedResponse::Ok(Answer("<status code=\"0\">OK</status>", "<catalog count=\"2\"/>"));
  answer.gzip = true;
  server.Enqueue(answer);

  WsContentQuery query;
  query.BeginGroup(kQueryGroupAnd);
  query.AddMetadata(L"contentType", L"NOTIFICATION", kCompareEqual);
  query.EndGroup();
  const ClientIdentity client = SampleClient();
  const WsPacket packet(WsPacketHeader(client, L"en-US"), L"contentQuery", &query);
  WsFlumewayRequest request(client, L"ContentCmd:QueryDocument", packet, true);
  request.SetUrl(Url(server, "/qvwp/flumeway"));
  ASSERT_EQ(request.Execute(kLimit, true), kWsOk);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& sent = requests[0];
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.target, "/qvwp/flumeway?cmd=ContentCmd:QueryDocument&flumeway%5Fversion=2%2E0");
  EXPECT_EQ(sent.body, ToUtf16LE(packet.ToDocument().ToString(true, true)));
  EXPECT_EQ(sent.body.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(sent.Header("Accept-Encoding"), "gzip");

  WsPacket& first = request.GetResponsePacket();
  EXPECT_EQ(&request.GetResponsePacket(), &first);  // parsed once
  EXPECT_EQ(first.Header().ServerCode(), 0);
  EXPECT_EQ(first.Header().StatusText(), WsString(L"OK"));
  EXPECT_EQ(GetAttribute(GetChild(first.BodyElement(), L"catalog"), L"count"), WsString(L"2"));
}

TEST(PacketRequestTest, AnswersThatDoNotParse) {
  struct Case {
    const char* label;
    ScriptedResponse answer;
    uint32_t status;
  };
  const Case cases[] = {
      {"empty body", ScriptedResponse::Ok(""), kWsXmlNoRoot},
      {"not xml", ScriptedResponse::Ok("<packet><header>"), kWsXmlUnreadable},
  };
  for (const Case& c : cases) {
    TestServer server;
    server.Enqueue(c.answer);
    WsPacketRequest request(SampleClient(), L"en-US", false);
    request.SetUrl(Url(server, "/svc"));
    ASSERT_EQ(StatusOf([&] { request.Execute(kLimit, true, true); }), kWsOk) << c.label;
    EXPECT_EQ(StatusOf([&] { request.GetResponsePacket(); }), c.status) << c.label;
  }
}

TEST(PacketRequestTest, AStoredAnswerIsNotParsedAgain) {
  WsPacketRequest request(SampleClient(), false);
  WsXmlDocument document;
  document.LoadFromBuffer(Answer("<status code=\"900\"/>"));
  request.SetResponsePacket(WsPacket(document));
  EXPECT_EQ(request.GetResponsePacket().Header().ServerCode(), 900);
  request.SetResponsePacket(WsPacket());
  EXPECT_EQ(request.GetResponsePacket().Header().ServerCode(), 0);
}

TEST(ServerPingTest, JudgesTheServerCode) {
  struct Case {
    const char* status;
    uint32_t expected;
  };
  const Case cases[] = {
      {"<status code=\"0\"/>", kWsOk},
      {"", kWsOk},
      {"<status code=\"900\">maintenance</status>", 0x80008002},
      {"<status code=\"42\"/>", 0x80008001},
  };
  for (const Case& c : cases) {
    TestServer server;
    server.Enqueue(ScriptedResponse::Ok(Answer(c.status)));
    WsFlumewayServerPing ping(SampleClient(), L"en-XX", true);
    ping.SetUrl(Url(server, "/qvwp/flumeway"));
    ASSERT_EQ(ping.RunPing(kLimit, true), kWsOk) << c.status;
    EXPECT_EQ(ping.PingStatus().code, c.expected) << c.status;
    EXPECT_EQ(ping.ServerDate(), WsString(L"2026-12-06")) << c.status;

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/qvwp/flumeway?cmd=PingCmd:Ping&module=Flumeway");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_FALSE(requests[0].HasHeader("Accept-Encoding"));
  }
}

TEST(ServerPingTest, APingNotWaitedForIsNotJudged) {
  TestServer server;
  ScriptedResponse answer = ScriptedResponse::Ok(Answer("<status code=\"900\"/>"));
  answer.delayBeforeStatus = kNotWaitedForDelay;  // still running when RunPing returns
  server.Enqueue(answer);
  WsFlumewayServerPing ping(SampleClient(), L"en-XX", true);
  ping.SetUrl(Url(server, "/"));
  WsStatus polled = ping.RunPing(0, true);
  EXPECT_EQ(polled, kWsStillRunning);
  while (polled == kWsStillRunning) polled = ping.Poll(10);
  EXPECT_EQ(polled, kWsOk);
  EXPECT_EQ(ping.PingStatus(), kWsOk);
  EXPECT_EQ(ping.ServerDate(), WsString());
}

// The ping as a session runs it: addressed by the registry's service URL,
// with the caller's identity and an extra user-agent token.
TEST(ServerPingTest, PingServiceFrom) {
  struct Case {
    const char* label;
    std::string status;
    DWORD timeoutMs;
    uint32_t expected;
    const wchar_t* date;
  };
  const Case cases[] = {
      {"success", "<status code=\"0\"/>", kLimit, kWsOk, L"2026-12-06"},
      {"service down", "<status code=\"900\"/>", kLimit, 0x80008002, L"2026-12-06"},
      {"not waited for", "<status code=\"900\"/>", 0, kWsOk, L""},
  };
  for (const Case& c : cases) {
    TestServer server;
    ScriptedResponse answer = ScriptedResponse::Ok(Answer(c.status));
    if (c.timeoutMs == 0) answer.delayBeforeStatus = kNotWaitedForDelay;
    server.Enqueue(answer);
    ScopedRegistry registry(
        L"Windows Registry Editor Version 5.00\r\n\r\n"
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n"
        L"\"S_URL\"=\"" +
        Url(server, "/qvwp/flumeway") + L"\"\r\n");

    WsFlumewayRequest holder(SampleClient(), true);
    WsString date = L"stale";
    EXPECT_EQ(holder.PingServiceFrom(c.timeoutMs, date, true, L"Extra 9.9").code, c.expected)
        << c.label;
    EXPECT_EQ(date, WsString(c.date)) << c.label;

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u) << c.label;  // the holder itself sends nothing
    EXPECT_EQ(requests[0].target, "/qvwp/flumeway?cmd=PingCmd:Ping&module=Flumeway") << c.label;
    const std::string agent = requests[0].Header("User-Agent");
    EXPECT_NE(agent.find("Setup 3.1;"), std::string::npos) << agent;
    EXPECT_NE(agent.find("Extra 9.9;"), std::string::npos) << agent;
    EXPECT_EQ(agent.find("quillo"), std::string::npos) << agent;
  }

  // A failed transfer surfaces as its status.
  TestServer server;
  server.SetDefault(ScriptedResponse{.status = 404});
  ScopedRegistry registry(
      L"Windows Registry Editor Version 5.00\r\n\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n"
      L"\"S_URL\"=\"" +
      Url(server, "/") + L"\"\r\n");
  WsFlumewayRequest holder(SampleClient(), true);
  WsString date;
  EXPECT_EQ(StatusOf([&] { holder.PingServiceFrom(kLimit, date, true, L""); }), kWsHttpNotFound);
}

}  // namespace
