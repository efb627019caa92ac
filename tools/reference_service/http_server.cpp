#include "http_server.h"

#include <ctime>
#include <exception>

#include "answer_packet.h"

namespace ravenlink_service {

void RequestLog::Line(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

std::unique_ptr<httplib::Server> CreateServer(const std::string& certPath,
                                              const std::string& keyPath) {
  if (certPath.empty() && keyPath.empty()) return std::make_unique<httplib::Server>();
  if (certPath.empty() || keyPath.empty()) return nullptr;
  auto server = std::make_unique<httplib::SSLServer>(certPath.c_str(), keyPath.c_str());
  if (!server->is_valid()) return nullptr;
  return server;
}

void ConfigureServer(httplib::Server& server, const ServiceConfig& config, RequestLog& log) {
  const auto handler = [&config, &log](const httplib::Request& req, httplib::Response& res) {
    const long long now = static_cast<long long>(std::time(nullptr));
    const std::string prefix = pugi::as_utf8(FormatDate(now)) + " " + req.remote_addr + " " +
                               req.method + " " + req.target + " -> ";
    try {
      ServiceRequest request;
      request.method = req.method;
      request.params.insert(req.params.begin(), req.params.end());
      request.acceptEncoding = req.get_header_value("Accept-Encoding");
      request.body = req.body;
      const ServiceAnswer answer = HandleRequest(config, request, now);
      for (const std::string& warning : answer.warnings) log.Line("warning: " + warning);
      res.status = answer.httpStatus;
      if (!answer.contentEncoding.empty()) {
        res.set_header("Content-Encoding", answer.contentEncoding);
      }
      res.set_content(answer.body, answer.contentType.c_str());
      log.Line(prefix + std::to_string(answer.httpStatus) +
               " status=" + std::to_string(answer.packetStatus) + " " + answer.summary +
               (answer.contentEncoding.empty() ? "" : " gzip") + " " +
               std::to_string(answer.body.size()) + " bytes");
    } catch (const std::exception& error) {
      res.status = 500;
      res.set_content("", "text/plain");
      log.Line(prefix + "500 " + error.what());
    }
  };
  server.Get(".*", handler);
  server.Post(".*", handler);
  // Requests no route takes (other methods) still get their line.
  server.set_error_handler([&log](const httplib::Request& req, httplib::Response& res) {
    log.Line(pugi::as_utf8(FormatDate(static_cast<long long>(std::time(nullptr)))) + " " +
             req.remote_addr + " " + req.method + " " + req.target + " -> " +
             std::to_string(res.status));
  });
  server.set_payload_max_length(8 * 1024 * 1024);
}

}  // namespace ravenlink_service
