#include "document_metadata.h"

#include <algorithm>
#include <cwctype>

namespace ravenlink_service {
namespace {

std::wstring Trimmed(const wchar_t* text) {
  std::wstring value(text);
  const auto blank = [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; };
  value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), blank));
  value.erase(std::find_if_not(value.rbegin(), value.rend(), blank).base(), value.end());
  return value;
}

void Add(DocumentMetadata& metadata, const std::wstring& field, const wchar_t* text) {
  std::wstring value = Trimmed(text);
  if (value.empty()) return;
  std::vector<std::wstring>& values = metadata[field];
  if (std::find(values.begin(), values.end(), value) == values.end()) {
    values.push_back(std::move(value));
  }
}

void AddConditionKeys(DocumentMetadata& metadata, pugi::xml_node node) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::wstring name = child.name();
    if (name == L"product") {
      Add(metadata, L"upc", child.attribute(L"upc").value());
    } else if (name == L"distribution" || name == L"suite") {
      Add(metadata, L"guid", child.attribute(L"guid").value());
    } else if (name == L"package") {
      Add(metadata, L"package", child.attribute(L"id").value());
    }
    AddConditionKeys(metadata, child);
  }
}

}  // namespace

DocumentMetadata ReadDocumentMetadata(pugi::xml_node notification) {
  DocumentMetadata metadata;
  Add(metadata, L"contentType", L"NOTIFICATION");
  Add(metadata, L"id", notification.child_value(L"ID"));
  Add(metadata, L"targetApplication", notification.child_value(L"targetApplication"));
  Add(metadata, L"severity", notification.child_value(L"severity"));
  Add(metadata, L"messageFamily", notification.child_value(L"messageFamily"));
  Add(metadata, L"status", notification.child(L"status").attribute(L"code").value());
  Add(metadata, L"minEngineVersion", notification.attribute(L"minEngineVersion").value());
  AddConditionKeys(metadata, notification.child(L"conditions"));
  for (pugi::xml_node message : notification.child(L"messages").children(L"message")) {
    Add(metadata, L"lang", message.attribute(L"lang").value());
  }

  DocumentMetadata declared;
  for (pugi::xml_node field : notification.child(L"metadata").children(L"field")) {
    const std::wstring name = Trimmed(field.attribute(L"name").value());
    if (!name.empty()) Add(declared, name, field.child_value());
  }
  for (auto& [name, values] : declared) metadata[name] = std::move(values);
  return metadata;
}

}  // namespace ravenlink_service
