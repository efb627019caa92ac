#include "packet/xml_helpers.h"

#include "packet/xml_document.h"
#include "packet/xml_serializable.h"

pugi::xml_node AppendElement(pugi::xml_node parent, const WsString& name) {
  return parent.append_child(name.c_str());
}

pugi::xml_node AppendObject(pugi::xml_node parent, WsXmlDocument& document, const WsString& name,
                            const WsXmlSerializable& object) {
  pugi::xml_node element = AppendElement(parent, name);
  object.WriteXml(document, element);
  return element;
}

pugi::xml_node AppendCopy(pugi::xml_node parent, pugi::xml_node source) {
  if (!source) return pugi::xml_node();
  return parent.append_copy(source);
}

void SetText(pugi::xml_node element, const WsString& text) {
  element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void AddTextElement(pugi::xml_node parent, const WsString& name, const WsString& text, bool force) {
  if (text.empty() && !force) return;
  pugi::xml_node element = AppendElement(parent, name);
  if (!text.empty()) SetText(element, text);
}

void SetAttribute(pugi::xml_node element, const WsString& name, const WsString& value, bool force) {
  if (value.empty() && !force) return;
  pugi::xml_attribute attribute = element.attribute(name.c_str());
  if (!attribute) attribute = element.append_attribute(name.c_str());
  attribute.set_value(value.c_str());
}

pugi::xml_attribute FindAttribute(pugi::xml_node element, const wchar_t* name) {
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
    if (SameName(a.name(), name)) return a;
  }
  return pugi::xml_attribute();
}

WsString GetAttribute(pugi::xml_node element, const wchar_t* name) {
  return WsString(FindAttribute(element, name).value());
}

WsString GetAttribute(pugi::xml_node element, const WsString& name) {
  return GetAttribute(element, name.c_str());
}

bool HasAttribute(pugi::xml_node element, const wchar_t* name) {
  return !FindAttribute(element, name).empty();
}

bool HasAttribute(pugi::xml_node element, const WsString& name) {
  return HasAttribute(element, name.c_str());
}

pugi::xml_node GetChild(pugi::xml_node element, const wchar_t* name) {
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (SameName(child.name(), name)) return child;
  }
  return pugi::xml_node();
}

pugi::xml_node NextSiblingNamed(pugi::xml_node node, const wchar_t* name) {
  for (pugi::xml_node next = node.next_sibling(); next; next = next.next_sibling()) {
    if (SameName(next.name(), name)) return next;
  }
  return pugi::xml_node();
}

pugi::xml_node GetChild(pugi::xml_node element, const WsString& name) {
  return GetChild(element, name.c_str());
}

WsString GetText(pugi::xml_node element) {
  WsString text(element.child_value());
  // The parser turned every CR LF of the source into LF; give the caller
  // Windows line ends back.
  if (text.find(L'\n') != WsString::npos) text.ReplaceAll(L"\n", L"\r\n");
  return text;
}

WsString GetChildText(pugi::xml_node element, const wchar_t* name) {
  return GetText(GetChild(element, name));
}

WsString GetChildText(pugi::xml_node element, const WsString& name) {
  return GetText(GetChild(element, name.c_str()));
}

WsString GetName(pugi::xml_node element) {
  return WsString(element.name());
}

size_t GetChildElements(pugi::xml_node element, std::vector<pugi::xml_node>& out) {
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) out.push_back(child);
  }
  return out.size();
}

size_t GetChildrenNamed(pugi::xml_node element, const wchar_t* name,
                        std::vector<pugi::xml_node>& out) {
  for (pugi::xml_node child = GetChild(element, name); child;
       child = NextSiblingNamed(child, name)) {
    out.push_back(child);
  }
  return out.size();
}

size_t GetChildrenNamed(pugi::xml_node element, const WsString& name,
                        std::vector<pugi::xml_node>& out) {
  return GetChildrenNamed(element, name.c_str(), out);
}
