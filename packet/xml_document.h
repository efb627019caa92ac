// WsXmlDocument: an XML document shared by every copy of the object that built
// or loaded it, with the library's fixed serialisation (UTF-16 text starting
// with a byte-order mark, tab indentation).
#pragma once

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "foundation/ws_string.h"

class WsXmlDocument {
 public:
  // No document, null root, not loaded.
  WsXmlDocument() = default;
  // A new document holding only its root element; an "xmlns" attribute is
  // added when the namespace URI is not empty. Not loaded.
  WsXmlDocument(const WsString& rootName, const WsString& namespaceUri);
  // Copies share the document; it lives until the last copy is gone.
  WsXmlDocument(const WsXmlDocument&) = default;
  WsXmlDocument& operator=(const WsXmlDocument&) = default;
  WsXmlDocument(WsXmlDocument&&) = default;
  WsXmlDocument& operator=(WsXmlDocument&&) = default;
  virtual ~WsXmlDocument() = default;

  pugi::xml_node Root() const { return root_; }
  bool IsLoaded() const { return loaded_; }

  // Parses 8-bit bytes whose encoding is detected from their start (byte-order
  // mark, declaration, or UTF-8 by default). Replaces the current document.
  // Throws WsStatus 0x80004002 when the text cannot be parsed, 0x80004003 when
  // it has no document element (an empty buffer); the object is then empty.
  void LoadFromBuffer(const std::string& bytes);
  // Reads the whole file, then parses its bytes as LoadFromBuffer does. A file
  // that cannot be opened or read fails with 0x80004002.
  void LoadFromFile(const WsString& path);

  // Declares "xmlns:<prefix>" on the root unless the URI is empty.
  void AddNamespace(const WsString& prefix, const WsString& uri);

  // The whole document as text beginning with U+FEFF, with or without tab
  // indentation and the "<?xml version="1.0"?>" declaration. Empty when there
  // is no document or serialisation fails; never throws.
  WsString ToString(bool indent, bool declaration) const;

 private:
  void Reset();
  // LoadFromBuffer's work. With `own`, the bytes come from the parser's
  // allocator and are handed to it (released by it in every case), which
  // spares the parser a copy and lets it free them once converted.
  void Parse(const void* bytes, size_t size, bool own);

  bool loaded_ = false;
  std::shared_ptr<pugi::xml_document> document_;
  pugi::xml_node root_;
};
