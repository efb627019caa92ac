// Feeds arbitrary bytes to the request packet reader, and the queries it
// accepts to the matcher and the answer writer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "answer_packet.h"
#include "content_query.h"
#include "query_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ravenlink_service;
  static const DocumentMetadata metadata = {
      {L"contentType", {L"NOTIFICATION"}},
      {L"targetApplication", {L"QVINSTALLER"}},
      {L"minEngineVersion", {L"17.0.0"}},
      {L"upc", {L"{3F2A6C41-8B1D-4E7A-9C55-0D6E2B7A1F01}", L"2.1"}},
  };
  try {
    const RequestPacket packet =
        ParseRequestPacket(std::string(reinterpret_cast<const char*>(data), size));
    AnswerPacket answer;
    answer.locale = packet.locale;
    answer.client = packet.client;
    answer.hasBody = QueryMatches(packet.query, metadata);
    WriteAnswerPacket(answer);
  } catch (const RequestError&) {
  }
  return 0;
}
