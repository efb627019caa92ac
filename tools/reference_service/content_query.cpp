#include "content_query.h"

#include <pugixml.hpp>

namespace ravenlink_service {
namespace {

struct CompareName {
  CompareType type;
  const wchar_t* text;
};
constexpr CompareName kCompareNames[] = {
    {CompareType::kNotEqual, L"NotEqual"},
    {CompareType::kContains, L"Contains"},
    {CompareType::kGreaterThan, L"GreaterThan"},
    {CompareType::kGreaterThanEqual, L"GreaterThanEqual"},
    {CompareType::kLessThan, L"LessThan"},
    {CompareType::kLessThanEqual, L"LessThanEqual"},
};

[[noreturn]] void Malformed(const std::string& message) {
  throw RequestError{kStatusMalformedRequest, message};
}

ClientPart ReadClientPart(pugi::xml_node client, const wchar_t* name) {
  const pugi::xml_node part = client.child(name);
  return ClientPart{part.child_value(), part.attribute(L"version").value()};
}

QueryGroup ReadGroup(pugi::xml_node element, int depth) {
  if (depth > kMaxQueryDepth) Malformed("query nested too deeply");
  QueryGroup group;
  const std::wstring type = element.attribute(L"type").value();
  if (type == L"Or") {
    group.isOr = true;
  } else if (type != L"And") {
    Malformed("query type '" + pugi::as_utf8(type) + "' is neither And nor Or");
  }
  for (pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::wstring name = child.name();
    if (name == L"metadata") {
      Comparison comparison;
      comparison.field = child.attribute(L"field").value();
      if (comparison.field.empty()) Malformed("metadata without a field");
      comparison.value = child.child_value();
      const std::wstring compare = child.attribute(L"compareType").value();
      if (!CompareTypeFromText(compare, comparison.compare)) {
        Malformed("unknown compareType '" + pugi::as_utf8(compare) + "'");
      }
      group.comparisons.push_back(std::move(comparison));
    } else if (name == L"query") {
      group.groups.push_back(ReadGroup(child, depth + 1));
    } else {
      Malformed("unexpected element '" + pugi::as_utf8(name) + "' in a query");
    }
  }
  return group;
}

}  // namespace

bool CompareTypeFromText(const std::wstring& text, CompareType& out) {
  if (text.empty()) {
    out = CompareType::kEqual;
    return true;
  }
  for (const CompareName& name : kCompareNames) {
    if (text == name.text) {
      out = name.type;
      return true;
    }
  }
  return false;
}

RequestPacket ParseRequestPacket(const std::string& bytes) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) Malformed(std::string("request is not XML: ") + parsed.description());
  const pugi::xml_node root = document.document_element();
  if (std::wstring(root.name()) != L"packet") Malformed("request root is not 'packet'");

  RequestPacket packet;
  const pugi::xml_node header = root.child(L"header");
  packet.locale = header.child_value(L"locale");
  if (const pugi::xml_node client = header.child(L"client")) {
    packet.client.present = true;
    packet.client.swapp = ReadClientPart(client, L"swapp");
    packet.client.corelib = ReadClientPart(client, L"corelib");
    packet.client.wrapperlib = ReadClientPart(client, L"wrapperlib");
  }
  const pugi::xml_node query = root.child(L"body").child(L"contentQuery").child(L"query");
  if (!query) Malformed("request has no body/contentQuery/query");
  packet.query = ReadGroup(query, 1);
  return packet;
}

}  // namespace ravenlink_service
