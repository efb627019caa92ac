#include "request_handler.h"

#include "accept_encoding.h"
#include "answer_packet.h"
#include "content_query.h"
#include "document_store.h"
#include "gzip_writer.h"
#include "query_match.h"

namespace ravenlink_service {
namespace {

const std::string kQueryCommand = "ContentCmd:QueryDocument";
const std::string kPingCommand = "PingCmd:Ping";

const std::string* Param(const ServiceRequest& request, const std::string& name) {
  const auto found = request.params.find(name);
  return found == request.params.end() ? nullptr : &found->second;
}

std::wstring Wide(const std::string& text) {
  return pugi::as_wide(text);
}

// Fills the answer's packet from a query request; RequestError for requests
// that cannot be answered with documents.
void AnswerQuery(const ServiceConfig& config, const ServiceRequest& request, AnswerPacket& packet,
                 ServiceAnswer& answer, DocumentSet& documents) {
  if (request.method != "POST") {
    throw RequestError{kStatusMalformedRequest, "a content query is posted with a packet"};
  }
  const std::string* version = Param(request, "flumeway_version");
  if (version != nullptr && *version != "2.0") {
    throw RequestError{kStatusUnsupportedVersion,
                       "flumeway_version " + *version + " is not supported (2.0 is)"};
  }
  const RequestPacket query = ParseRequestPacket(request.body);
  packet.locale = query.locale;
  packet.client = query.client;

  documents = LoadDocuments(config.documentsFolder);
  answer.warnings = documents.warnings;
  if (!documents.folderReadable) {
    throw RequestError{kStatusNoDocuments, "documents folder cannot be read"};
  }
  packet.hasBody = true;
  for (const NotificationDocument& document : documents.documents) {
    if (QueryMatches(query.query, document.metadata)) {
      packet.notifications.push_back(document.Notification());
    }
  }
  answer.summary = "documents=" + std::to_string(packet.notifications.size()) + "/" +
                   std::to_string(documents.documents.size());
}

}  // namespace

ServiceAnswer HandleRequest(const ServiceConfig& config, const ServiceRequest& request,
                            long long secondsSinceEpoch) {
  ServiceAnswer answer;
  AnswerPacket packet;
  packet.date = FormatDate(secondsSinceEpoch);
  packet.statusText = L"OK";
  DocumentSet documents;  // keeps the matched notifications alive until written

  const std::string* command = Param(request, "cmd");
  try {
    if (command != nullptr && *command == kQueryCommand) {
      AnswerQuery(config, request, packet, answer, documents);
    } else if (command != nullptr && *command == kPingCommand) {
      answer.summary = "ping";
    } else {
      throw RequestError{kStatusUnknownCommand,
                         command == nullptr ? "no cmd parameter" : "unknown cmd " + *command};
    }
  } catch (const RequestError& error) {
    packet.statusCode = error.code;
    packet.statusText = Wide(error.message);
    packet.hasBody = false;
    packet.notifications.clear();
    answer.summary = error.message;
  }
  if (config.forcedStatus && *config.forcedStatus != kStatusOk) {
    packet.statusCode = *config.forcedStatus;
    packet.statusText = L"Status forced by the service's options";
    packet.hasBody = false;
    packet.notifications.clear();
    answer.summary += " (status forced)";
  }

  answer.packetStatus = packet.statusCode;
  answer.body = WriteAnswerPacket(packet);
  if (AcceptsGzip(request.acceptEncoding)) {
    answer.body = GzipCompress(answer.body);
    answer.contentEncoding = "gzip";
  }
  return answer;
}

}  // namespace ravenlink_service
