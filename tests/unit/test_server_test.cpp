// The loopback test server, driven by a raw socket client so that every byte
// it sends (and every fault it injects) is visible as it is.
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using std::chrono::milliseconds;
constexpr milliseconds kHangGuard{10000};

struct RawAnswer {
  std::string bytes;
  bool reset = false;  // the stream ended with an error rather than a normal close
};

// Whether a reset the server sent shows as an error to the client. Winsock in
// Wine may report it as an ordinary end of stream to a client in the same
// process; the bytes before it still tell where the answer stopped.
bool ResetSeen(const RawAnswer& answer) {
  return answer.reset || TestsRunOnWindows();
}

// Sends the request and reads until the server closes (or a hang guard expires).
RawAnswer Exchange(const TestServer& server, const std::string& request) {
  TestSocket client = ConnectToLoopback(server.Port());
  EXPECT_TRUE(client.Valid());
  EXPECT_TRUE(client.SendAll(request));
  RawAnswer answer;
  auto deadline = std::chrono::steady_clock::now() + kHangGuard;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!client.WaitReadable(50)) continue;
    char block[4096];
    long count = client.Receive(block, sizeof block);
    if (count < 0) answer.reset = true;
    if (count <= 0) return answer;
    answer.bytes.append(block, static_cast<size_t>(count));
  }
  ADD_FAILURE() << "the server did not close the connection";
  return answer;
}

