// Node helpers: the reading and writing vocabulary of every XML text in the
// library. Missing nodes and attributes are not errors: readers return null
// handles and empty texts and the caller decides.
#pragma once

#include <cstddef>
#include <vector>

#include <pugixml.hpp>

#include "foundation/ws_string.h"

// Exact equality of two element or attribute names. Inline: names are short
// and mostly differ in their first character.
inline bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}

class WsXmlDocument;
class WsXmlSerializable;

// Appends a child element; null when the parent is neither an element nor a document.
pugi::xml_node AppendElement(pugi::xml_node parent, const WsString& name);
// Appends a child element and lets the object write itself into it.
pugi::xml_node AppendObject(pugi::xml_node parent, WsXmlDocument& document, const WsString& name,
                            const WsXmlSerializable& object);
// Appends a deep copy of source; null (and nothing appended) when source is null.
pugi::xml_node AppendCopy(pugi::xml_node parent, pugi::xml_node source);
// Appends a new text child, even for an empty text and even when the element
// already has one (a second call adds a second text child).
void SetText(pugi::xml_node element, const WsString& text);
// Appends <name>text</name>. An empty text writes nothing unless forced, and
// then writes an empty element.
void AddTextElement(pugi::xml_node parent, const WsString& name, const WsString& text,
                    bool force = false);
// Sets the attribute, appending it at the end of the list when it is new. An
// empty value writes nothing unless forced.
void SetAttribute(pugi::xml_node element, const WsString& name, const WsString& value,
                  bool force = false);
// Each lookup by name also takes the name as a plain wide literal, which
// spares building a string for every element and attribute read.
WsString GetAttribute(pugi::xml_node element, const WsString& name);
WsString GetAttribute(pugi::xml_node element, const wchar_t* name);
bool HasAttribute(pugi::xml_node element, const WsString& name);
bool HasAttribute(pugi::xml_node element, const wchar_t* name);
// The attribute of that name, or null.
pugi::xml_attribute FindAttribute(pugi::xml_node element, const wchar_t* name);
// First child element of that name, or null.
pugi::xml_node GetChild(pugi::xml_node element, const WsString& name);
pugi::xml_node GetChild(pugi::xml_node element, const wchar_t* name);
// The next sibling of that name, or null.
pugi::xml_node NextSiblingNamed(pugi::xml_node node, const wchar_t* name);
// The element's first text (or CDATA) with a value, with every line feed
// widened to carriage return + line feed; not trimmed.
WsString GetText(pugi::xml_node element);
WsString GetChildText(pugi::xml_node element, const WsString& name);
WsString GetChildText(pugi::xml_node element, const wchar_t* name);
// The element's name; empty for a null handle.
WsString GetName(pugi::xml_node element);
// Append the child elements (all, or those of one name) in document order;
// return the list's new length.
size_t GetChildElements(pugi::xml_node element, std::vector<pugi::xml_node>& out);
size_t GetChildrenNamed(pugi::xml_node element, const WsString& name,
                        std::vector<pugi::xml_node>& out);
size_t GetChildrenNamed(pugi::xml_node element, const wchar_t* name,
                        std::vector<pugi::xml_node>& out);
inline bool IsNode(pugi::xml_node node) {
  return !node.empty();
}
