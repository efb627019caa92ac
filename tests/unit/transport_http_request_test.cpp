// WsHttpRequest: the URL it sends and the life of a transfer on its worker
// thread (Execute, Poll, Cancel), over the loopback test server.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/test_server.h"
#include "transport/http_request.h"
#include "transport_test_helpers.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Polls until the transfer is no longer running (bounded so a hang fails).
uint32_t PollUntilDone(WsHttpRequest& request) {
  for (int i = 0; i < 600; ++i) {
    const uint32_t status = RaisedStatus([&] {
      if (request.Poll(100) == kWsStillRunning) throw WsStatus(kWsStillRunning);
    });
    if (status != kWsStillRunning) return status;
  }
  return kWsStillRunning;
}

ScriptedResponse Slow(std::string body, milliseconds delay) {
  ScriptedResponse answer = ScriptedResponse::Ok(std::move(body));
  answer.delayBeforeStatus = delay;
  return answer;
}

// An answer that sends part of its body and then pauses: the exchange sits in
// the read loop when it is cancelled. (The platform's own client may finish a
// receive it is blocked in before it notices the abort, so the pause is kept
// short.)
ScriptedResponse Stalling() {
  ScriptedResponse answer = ScriptedResponse::Ok(std::string(64, 's'));
  answer.bodySplit = 16;
  answer.delayInBody = seconds(2);
  return answer;
}

TEST(TransportHttpRequest, QueryTextEncoding) {
  const struct {
    const wchar_t* text;
    const wchar_t* encoded;
  } rows[] = {
      {L"Flumeway", L"Flumeway"},
      {L"flumeway_version", L"flumeway%5Fversion"},
      {L"2.0", L"2%2E0"},
      {L"a b", L"a%20b"},
      {L"x=1&y", L"x%3D1%26y"},
      {L"~-/%", L"%7E%2D%2F%25"},
      {L"", L""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(WsHttpRequest::EncodeQueryText(row.text), WsString(row.encoded)) << row.text;
  }
}

TEST(TransportHttpRequest, UrlFromCommandAndParameters) {
  const struct {
    const wchar_t* command;
    bool withParameters;
    const char* target;
  } rows[] = {
      {L"PingCmd:Ping", true, "/svc?cmd=PingCmd:Ping&module=Flumeway&q=a%20b"},
      {L"PingCmd:Ping", false, "/svc?cmd=PingCmd:Ping"},
      {L"", true, "/svc?&module=Flumeway&q=a%20b"},
      {L"", false, "/svc"},
  };
  TestServer server;
  server.SetDefault(ScriptedResponse::Ok("ok"));
  for (const auto& row : rows) {
    WsHttpRequest request(L"App", L"1.0", false);
    request.SetUrl(ServerUrl(server, "/svc"));
    request.SetCommand(row.command);
    if (row.withParameters) {
      request.AddQueryParameter(L"module", L"Flumeway");
      request.AddQueryParameter(L"q", L"a b");
    }
    EXPECT_EQ(request.Execute(10000, true), kWsOk);
    EXPECT_EQ(server.Requests().back().target, row.target);
    EXPECT_EQ(server.Requests().back().Header("User-Agent"),
              "QvWebServiceClient (qvwshttp 17.0.0;App 1.0;)");
  }
}

TEST(TransportHttpRequest, ExecuteWithoutWaitThenPoll) {
  struct Row {
    const char* name;
    int http;
    uint32_t expected;
  };
  const Row rows[] = {
      {"success", 200, kWsOk},
      {"failure raised once", 404, kWsHttpNotFound},
  };
  TestServer server;
  WsHttpRequest request(L"App", L"1.0", true);
  request.SetUrl(ServerUrl(server, "/poll"));
  EXPECT_EQ(request.Poll(0), kWsNoTransfer);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedResponse answer = Slow("polled body", kNotWaitedForDelay);
    answer.status = row.http;
    server.Enqueue(answer);
    EXPECT_EQ(request.Execute(0, true), kWsStillRunning);
    EXPECT_EQ(HexStatus(PollUntilDone(request)), HexStatus(row.expected));
    if (row.expected == kWsOk) {
      EXPECT_EQ(request.GetResponse(), "polled body");
    }
    // Collected: nothing is left to poll.
    EXPECT_EQ(request.Poll(0), kWsNoTransfer);
  }
}

