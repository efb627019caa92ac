// What every benchmark shares: a private registry that sends sessions to a
// loopback server, an inventory that installs some of the generated items,
// and the generated answers, kept in memory, in files and gzip-encoded.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "foundation/ws_string.h"
#include "support/test_server.h"

class BenchEnvironment {
 public:
  BenchEnvironment();
  ~BenchEnvironment();
  BenchEnvironment(const BenchEnvironment&) = delete;
  BenchEnvironment& operator=(const BenchEnvironment&) = delete;

  // The one environment of the running benchmark program.
  static BenchEnvironment& Get();

  // The loopback server the registry names as the service ("/svc").
  TestServer& Server();
  std::string ServiceUrl() const;

  // The generated answer with `count` notifications, its gzip encoding and
  // a file holding it, each made once.
  const std::string& Answer(size_t count);
  const std::string& GzipAnswer(size_t count);
  WsString AnswerFile(size_t count);

  // The reference service serving `count` generated notifications as
  // documents, started on first use and kept until the end:
  // "http://127.0.0.1:PORT", no path.
  std::string ReferenceServiceBase(size_t count);
  // Makes the registry name `url` as the service (ServiceUrl() to go back).
  void PointRegistryAt(const std::string& url);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Answers the server with these bytes from now on, gzip-encoded on the wire
// when `gzipBytes` is true (the bytes must then be the encoding already).
void ServeBytes(TestServer& server, const std::string& bytes, bool gzipBytes);
