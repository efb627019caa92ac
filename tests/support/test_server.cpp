// The scriptable loopback HTTP server of the tests.
#include "test_server.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

namespace {

constexpr int kPollSliceMs = 20;
// The accept loop sleeps until a client comes; the destructor wakes it with
// a connection of its own, so it need not wake up just to look at the flag.
// The limit only matters should that connection fail.
constexpr int kAcceptWaitMs = 1000;
constexpr auto kStallLimit = std::chrono::seconds(60);  // bounds a stalled body
constexpr size_t kMaxHeaderBytes = 1 << 20;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::string ReasonPhrase(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 300:
      return "Multiple Choices";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 407:
      return "Proxy Authentication Required";
    case 408:
      return "Request Timeout";
    case 410:
      return "Gone";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Status";
  }
}

}  // namespace

struct TestServer::Connection {
  TestSocket socket;
  std::string pending;  // bytes read but not yet parsed
  std::thread thread;
  bool finished = false;  // Serve has returned (guarded by the server's mutex)
};

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (EqualsNoCase(key, name)) return value;
  return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return EqualsNoCase(header.first, name); });
}

ScriptedResponse ScriptedResponse::Ok(std::string body) {
  ScriptedResponse response;
  response.body = std::move(body);
  return response;
}

ScriptedResponse ScriptedResponse::ProxyChallenge() {
  ScriptedResponse response;
  response.status = 407;
  response.headers = {{"Proxy-Authenticate", "Basic realm=\"loopback\""},
                      {"Content-Type", "text/plain"}};
  response.body = "proxy credentials required";
  return response;
}

std::string GzipEncode(std::string_view data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    std::abort();
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) std::abort();
  return out;
}

std::string GzipDecode(std::string_view data) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return {};
  std::string out;
  char block[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(block);
    stream.avail_out = sizeof block;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(block, sizeof block - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

TestServer::TestServer() {
  listener_ = ListenOnLoopback(&port_);
  if (!listener_.Valid()) std::abort();
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestServer::~TestServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  ConnectToLoopback(port_);  // closed at once: it only wakes the accept loop
  acceptThread_.join();
  // No connection is added once the accept thread has ended.
  for (auto& connection : connections_) connection->thread.join();
}

std::string TestServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void TestServer::Enqueue(ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(response));
}

void TestServer::SetDefault(ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  default_ = std::move(response);
}

std::vector<RecordedRequest> TestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t TestServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

size_t TestServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  const size_t count = requests_.size();
  requests_ = {};
  return count;
}

bool TestServer::WaitForRequests(size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

bool TestServer::WaitForIdle(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return activeConnections_ == 0; });
}

bool TestServer::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

ScriptedResponse TestServer::NextResponse() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return default_;
  ScriptedResponse next = std::move(queue_.front());
  queue_.pop_front();
  return next;
}

void TestServer::AcceptLoop() {
  while (!Stopping()) {
    if (!listener_.WaitReadable(kAcceptWaitMs)) continue;
    TestSocket socket = AcceptConnection(listener_);
    if (Stopping()) break;
    if (!socket.Valid()) continue;
    auto connection = std::make_unique<Connection>();
    connection->socket = std::move(socket);
    Connection* raw = connection.get();
    std::vector<std::unique_ptr<Connection>> ended;
    {
      std::lock_guard lock(mutex_);
      // Ended connections are joined as new ones come, so that a long run
      // does not keep every finished thread (and what it holds) alive.
      auto done = std::stable_partition(connections_.begin(), connections_.end(),
                                        [](const auto& c) { return !c->finished; });
      std::move(done, connections_.end(), std::back_inserter(ended));
      connections_.erase(done, connections_.end());
      ++activeConnections_;
      connections_.push_back(std::move(connection));
      raw->thread = std::thread([this, raw] { Serve(raw); });
    }
    for (auto& c : ended) c->thread.join();
  }
  listener_.Close();
}

void TestServer::Serve(Connection* connection) {
  for (;;) {
    RecordedRequest request;
    if (!ReadRequest(*connection, &request)) break;
    bool clientCloses = EqualsNoCase(request.Header("Connection"), "close") ||
                        EqualsNoCase(request.Header("Proxy-Connection"), "close");
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(std::move(request));
    }
    changed_.notify_all();
    if (!Answer(*connection, NextResponse()) || clientCloses) break;
  }
  connection->socket.Close();
  std::string().swap(connection->pending);
  {
    std::lock_guard lock(mutex_);
    --activeConnections_;
    connection->finished = true;
  }
  changed_.notify_all();
}

