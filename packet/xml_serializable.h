// WsXmlSerializable: the one protocol by which an object writes itself as XML.
#pragma once

#include <pugixml.hpp>

class WsXmlDocument;

class WsXmlSerializable {
 public:
  // Writes the object's attributes, text and children into an element the
  // caller has already created and named. The document is passed so that an
  // object can declare namespaces on the root. Objects that are only ever
  // read implement this as doing nothing.
  virtual void WriteXml(WsXmlDocument& document, pugi::xml_node element) const = 0;
  virtual ~WsXmlSerializable() = default;

 protected:
  WsXmlSerializable() = default;
  WsXmlSerializable(const WsXmlSerializable&) = default;
  WsXmlSerializable& operator=(const WsXmlSerializable&) = default;
};
