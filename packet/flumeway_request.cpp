#include "packet/flumeway_request.h"

#include "packet/server_ping.h"
#include "transport/service_endpoint.h"

const WsString kPingLocale = L"en-XX";

WsFlumewayRequest::WsFlumewayRequest(const ClientIdentity& client, bool https)
    : WsPacketRequest(client, https) {
  SetupEndpoint(*this, client, https);
}

WsFlumewayRequest::WsFlumewayRequest(const ClientIdentity& client, const WsString& command,
                                     const WsPacket& packet, bool https)
    : WsPacketRequest(client, command, packet, https) {
  SetupEndpoint(*this, client, https);
}

WsStatus WsFlumewayRequest::Execute(DWORD timeoutMs, bool silent) {
  AddProtocolParameter(*this);
  return WsPacketRequest::Execute(timeoutMs, silent, true);
}

WsStatus WsFlumewayRequest::PingServiceFrom(DWORD timeoutMs, WsString& serverDate, bool silent,
                                            const WsString& extraToken) {
  WsFlumewayServerPing ping(Client(), kPingLocale, true);
  if (ParentWindow() != nullptr) ping.SetParentWindow(ParentWindow());
  if (!extraToken.empty()) ping.AddUserAgentToken(extraToken);
  ping.RunPing(timeoutMs, silent);
  // A ping started without waiting is collected here; a completed one has
  // nothing left to collect.
  WsStatus polled;
  do {
    Sleep(10);
    polled = ping.Poll(10);
  } while (polled == kWsStillRunning);
  serverDate = ping.ServerDate();
  return ping.PingStatus();
}