bool TestServer::ReadRequest(Connection& connection, RecordedRequest* request) {
  auto fill = [&]() {
    while (!connection.socket.WaitReadable(kPollSliceMs))
      if (Stopping()) return false;
    char block[16384];
    long count = connection.socket.Receive(block, sizeof block);
    if (count <= 0) return false;
    connection.pending.append(block, static_cast<size_t>(count));
    return true;
  };

  size_t end;
  while ((end = connection.pending.find("\r\n\r\n")) == std::string::npos) {
    if (connection.pending.size() > kMaxHeaderBytes || !fill()) return false;
    // Not HTTP (a TLS handshake, say): the connection is dropped.
    if (connection.pending[0] < 'A' || connection.pending[0] > 'Z') return false;
  }
  std::string head = connection.pending.substr(0, end);
  connection.pending.erase(0, end + 4);

  size_t lineEnd = head.find("\r\n");
  std::string_view line = std::string_view(head).substr(0, lineEnd);
  size_t space1 = line.find(' ');
  size_t space2 = line.rfind(' ');
  if (space1 == std::string_view::npos || space2 == space1) return false;
  request->method = std::string(line.substr(0, space1));
  request->target = std::string(line.substr(space1 + 1, space2 - space1 - 1));
  request->version = std::string(line.substr(space2 + 1));
  while (lineEnd != std::string::npos) {
    size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    std::string_view header = std::string_view(head).substr(
        start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
    size_t colon = header.find(':');
    if (colon == std::string_view::npos) continue;
    request->headers.emplace_back(std::string(Trim(header.substr(0, colon))),
                                  std::string(Trim(header.substr(colon + 1))));
  }

  if (EqualsNoCase(request->Header("Expect"), "100-continue") &&
      !connection.socket.SendAll("HTTP/1.1 100 Continue\r\n\r\n")) {
    return false;
  }

  if (EqualsNoCase(request->Header("Transfer-Encoding"), "chunked")) {
    for (;;) {
      size_t sizeEnd;
      while ((sizeEnd = connection.pending.find("\r\n")) == std::string::npos)
        if (!fill()) return false;
      size_t size = std::strtoul(connection.pending.c_str(), nullptr, 16);
      while (connection.pending.size() < sizeEnd + 2 + size + 2)
        if (!fill()) return false;
      request->body.append(connection.pending, sizeEnd + 2, size);
      connection.pending.erase(0, sizeEnd + 2 + size + 2);
      if (size == 0) return true;  // trailers are not used by the clients under test
    }
  }
  std::string length = request->Header("Content-Length");
  size_t size = length.empty() ? 0 : std::strtoull(length.c_str(), nullptr, 10);
  while (connection.pending.size() < size)
    if (!fill()) return false;
  request->body = connection.pending.substr(0, size);
  connection.pending.erase(0, size);
  return true;
}

bool TestServer::Pause(const TestSocket& socket, std::chrono::milliseconds time) const {
  auto deadline = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Stopping()) return false;
    if (socket.WaitReadable(kPollSliceMs)) {
      char byte;
      if (socket.Peek(&byte, 1) <= 0) return false;  // the client went away
      // A request already sent behind this one: keep waiting without spinning.
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(kPollSliceMs), [&] { return stopping_; });
    }
  }
  return true;
}

bool TestServer::Answer(Connection& connection, const ScriptedResponse& response) {
  const TestSocket& socket = connection.socket;
  if (response.delayBeforeStatus.count() > 0 && !Pause(socket, response.delayBeforeStatus))
    return false;
  if (response.fault == ServerFault::kResetBeforeStatus) {
    connection.socket.Reset();
    return false;
  }

  const std::string body = response.gzip ? GzipEncode(response.body) : response.body;
  const bool endless = response.fault == ServerFault::kEndlessBody;
  bool closes = response.closeAfter || endless || response.contentLength == -2 ||
                (response.contentLength >= 0 &&
                 response.contentLength != static_cast<long long>(body.size())) ||
                response.fault != ServerFault::kNone;

  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                     (response.reason.empty() ? ReasonPhrase(response.status) : response.reason) +
                     "\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  if (response.gzip) head += "Content-Encoding: gzip\r\n";
  if (!endless && response.contentLength != -2) {
    long long length =
        response.contentLength >= 0 ? response.contentLength : static_cast<long long>(body.size());
    head += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  if (closes) head += "Connection: close\r\n";
  head += "\r\n";

  if (response.fault == ServerFault::kResetInHeaders) {
    socket.SendAll(head.substr(0, head.size() / 2));
    connection.socket.Reset();
    return false;
  }
  if (!socket.SendAll(head)) return false;

  if (endless) {
    // Small blocks, each once the socket can take it, so that a client that
    // stops reading never holds the server's shutdown.
    const std::string block(1024, 'x');
    while (!Stopping()) {
      if (socket.WaitWritable(kPollSliceMs) && !socket.SendAll(block)) break;
    }
    return false;
  }

  size_t split = std::min(response.bodySplit, body.size());
  if (!socket.SendAll(body.data(), split)) return false;
  switch (response.fault) {
    case ServerFault::kResetInBody:
      connection.socket.Reset();
      return false;
    case ServerFault::kCloseInBody:
      return false;
    case ServerFault::kStallInBody:
      Pause(socket, kStallLimit);
      return false;
    default:
      break;
  }
  if (response.delayInBody.count() > 0 && !Pause(socket, response.delayInBody)) return false;
  if (!socket.SendAll(body.data() + split, body.size() - split)) return false;
  return !closes;
}
