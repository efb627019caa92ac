// The answer packet the service sends back, as UTF-8 XML text (UTF-8 because
// the client cuts a decoded gzip answer at its first zero byte).
#pragma once

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "content_query.h"

namespace ravenlink_service {

// The namespace of every packet; the same text starts "xsi:schemaLocation".
extern const wchar_t* const kPacketNamespaceUri;

struct AnswerPacket {
  int statusCode = kStatusOk;
  std::wstring statusText;
  std::wstring date;
  std::wstring locale;    // echoed when not empty
  ClientIdentity client;  // echoed when present
  bool hasBody = false;   // a query answer has a "body", a ping or an error none
  std::vector<pugi::xml_node> notifications;  // copied into "body" in order
};

// Writes the packet: root "packet" with "xmlns", the "xsi" declaration,
// "xsi:schemaLocation" and "schemaVersion"; "header" with "locale", "date",
// "client" and "server"/"status" (attribute "code", the status text); then
// "body" with a copy of each notification element without its "metadata"
// child. Indented with tabs, with an XML declaration.
std::string WriteAnswerPacket(const AnswerPacket& answer);

// "2026-12-06T02:40:00Z" for the given seconds since 1970 (UTC).
std::wstring FormatDate(long long secondsSinceEpoch);

}  // namespace ravenlink_service