TEST(TransportHttpRequest, ExecuteWhileRunningLeavesTheTransferAlone) {
  TestServer server;
  server.Enqueue(Slow("first", kNotWaitedForDelay));
  WsHttpRequest request(L"App", L"1.0", true);
  request.SetUrl(ServerUrl(server, "/busy"));
  ASSERT_EQ(request.Execute(0, true), kWsStillRunning);
  EXPECT_EQ(HexStatus(RaisedStatus([&] { request.Execute(0, true); })),
            HexStatus(kWsAlreadyRunning));
  EXPECT_EQ(HexStatus(PollUntilDone(request)), HexStatus(kWsOk));
  EXPECT_EQ(request.GetResponse(), "first");
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(TransportHttpRequest, TimeLimitAbortsAndCollectsTheWorker) {
  TestServer server;
  // The answer starts, then pauses in the body far beyond the limit. The
  // limit leaves a busy machine time to get the request to the server, or the
  // paused answer would be left for the next request.
  ScriptedResponse slow = ScriptedResponse::Ok("too late");
  slow.bodySplit = 3;
  slow.delayInBody = seconds(5);
  server.Enqueue(slow);
  server.Enqueue(ScriptedResponse::Ok("next"));
  WsHttpRequest request(L"App", L"1.0", true);
  request.SetUrl(ServerUrl(server, "/slow"));
  EXPECT_EQ(HexStatus(RaisedStatus([&] { request.Execute(1000, true); })),
            HexStatus(kWsHttpTimeLimit));
  // The worker has ended and was released.
  EXPECT_EQ(request.Poll(0), kWsNoTransfer);
  EXPECT_EQ(request.GetStatus(), kWsNoTransfer);
  // The request can run again.
  EXPECT_EQ(request.Execute(10000, true), kWsOk);
  EXPECT_EQ(request.GetResponse(), "next");
}

TEST(TransportHttpRequest, CancelDuringTheReadLoop) {
  enum class End { kCancelAndWait, kCancelOnly, kDestroy };
  const struct {
    const char* name;
    End end;
  } rows[] = {
      {"cancel and wait", End::kCancelAndWait},
      {"cancel without waiting", End::kCancelOnly},
      {"destroy while running", End::kDestroy},
  };
  TestServer server;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    server.Enqueue(Stalling());
    auto request = std::make_unique<WsHttpRequest>(L"App", L"1.0", true);
    request->SetUrl(ServerUrl(server, "/stall"));
    const size_t before = server.RequestCount();
    ASSERT_EQ(request->Execute(0, true), kWsStillRunning);
    ASSERT_TRUE(server.WaitForRequests(before + 1, seconds(10)));
    EXPECT_EQ(request->Poll(0), kWsStillRunning);
    switch (row.end) {
      case End::kCancelAndWait:
        request->Cancel(true);
        EXPECT_EQ(request->GetStatus(), kWsNoTransfer);
        EXPECT_EQ(request->Poll(0), kWsNoTransfer);
        break;
      case End::kCancelOnly:
        request->Cancel(false);
        // The worker ends by itself and is collected once; what it ended with
        // depends on where the abort met it, and its answer is not to be used.
        EXPECT_NE(PollUntilDone(*request), kWsStillRunning);
        EXPECT_EQ(request->Poll(0), kWsNoTransfer);
        break;
      case End::kDestroy:
        break;  // the destructor cancels and waits for the worker
    }
    request.reset();
  }
}

}  // namespace
