// WsFlumewayRequest: a packet request addressed to the service, with the
// service URL, gzip switch and identity tokens of the endpoint settings, and
// the protocol parameter on every command it executes.
#pragma once

#include "packet/packet_request.h"

// Header locale of the ping packet; never sent, as the ping has no body.
extern const WsString kPingLocale;

class WsFlumewayRequest : public WsPacketRequest {
 public:
  // A request that only holds the connection settings (for pings); it never
  // sends anything itself.
  WsFlumewayRequest(const ClientIdentity& client, bool https);
  // A command request posting the packet.
  WsFlumewayRequest(const ClientIdentity& client, const WsString& command, const WsPacket& packet,
                    bool https);

  // Adds the protocol parameter (once more on each call), then posts the
  // request packet.
  WsStatus Execute(DWORD timeoutMs, bool silent) override;

  // Pings the service with this request's identity and window and waits for
  // the answer. Returns the ping's judgement of the answer (0, or the status
  // of the server's code) and its date; when timeoutMs is 0 the transfer is
  // waited for but not judged (0 and an empty date). A failed transfer
  // raises its status.
  WsStatus PingServiceFrom(DWORD timeoutMs, WsString& serverDate, bool silent,
                           const WsString& extraToken);
};
