// WsPacketHeader: the "header" of a packet. In a request it carries the
// client's identity and locale; in an answer the service adds its status and
// date and echoes the client.
#pragma once

#include <cstdint>

#include <pugixml.hpp>

#include "foundation/ws_string.h"
#include "packet/client_identity.h"
#include "packet/xml_serializable.h"

class WsPacketHeader : public WsXmlSerializable {
 public:
  WsPacketHeader() = default;
  // A request header: no status and no date.
  WsPacketHeader(const ClientIdentity& client, const WsString& locale);
  // Reads an answer's "header" element; whatever is missing stays empty.
  explicit WsPacketHeader(pugi::xml_node element);

  // Writes "locale", "date" and "client" into the "header" element.
  void WriteXml(WsXmlDocument& document, pugi::xml_node element) const override;

  // The status code read as a decimal integer the way the C runtime's atoi
  // does: leading blanks and a sign allowed, reading stops at the first
  // non-digit, no digits give 0. So an answer without a status counts as 0.
  int32_t ServerCode() const;

  const WsString& StatusText() const { return statusText_; }
  const WsString& StatusCode() const { return statusCode_; }
  const WsString& Date() const { return date_; }
  const ClientIdentity& Client() const { return client_; }
  const WsString& Locale() const { return locale_; }

 private:
  WsString statusText_;
  WsString statusCode_;
  WsString date_;
  ClientIdentity client_;
  WsString locale_;
};
