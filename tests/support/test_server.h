// A scriptable HTTP/1.1 server for the tests: it runs in-process on threads of
// its own, listens on 127.0.0.1 on a port the system picks, answers each
// request with the next scripted answer (or the default one) and records every
// request it reads. It can also stand in as the proxy a client is sent to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform.h"

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the server read it.
struct RecordedRequest {
  std::string method;
  std::string target;  // as sent: path with query, or an absolute URL through a proxy
  std::string version;
  HeaderList headers;  // in order, names as sent
  std::string body;    // the bytes after the header block

  // The first header of that name (letter case ignored), or "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// How an answer goes wrong on purpose.
enum class ServerFault {
  kNone,
  kResetBeforeStatus,  // read the request, then reset the connection
  kResetInHeaders,     // reset after part of the status line and headers
  kResetInBody,        // reset after the first bodySplit bytes of the body
  kCloseInBody,        // close normally after the first bodySplit bytes (body cut short)
  kEndlessBody,        // after the headers, send bytes until the client goes away
  kStallInBody,        // send the first bodySplit bytes, then wait until the client goes away
};

// A wait before the status line for an exchange that a test needs still
// running when the call that started it returns: long enough that a busy
// machine does not finish it first.
inline constexpr std::chrono::milliseconds kNotWaitedForDelay{1000};

struct ScriptedResponse {
  int status = 200;
  std::string reason;  // default: the usual phrase for the status
  HeaderList headers;  // extra headers, sent as given
  std::string body;
  bool gzip = false;  // send the body gzip-encoded, with "Content-Encoding: gzip"
  // Content-Length: -1 sends the real length of the (encoded) body, -2 sends none
  // (the server then closes after the body), any other value is sent as it is.
  long long contentLength = -1;
  ServerFault fault = ServerFault::kNone;
  size_t bodySplit = 0;  // bytes of the body sent before a delay or a fault
  std::chrono::milliseconds delayBeforeStatus{0};
  std::chrono::milliseconds delayInBody{0};  // pause after bodySplit bytes
  bool closeAfter = false;                   // close the connection after this answer

  static ScriptedResponse Ok(std::string body);
  // A proxy's demand for credentials, with a Basic challenge.
  static ScriptedResponse ProxyChallenge();
};

class TestServer {
 public:
  TestServer();   // listening when constructed
  ~TestServer();  // stops, closes every connection and joins every thread
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string BaseUrl() const;

  // Answers are used in order; when the queue is empty the default answers.
  void Enqueue(ScriptedResponse response);
  void SetDefault(ScriptedResponse response);

  std::vector<RecordedRequest> Requests() const;
  size_t RequestCount() const;
  // Drops the recorded requests (a long run need not keep them); returns how
  // many there were.
  size_t ClearRequests();
  // Waits (bounded) until at least count requests have been read.
  bool WaitForRequests(size_t count, std::chrono::milliseconds limit) const;
  // Waits (bounded) until every connection the server accepted has ended.
  bool WaitForIdle(std::chrono::milliseconds limit) const;

 private:
  struct Connection;

  void AcceptLoop();
  void Serve(Connection* connection);
  bool ReadRequest(Connection& connection, RecordedRequest* request);
  bool Answer(Connection& connection, const ScriptedResponse& response);
  // Sleeps up to the given time; false when the server stops or the client left.
  bool Pause(const TestSocket& socket, std::chrono::milliseconds time) const;
  ScriptedResponse NextResponse();
  bool Stopping() const;

  uint16_t port_ = 0;
  TestSocket listener_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  std::deque<ScriptedResponse> queue_;
  ScriptedResponse default_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::unique_ptr<Connection>> connections_;
  size_t activeConnections_ = 0;
  std::thread acceptThread_;
};

// gzip encoding of the bytes (used by the server and by tests that compare),
// and its inverse (empty when the data is not a complete gzip stream).
std::string GzipEncode(std::string_view data);
std::string GzipDecode(std::string_view data);
