// Large answers arrive whole and byte for byte: the body comes in many
// network reads and many read blocks, plain or gzip-encoded.
#include <gtest/gtest.h>

#include <string>

#include "support/test_server.h"
#include "transport/http_request.h"
#include "transport/http_session.h"
#include "transport_test_helpers.h"

namespace {

// Bytes that differ from one block to the next, so a block handed out twice,
// skipped or shifted shows.
std::string Pattern(size_t size) {
  std::string out(size, '\0');
  uint32_t state = 12345;
  for (char& c : out) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('!' + (state >> 16) % 90);
  }
  return out;
}

TEST(TransportLargeAnswer, ArrivesWholeInOrder) {
  const struct {
    size_t size;
    bool gzip;
  } rows[] = {
      {16384 - 1, false},          {16384 + 1, false},    {3 * 1024 * 1024 + 7, false},
      {3 * 1024 * 1024 + 7, true}, {64 * 1024 * 3, true},
  };
  TestServer server;
  for (const auto& row : rows) {
    const std::string body = Pattern(row.size);
    ScriptedResponse answer = ScriptedResponse::Ok(body);
    answer.gzip = row.gzip;
    server.Enqueue(answer);
    WsHttpRequest request(L"App", L"1.0", false);
    request.SetUrl(ServerUrl(server, "/large"));
    request.SetRequestGzip(row.gzip);
    ASSERT_EQ(request.Execute(30000, true), kWsOk) << row.size;
    EXPECT_TRUE(request.GetResponse() == body) << row.size << (row.gzip ? " gzip" : " plain");
  }
}

// One session, answers one after the other: each is read on its own, whatever
// the one before announced, however long it was and however it ended. (Only
// the first may come without a length: the session's byte counts run on
// across its exchanges, and a later answer without one counts as complete.)
TEST(TransportLargeAnswer, OneSessionAnswersInTurn) {
  auto withLength = [](std::string body, long long length) {
    ScriptedResponse answer = ScriptedResponse::Ok(std::move(body));
    answer.contentLength = length;
    answer.closeAfter = true;
    return answer;
  };
  const std::string large = Pattern(2 * 1024 * 1024 + 5);
  const std::string small = Pattern(300);
  const struct {
    const char* name;
    ScriptedResponse answer;
    uint32_t expected;
    const std::string& body;
  } rows[] = {
      {"no length", withLength(large, -2), kWsOk, large},
      {"large after no length", ScriptedResponse::Ok(large), kWsOk, large},
      {"small after large", ScriptedResponse::Ok(small), kWsOk, small},
      {"announced more than sent", withLength(small, 5000000), kWsHttpIncomplete, small},
      {"large after a short answer", ScriptedResponse::Ok(large), kWsOk, large},
  };
  TestServer server;
  WsHttpSession session;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    server.Enqueue(row.answer);
    std::string response = "left from before";
    const uint32_t status =
        RaisedStatus([&] { session.Submit(ServerUrl(server, "/turn"), L"", response); });
    EXPECT_EQ(HexStatus(status), HexStatus(row.expected));
    if (row.expected == kWsOk) {
      EXPECT_EQ(response.size(), row.body.size());
      EXPECT_TRUE(response == row.body);
    }
  }
}

}  // namespace
