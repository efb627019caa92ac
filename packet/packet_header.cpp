#include "packet/packet_header.h"

#include <limits>

#include "packet/xml_helpers.h"

namespace {

const WsString kLocale = L"locale";
const WsString kDate = L"date";
const WsString kClient = L"client";
const WsString kSwapp = L"swapp";
const WsString kCorelib = L"corelib";
const WsString kWrapperlib = L"wrapperlib";
const WsString kVersion = L"version";
const WsString kServer = L"server";
const WsString kStatus = L"status";
const WsString kCode = L"code";

void ReadClientPart(pugi::xml_node client, const WsString& name, WsString& text,
                    WsString& version) {
  const pugi::xml_node part = GetChild(client, name);
  version = GetAttribute(part, kVersion);
  text = GetText(part);
}

void WriteClientPart(pugi::xml_node client, const WsString& name, const WsString& text,
                     const WsString& version) {
  const pugi::xml_node part = AppendElement(client, name);
  SetText(part, text);
  SetAttribute(part, kVersion, version, true);
}

bool IsBlank(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}

}  // namespace

WsPacketHeader::WsPacketHeader(const ClientIdentity& client, const WsString& locale)
    : client_(client), locale_(locale) {}

WsPacketHeader::WsPacketHeader(pugi::xml_node element) {
  date_ = GetChildText(element, kDate);
  const pugi::xml_node client = GetChild(element, kClient);
  ReadClientPart(client, kSwapp, client_.swapp, client_.swappVersion);
  ReadClientPart(client, kCorelib, client_.corelib, client_.corelibVersion);
  ReadClientPart(client, kWrapperlib, client_.wrapperlib, client_.wrapperlibVersion);
  const pugi::xml_node status = GetChild(GetChild(element, kServer), kStatus);
  statusCode_ = GetAttribute(status, kCode);
  statusText_ = GetText(status);
}

void WsPacketHeader::WriteXml(WsXmlDocument& /*document*/, pugi::xml_node element) const {
  AddTextElement(element, kLocale, locale_, true);
  AddTextElement(element, kDate, date_, true);
  const pugi::xml_node client = AppendElement(element, kClient);
  WriteClientPart(client, kSwapp, client_.swapp, client_.swappVersion);
  WriteClientPart(client, kCorelib, client_.corelib, client_.corelibVersion);
  WriteClientPart(client, kWrapperlib, client_.wrapperlib, client_.wrapperlibVersion);
}

int32_t WsPacketHeader::ServerCode() const {
  size_t i = 0;
  while (i < statusCode_.size() && IsBlank(statusCode_[i])) ++i;
  bool negative = false;
  if (i < statusCode_.size() && (statusCode_[i] == L'+' || statusCode_[i] == L'-')) {
    negative = statusCode_[i] == L'-';
    ++i;
  }
  // Out-of-range values saturate, as the runtime's conversion does.
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                 : int64_t{std::numeric_limits<int32_t>::max()};
  int64_t value = 0;
  for (; i < statusCode_.size() && statusCode_[i] >= L'0' && statusCode_[i] <= L'9'; ++i) {
    value = value * 10 + (statusCode_[i] - L'0');
    if (value > limit) {
      value = limit;
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}
