// WsContentCatalog: the notification entries of one answer, one per
// "notification" element directly under the answer's body, in document order.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "packet/xml_serializable.h"

template <class Entry>
class WsContentCatalog : public WsXmlSerializable {
 public:
  // Reads every entry for the session's language; `extra` goes to every
  // entry's constructor after the language. The first entry that cannot be
  // read (its constructor raises a WsStatus) ends the construction: the status
  // propagates and no partial catalog remains.
  template <class... Extra>
  WsContentCatalog(pugi::xml_node body, uint32_t language, Extra... extra) {
    std::vector<pugi::xml_node> elements;
    GetChildrenNamed(body, L"notification", elements);
    entries_.reserve(elements.size());
    for (const pugi::xml_node& element : elements) {
      entries_.emplace_back(element, language, extra...);
    }
  }
  WsContentCatalog(const WsContentCatalog&) = delete;
  WsContentCatalog& operator=(const WsContentCatalog&) = delete;
  ~WsContentCatalog() override = default;

  // The catalog is only read.
  void WriteXml(WsXmlDocument&, pugi::xml_node) const override {}

  size_t Count() const { return entries_.size(); }
  // An index at or beyond the count raises kWsNotFound.
  const Entry& At(size_t index) const {
    if (index >= entries_.size()) throw WsStatus(kWsNotFound);
    return entries_[index];
  }
  Entry& At(size_t index) {
    if (index >= entries_.size()) throw WsStatus(kWsNotFound);
    return entries_[index];
  }

 private:
  std::vector<Entry> entries_;
};
