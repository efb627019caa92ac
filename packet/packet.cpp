#include "packet/packet.h"

#include "foundation/file_helpers.h"
#include "packet/xml_helpers.h"

const WsString kPacketNamespaceUri = L"http://www.quorvane.com/Schemas/KVA/2.0";
const WsString kXmlSchemaInstanceUri = L"http://www.w3.org/2001/XMLSchema-instance";

namespace {

const WsString kPacket = L"packet";
const WsString kHeader = L"header";
const WsString kBody = L"body";
const WsString kXsi = L"xsi";
const WsString kSchemaLocationName = L"xsi:schemaLocation";
const WsString kSchemaLocation = kPacketNamespaceUri + L" Schemas/Common/2.0/Packet.xsd";
const WsString kSchemaVersionName = L"schemaVersion";
const WsString kSchemaVersion = L"2.0";

}  // namespace

WsStatus StatusFromServerCode(int32_t code) {
  switch (code) {
    case 10:
      return 0x80008006;
    case 100:
    case 200:
      return 0x80008003;
    case 300:
    case 400:
    case 500:
    case 600:
      return 0x80008004;
    case 700:
    case 800:
      return 0x80008005;
    case 900:
      return 0x80008002;
    case 6000:
      return 0x80008007;
    default:
      return kWsServer1;
  }
}

WsPacket::WsPacket(const WsPacketHeader& header) : header_(header) {}

WsPacket::WsPacket(const WsPacketHeader& header, const WsString& commandName,
                   const WsXmlSerializable* body)
    : header_(header), commandName_(commandName), body_(body) {}

WsPacket::WsPacket(const WsXmlDocument& document)
    : header_(GetChild(document.Root(), kHeader)),
      bodyElement_(GetChild(document.Root(), kBody)),
      document_(document) {}

WsPacket::WsPacket(const WsXmlDocument& skeleton, std::shared_ptr<const std::string> answer,
                   std::vector<AnswerPart> parts)
    : header_(GetChild(skeleton.Root(), kHeader)),
      document_(skeleton),
      answer_(std::move(answer)),
      parts_(std::move(parts)) {}

pugi::xml_node WsPacket::BodyElement() const {
  if (answer_) ReadWhole();
  return bodyElement_;
}

std::string_view WsPacket::Part(size_t index) const {
  const AnswerPart& part = parts_.at(index);
  return std::string_view(*answer_).substr(part.offset, part.length);
}

std::string_view WsPacket::SkippableChild(size_t index) const {
  const AnswerPart& part = parts_.at(index);
  return std::string_view(*answer_).substr(part.skipOffset, part.skipLength);
}

bool WsPacket::SkippableChildren(size_t index, std::string_view name, std::string_view attribute,
                                 std::vector<PlainChild>& out) const {
  const std::string_view child = SkippableChild(index);
  return !child.empty() && ListPlainChildren(*answer_, child, name, attribute, out);
}

WsXmlDocument WsPacket::WholeAnswer() const {
  WsXmlDocument whole;
  whole.LoadFromBuffer(*answer_);
  return whole;
}

void WsPacket::ReadWhole() const {
  if (!answer_) return;
  const WsXmlDocument whole = WholeAnswer();
  document_ = whole;
  bodyElement_ = GetChild(whole.Root(), kBody);
  answer_.reset();
  parts_.clear();
}

std::optional<WsPacket> ReadAnswerInParts(std::shared_ptr<const std::string> answer,
                                          std::string_view partName, std::string_view skippable) {
  AnswerParts split;
  if (!SplitAnswer(*answer, "body", partName, skippable, split)) return std::nullopt;
  WsXmlDocument skeleton;
  try {
    skeleton.LoadFromBuffer(split.skeleton);
  } catch (const WsStatus&) {
    return std::nullopt;  // the whole answer's parse tells what is wrong
  }
  return WsPacket(skeleton, std::move(answer), std::move(split.parts));
}

void WsPacket::WriteXml(WsXmlDocument& document, pugi::xml_node element) const {
  document.AddNamespace(kXsi, kXmlSchemaInstanceUri);
  SetAttribute(document.Root(), kSchemaLocationName, kSchemaLocation);
  SetAttribute(document.Root(), kSchemaVersionName, kSchemaVersion);
  AppendObject(element, document, kHeader, header_);
  if (body_ != nullptr) {
    AppendObject(AppendElement(element, kBody), document, commandName_, *body_);
  } else if (!bodyText_.empty()) {
    SetText(AppendElement(element, kBody), bodyText_);
  } else if (answer_) {
    // Parsed for the copy only: the packet stays in parts.
    AppendCopy(element, GetChild(WholeAnswer().Root(), kBody));
  } else {
    AppendCopy(element, bodyElement_);
  }
}

WsXmlDocument WsPacket::ToDocument() const {
  WsXmlDocument document(kPacket, kPacketNamespaceUri);
  WriteXml(document, document.Root());
  return document;
}

bool WsPacket::SaveToFile(const WsString& path) const {
  const WsString text = ToDocument().ToString(true, true);
  return WriteTextFile(path, text.c_str(), text.size());
}
