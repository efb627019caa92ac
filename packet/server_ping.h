// WsFlumewayServerPing: asks the service whether it is reachable and
// answering. An HTTP GET with "cmd" = "PingCmd:Ping" and "module" =
// "Flumeway"; the answer's server code is its verdict.
#pragma once

#include "packet/packet_request.h"

class WsFlumewayServerPing : public WsPacketRequest {
 public:
  // Addressed to the service URL for the caller's product; no gzip answer is
  // asked for and no identity tokens beyond the caller's are added.
  WsFlumewayServerPing(const ClientIdentity& client, const WsString& locale, bool https);

  // Sends the ping. Returns what the transfer returned when that is not 0
  // (still running for timeoutMs 0); otherwise judges the answer: server date
  // and ping status (0 for server code 0, else its status). Raises the
  // transfer's failures and the answer's parse failures.
  WsStatus RunPing(DWORD timeoutMs, bool silent);

  const WsString& ServerDate() const { return serverDate_; }
  WsStatus PingStatus() const { return pingStatus_; }

 private:
  WsString serverDate_;
  WsStatus pingStatus_;
};
