// WsPacketRequest: one exchange with the service whose body is a packet and
// whose answer is read as a packet.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "foundation/ws_string.h"
#include "packet/packet.h"
#include "packet/packet_header.h"
#include "transport/http_request.h"

class WsPacketRequest : public WsHttpRequest {
 public:
  // A command request: posts the packet with "cmd" = command.
  WsPacketRequest(const ClientIdentity& client, const WsString& command, const WsPacket& packet,
                  bool https);
  // A request whose packet has the header (client, locale) and no body.
  WsPacketRequest(const ClientIdentity& client, const WsString& locale, bool https);
  // A request with an empty packet.
  WsPacketRequest(const ClientIdentity& client, bool https);
  ~WsPacketRequest() override;

  void SetRequestPacket(const WsPacket& packet) { requestPacket_ = packet; }
  const WsPacket& RequestPacket() const { return requestPacket_; }
  const ClientIdentity& Client() const { return client_; }

  using WsHttpRequest::Execute;
  // With buildBody, the post data becomes the request packet's indented text
  // with declaration; without, the request goes out with the post data it
  // holds (none: an HTTP GET). Then runs the exchange as WsHttpRequest does.
  WsStatus Execute(DWORD timeoutMs, bool silent, bool buildBody);

  // The answer, parsed on first use and kept: a second call returns the same
  // packet. With a part name set, an answer that can be is read in parts
  // (ReadAnswerInParts), and its parts are parsed only by whoever reads them. Throws the parse
  // statuses of the document (0x80004002, 0x80004003) and 0x80008001 for a document that did not
  // load. Call it only once the exchange has completed.
  WsPacket& GetResponsePacket();
  // Replaces the answer by a copy of the packet (an answer loaded from a file).
  void SetResponsePacket(const WsPacket& packet);
  // The answer packet with its whole answer parsed, also where it was read
  // in parts, and from then on; throws as GetResponsePacket does, and then
  // keeps no packet.
  WsPacket& ReadWholeResponsePacket();
  // Names the body elements an answer may be read in parts by, and their
  // child that may be left unparsed (ReadAnswerInParts).
  void SetAnswerParts(std::string_view name, std::string_view skippable) {
    partName_ = name;
    skippable_ = skippable;
  }

  // Records the window as well, so that requests started from this one can
  // be given the same owner for their dialogs.
  void SetParentWindow(HWND window);
  HWND ParentWindow() const { return parentWindow_; }

 private:
  ClientIdentity client_;
  WsPacket requestPacket_;
  std::unique_ptr<WsPacket> responsePacket_;
  std::string partName_;
  std::string skippable_;
  HWND parentWindow_ = nullptr;
};