std::string BodyOf(const std::string& answer) {
  size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

const char kGetClose[] = "GET /x HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";

TEST(TestServer, RecordsEachRequestAndAnswersInScriptOrder) {
  TestServer server;
  server.Enqueue(ScriptedResponse::Ok("first"));
  server.SetDefault(ScriptedResponse::Ok("default"));

  const std::string postBody(
      "\xFF\xFE"
      "a\0b",
      5);
  const std::string post =
      "POST /svc/q.aspx?cmd=A%20B&x=1 HTTP/1.1\r\nHost: h\r\nX-Token:  spaced value \r\n"
      "Content-Length: 5\r\nConnection: close\r\n\r\n" +
      postBody;
  EXPECT_EQ(BodyOf(Exchange(server, post).bytes), "first");
  const std::string chunked =
      "PUT /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
      "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n";
  EXPECT_EQ(BodyOf(Exchange(server, chunked).bytes), "default");
  EXPECT_EQ(BodyOf(Exchange(server, kGetClose).bytes), "default");

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/svc/q.aspx?cmd=A%20B&x=1");
  EXPECT_EQ(requests[0].Header("x-token"), "spaced value");
  EXPECT_FALSE(requests[0].HasHeader("Content-Type"));
  EXPECT_EQ(requests[0].body, postBody);
  EXPECT_EQ(requests[1].body, "abcde");
  EXPECT_EQ(requests[2].method, "GET");
}

TEST(TestServer, KeepsTheConnectionOpenBetweenOrdinaryAnswers) {
  TestServer server;
  server.SetDefault(ScriptedResponse::Ok("ab"));
  RawAnswer answer = Exchange(server,
                              "GET /1 HTTP/1.1\r\nHost: a\r\n\r\n"
                              "GET /2 HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_NE(answer.bytes.find("\r\n\r\nabHTTP/1.1 200 OK\r\n"), std::string::npos);
}

// Each scripted shape, as the bytes a client receives.
TEST(TestServer, SendsEachScriptedShape) {
  struct Case {
    const char* name;
    ScriptedResponse response;
    const char* headerExpected;  // a line the header block holds, or "" for none
    const char* headerAbsent;    // a header name the block must not hold, or ""
    std::string body;            // bytes after the header block
    bool reset;
  };
  auto make = [](auto change) {
    ScriptedResponse r = ScriptedResponse::Ok("hello");
    change(r);
    return r;
  };
  const Case cases[] = {
      {"plain", ScriptedResponse::Ok("hello"), "Content-Length: 5\r\n", "", "hello", false},
      {"length above body", make([](auto& r) { r.contentLength = 100; }), "Content-Length: 100\r\n",
       "", "hello", false},
      {"length below body", make([](auto& r) { r.contentLength = 2; }), "Content-Length: 2\r\n", "",
       "hello", false},
      {"no length", make([](auto& r) { r.contentLength = -2; }), "Connection: close\r\n",
       "Content-Length", "hello", false},
      {"cut short", make([](auto& r) {
         r.fault = ServerFault::kCloseInBody;
         r.bodySplit = 3;
       }),
       "Content-Length: 5\r\n", "", "hel", false},
      {"delay in body", make([](auto& r) {
         r.bodySplit = 2;
         r.delayInBody = milliseconds(50);
         r.delayBeforeStatus = milliseconds(50);
       }),
       "Content-Length: 5\r\n", "", "hello", false},
      {"reset in body", make([](auto& r) {
         r.fault = ServerFault::kResetInBody;
         r.bodySplit = 2;
       }),
       "Content-Length: 5\r\n", "", "he", true},
      {"status and headers", make([](auto& r) {
         r.status = 503;
         r.headers = {{"Retry-After", "7"}};
       }),
       "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 7\r\n", "", "hello", false},
      {"proxy challenge", ScriptedResponse::ProxyChallenge(),
       "Proxy-Authenticate: Basic realm=\"loopback\"\r\n", "", "proxy credentials required", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServer server;
    server.SetDefault(c.response);
    RawAnswer answer = Exchange(server, kGetClose);
    std::string head = answer.bytes.substr(0, answer.bytes.find("\r\n\r\n") + 2);
    EXPECT_NE(head.find(c.headerExpected), std::string::npos) << head;
    if (*c.headerAbsent) {
      EXPECT_EQ(head.find(c.headerAbsent), std::string::npos) << head;
    }
    EXPECT_EQ(BodyOf(answer.bytes), c.body);
    EXPECT_EQ(c.reset ? ResetSeen(answer) : answer.reset, c.reset);
  }
}

TEST(TestServer, ResetsBeforeOrInsideTheHeaderBlock) {
  for (ServerFault fault : {ServerFault::kResetBeforeStatus, ServerFault::kResetInHeaders}) {
    TestServer server;
    ScriptedResponse response = ScriptedResponse::Ok("hello");
    response.fault = fault;
    server.SetDefault(response);
    RawAnswer answer = Exchange(server, kGetClose);
    EXPECT_TRUE(ResetSeen(answer));
    EXPECT_EQ(answer.bytes.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(answer.bytes.empty(), fault == ServerFault::kResetBeforeStatus);
  }
}

TEST(TestServer, GzipBodyDecodesToTheScriptedText) {
  TestServer server;
  ScriptedResponse response = ScriptedResponse::Ok(std::string(5000, 'z') + "tail");
  response.gzip = true;
  server.SetDefault(response);
  RawAnswer answer = Exchange(server, kGetClose);
  EXPECT_NE(answer.bytes.find("Content-Encoding: gzip\r\n"), std::string::npos);
  std::string body = BodyOf(answer.bytes);
  EXPECT_NE(answer.bytes.find("Content-Length: " + std::to_string(body.size())), std::string::npos);
  EXPECT_EQ(GzipDecode(body), response.body);
}

TEST(TestServer, EndlessBodyStopsWhenTheClientLeaves) {
  TestServer server;
  ScriptedResponse response;
  response.fault = ServerFault::kEndlessBody;
  server.SetDefault(response);
  {
    TestSocket client = ConnectToLoopback(server.Port());
    ASSERT_TRUE(client.SendAll(kGetClose));
    size_t total = 0;
    char block[16384];
    while (total < (1u << 20) && client.WaitReadable(int(kHangGuard.count()))) {
      long count = client.Receive(block, sizeof block);
      ASSERT_GT(count, 0);
      total += static_cast<size_t>(count);
    }
    EXPECT_GE(total, 1u << 20);
  }
  EXPECT_TRUE(server.WaitForIdle(kHangGuard));
}

TEST(TestServer, StopsWhileAnAnswerIsStalled) {
  TestSocket client;
  {
    TestServer server;
    ScriptedResponse response = ScriptedResponse::Ok("abcdef");
    response.fault = ServerFault::kStallInBody;
    response.bodySplit = 3;
    server.SetDefault(response);
    client = ConnectToLoopback(server.Port());
    ASSERT_TRUE(client.SendAll(kGetClose));
    ASSERT_TRUE(server.WaitForRequests(1, kHangGuard));
  }  // the destructor must not wait for the stalled answer to finish
  std::string bytes;
  char block[256];
  long count;
  while (client.WaitReadable(int(kHangGuard.count())) &&
         (count = client.Receive(block, sizeof block)) > 0) {
    bytes.append(block, static_cast<size_t>(count));
  }
  EXPECT_EQ(BodyOf(bytes), "abc");
}

}  // namespace
