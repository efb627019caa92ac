// WsPacket: the envelope of every exchange with the service. A request packet
// is built from a header and a command object; an answer packet is read from
// a parsed document and keeps that document alive for its body element.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "foundation/ws_status.h"
#include "foundation/ws_string.h"
#include "packet/answer_parts.h"
#include "packet/packet_header.h"
#include "packet/xml_document.h"
#include "packet/xml_serializable.h"

// The packet namespace, declared on the root of every packet and the start of
// its schema location.
extern const WsString kPacketNamespaceUri;
extern const WsString kXmlSchemaInstanceUri;

// The status for a non-zero server code of an answer.
WsStatus StatusFromServerCode(int32_t code);

class WsPacket {
 public:
  WsPacket() = default;
  // A packet with a header and no body.
  explicit WsPacket(const WsPacketHeader& header);
  // A command packet: "body" holds an element named commandName that the body
  // object fills. The body is borrowed and must outlive every written copy.
  WsPacket(const WsPacketHeader& header, const WsString& commandName,
           const WsXmlSerializable* body);
  // An answer: the header from the root's "header" child (empty when there is
  // none) and the root's "body" child; the packet shares the document.
  explicit WsPacket(const WsXmlDocument& document);
  // An answer read in parts (answer_parts.h): the header from the parsed
  // skeleton, the body's parts left as text in the shared answer bytes.
  // Anything that needs the whole body parses the whole answer, and raises
  // what that parse raises: BodyElement keeps it, WriteXml parses it for the
  // copy it writes only.
  WsPacket(const WsXmlDocument& skeleton, std::shared_ptr<const std::string> answer,
           std::vector<AnswerPart> parts);
  WsPacket(const WsPacket&) = default;
  WsPacket& operator=(const WsPacket&) = default;
  virtual ~WsPacket() = default;

  // Declares the schema on the document's root and writes "header" and "body"
  // into element: the command element when there is a body object, else the
  // body text when there is one, else a copy of the body element read from
  // an answer (no "body" at all when there is none).
  virtual void WriteXml(WsXmlDocument& document, pugi::xml_node element) const;

  // A new "packet" document holding this packet: what is posted and saved.
  WsXmlDocument ToDocument() const;
  // Writes ToDocument's indented text with declaration as UTF-16LE with a
  // byte-order mark, creating missing folders and replacing an existing file.
  // True only if every byte was written; I/O errors are reported only by the
  // result (a body object that cannot write itself still throws its status).
  bool SaveToFile(const WsString& path) const;

  void SetBodyText(const WsString& text) { bodyText_ = text; }

  const WsPacketHeader& Header() const { return header_; }
  const WsString& CommandName() const { return commandName_; }
  // The answer's body; a packet read in parts reads its whole answer here.
  pugi::xml_node BodyElement() const;

  // Parts left as text (none once the whole answer has been read), each one
  // element of its own, in document order.
  size_t PartCount() const { return parts_.size(); }
  std::string_view Part(size_t index) const;
  // The part's skippable child (see answer_parts.h), inside Part's text;
  // empty when it has none.
  std::string_view SkippableChild(size_t index) const;
  // The elements named `name` directly inside the part's skippable child,
  // each with its first `attribute` (see ListPlainChildren); false when the
  // part has none or they cannot be listed that way.
  bool SkippableChildren(size_t index, std::string_view name, std::string_view attribute,
                         std::vector<PlainChild>& out) const;
  // Replaces the parts by the whole answer, parsed; throws its parse
  // statuses (0x80004002, 0x80004003) and then keeps the parts.
  void ReadWhole() const;

 private:
  // The answer read in parts, parsed whole.
  WsXmlDocument WholeAnswer() const;

  WsPacketHeader header_;
  WsString commandName_;
  WsString bodyText_;
  const WsXmlSerializable* body_ = nullptr;
  // Filled in by ReadWhole for a packet read in parts.
  mutable pugi::xml_node bodyElement_;
  mutable WsXmlDocument document_;
  mutable std::shared_ptr<const std::string> answer_;
  mutable std::vector<AnswerPart> parts_;
};

// The answer packet in the bytes, with the body's elements named `partName`
// left as parts (their children named `skippable` marked where they can be)
// when the answer can be split (see SplitAnswer) and its skeleton parses;
// nothing otherwise, and the caller parses it whole.
std::optional<WsPacket> ReadAnswerInParts(std::shared_ptr<const std::string> answer,
                                          std::string_view partName,
                                          std::string_view skippable = std::string_view());
