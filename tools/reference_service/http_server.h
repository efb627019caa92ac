// Carrying the service's requests and answers over cpp-httplib.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include <httplib.h>

#include "request_handler.h"

namespace ravenlink_service {

// One line per request (and one per skipped document), written whole.
class RequestLog {
 public:
  explicit RequestLog(std::FILE* out) : out_(out) {}
  void Line(const std::string& line);

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

// A plain HTTP server, or HTTPS when both paths are given. Returns null when
// the certificate or the key cannot be used.
std::unique_ptr<httplib::Server> CreateServer(const std::string& certPath,
                                              const std::string& keyPath);

// Routes GET and POST of every path to HandleRequest and logs each request.
// config and log must outlive the server.
void ConfigureServer(httplib::Server& server, const ServiceConfig& config, RequestLog& log);

}  // namespace ravenlink_service
