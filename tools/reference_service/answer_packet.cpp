#include "answer_packet.h"

#include <cstdio>
#include <ctime>

namespace ravenlink_service {

const wchar_t* const kPacketNamespaceUri = L"http://www.quorvane.com/Schemas/KVA/2.0";

namespace {

class StringWriter : public pugi::xml_writer {
 public:
  std::string text;
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

void WriteClientPart(pugi::xml_node client, const wchar_t* name, const ClientPart& part) {
  pugi::xml_node element = client.append_child(name);
  element.text().set(part.name.c_str());
  element.append_attribute(L"version").set_value(part.version.c_str());
}

}  // namespace

std::string WriteAnswerPacket(const AnswerPacket& answer) {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute(L"version").set_value(L"1.0");
  declaration.append_attribute(L"encoding").set_value(L"utf-8");

  pugi::xml_node root = document.append_child(L"packet");
  root.append_attribute(L"xmlns").set_value(kPacketNamespaceUri);
  root.append_attribute(L"xmlns:xsi").set_value(L"http://www.w3.org/2001/XMLSchema-instance");
  const std::wstring schemaLocation =
      std::wstring(kPacketNamespaceUri) + L" Schemas/Common/2.0/Packet.xsd";
  root.append_attribute(L"xsi:schemaLocation").set_value(schemaLocation.c_str());
  root.append_attribute(L"schemaVersion").set_value(L"2.0");

  pugi::xml_node header = root.append_child(L"header");
  if (!answer.locale.empty()) header.append_child(L"locale").text().set(answer.locale.c_str());
  header.append_child(L"date").text().set(answer.date.c_str());
  if (answer.client.present) {
    pugi::xml_node client = header.append_child(L"client");
    WriteClientPart(client, L"swapp", answer.client.swapp);
    WriteClientPart(client, L"corelib", answer.client.corelib);
    WriteClientPart(client, L"wrapperlib", answer.client.wrapperlib);
  }
  pugi::xml_node status = header.append_child(L"server").append_child(L"status");
  status.append_attribute(L"code").set_value(answer.statusCode);
  status.text().set(answer.statusText.c_str());

  if (answer.hasBody) {
    pugi::xml_node body = root.append_child(L"body");
    for (pugi::xml_node notification : answer.notifications) {
      pugi::xml_node copy = body.append_copy(notification);
      while (copy.remove_child(L"metadata")) {
      }
    }
  }

  StringWriter writer;
  document.save(writer, L"\t", pugi::format_default, pugi::encoding_utf8);
  return writer.text;
}

std::wstring FormatDate(long long secondsSinceEpoch) {
  const std::time_t seconds = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  wchar_t text[32];
  std::swprintf(text, 32, L"%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

}  // namespace ravenlink_service
