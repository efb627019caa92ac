// Large answers arrive whole and byte for byte: the body comes in many
// network reads and many read blocks, plain or gzip-encoded.
#include <gtest/gtest.h>

#include <string>

#include "support/test_server.h"
#include "transport/http_request.h"
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

}  // namespace
