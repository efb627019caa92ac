#include "packet/packet_request.h"

WsPacketRequest::WsPacketRequest(const ClientIdentity& client, const WsString& command,
                                 const WsPacket& packet, bool https)
    : WsHttpRequest(client.swapp, client.swappVersion, https),
      client_(client),
      requestPacket_(packet) {
  SetCommand(command);
}

WsPacketRequest::WsPacketRequest(const ClientIdentity& client, const WsString& locale, bool https)
    : WsHttpRequest(client.swapp, client.swappVersion, https),
      client_(client),
      requestPacket_(WsPacketHeader(client, locale)) {}

WsPacketRequest::WsPacketRequest(const ClientIdentity& client, bool https)
    : WsHttpRequest(client.swapp, client.swappVersion, https), client_(client) {}

// The exchange must end before the answer and the packet go away.
WsPacketRequest::~WsPacketRequest() {
  Cancel(true);
}

WsStatus WsPacketRequest::Execute(DWORD timeoutMs, bool silent, bool buildBody) {
  if (buildBody) SetPostData(requestPacket_.ToDocument().ToString(true, true));
  return WsHttpRequest::Execute(timeoutMs, silent);
}

WsPacket& WsPacketRequest::GetResponsePacket() {
  if (responsePacket_) return *responsePacket_;
  if (!partName_.empty()) {
    if (std::optional<WsPacket> parted =
            ReadAnswerInParts(SharedResponse(), partName_, skippable_)) {
      responsePacket_ = std::make_unique<WsPacket>(std::move(*parted));
      return *responsePacket_;
    }
  }
  return ReadWholeResponsePacket();
}

WsPacket& WsPacketRequest::ReadWholeResponsePacket() {
  // From now on this answer is only read whole, so that a failed parse fails
  // again on the next reading too.
  partName_.clear();
  if (responsePacket_) {
    try {
      responsePacket_->ReadWhole();
    } catch (...) {
      responsePacket_.reset();
      throw;
    }
    return *responsePacket_;
  }
  WsXmlDocument document;
  document.LoadFromBuffer(GetResponse());
  if (!document.IsLoaded()) throw WsStatus(kWsServer1);
  responsePacket_ = std::make_unique<WsPacket>(document);
  return *responsePacket_;
}

void WsPacketRequest::SetResponsePacket(const WsPacket& packet) {
  responsePacket_ = std::make_unique<WsPacket>(packet);
}

void WsPacketRequest::SetParentWindow(HWND window) {
  parentWindow_ = window;
  WsHttpRequest::SetParentWindow(window);
}
