// One request to the service and its answer, independent of the HTTP server
// that carries them.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ravenlink_service {

struct ServiceConfig {
  std::string documentsFolder;
  std::optional<int> forcedStatus;  // every answer carries this status, without a body
};

struct ServiceRequest {
  std::string method;                              // "GET", "POST"
  std::multimap<std::string, std::string> params;  // URL parameters, decoded
  std::string acceptEncoding;
  std::string body;
};

struct ServiceAnswer {
  int httpStatus = 200;
  std::string contentType = "application/xml; charset=utf-8";
  std::string contentEncoding;  // "gzip" or empty
  std::string body;
  int packetStatus = 0;
  std::string summary;                // what the log line tells about the answer
  std::vector<std::string> warnings;  // documents that could not be served
};

// "cmd" = "ContentCmd:QueryDocument" (POST with a request packet): the
// documents whose metadata match the packet's query. "cmd" = "PingCmd:Ping": a
// header-only packet. Anything else: an answer packet with a nonzero status.
// Every answer is HTTP 200 with a packet; it is gzip-encoded when the request
// accepts gzip. secondsSinceEpoch gives the header's date.
ServiceAnswer HandleRequest(const ServiceConfig& config, const ServiceRequest& request,
                            long long secondsSinceEpoch);

}  // namespace ravenlink_service
