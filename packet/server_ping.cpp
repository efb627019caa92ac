#include "packet/server_ping.h"

#include "transport/service_endpoint.h"

namespace {
const WsString kPingCommand = L"PingCmd:Ping";
const WsString kModuleName = L"module";
const WsString kModuleValue = L"Flumeway";
}  // namespace

WsFlumewayServerPing::WsFlumewayServerPing(const ClientIdentity& client, const WsString& locale,
                                           bool https)
    : WsPacketRequest(client, locale, https) {
  SetUrl(ServiceUrl(https, client.wrapperlib));
  SetCommand(kPingCommand);
  AddQueryParameter(kModuleName, kModuleValue);
}

WsStatus WsFlumewayServerPing::RunPing(DWORD timeoutMs, bool silent) {
  const WsStatus transfer = WsPacketRequest::Execute(timeoutMs, silent, false);
  if (transfer != kWsOk) return transfer;
  const WsPacketHeader& header = GetResponsePacket().Header();
  serverDate_ = header.Date();
  const int32_t code = header.ServerCode();
  pingStatus_ = code == 0 ? WsStatus(kWsOk) : StatusFromServerCode(code);
  return kWsOk;
}
