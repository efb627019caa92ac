// PartedCatalog: the entries of an answer read in parts, a few "notification"
// elements at a time. A run of neighbouring parts is parsed as one text, each
// part read into an entry and given its condition tree while the parsed text
// is at hand, and the parsed text dropped before the next run. The answer is
// thus never held as one parsed tree, and each part is walked while it is
// still in the cache. Messages are read only for the entries that apply, from
// their messages element parsed once more.
//
// The outcome is that of building a WsContentCatalog and then CreateEntries:
// the same entries, and the same error where one arises. Errors are kept, in
// the order the catalog would meet them, until the session asks for them:
// first whether every part parsed (if not, only a parse of the whole answer
// can tell what is wrong), then the first entry that cannot be read, then the
// first tree that cannot be built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "catalog/entry_filter.h"
#include "catalog/ravenlink_entry.h"
#include "foundation/ws_status.h"
#include "packet/packet.h"
#include "rules/rules_engine.h"

class WsRavenlinkSession;

class PartedCatalog {
 public:
  // Reads every part of the answer, whose skippable children (if any) must
  // be the notifications' "messages" elements. Trees are built with the session's
  // engine, whose pending MSI conditions grow as they would; they are put
  // back as they were unless the entries are stored (Store) or a tree fails
  // to build (the catalog leaves such a failure's registrations behind too).
  PartedCatalog(const WsPacket& answer, WsRavenlinkSession* session, IRulesEngine& engine,
                uint32_t language);
  ~PartedCatalog();
  PartedCatalog(const PartedCatalog&) = delete;
  PartedCatalog& operator=(const PartedCatalog&) = delete;

  // A part did not parse as one element: the answer must be parsed whole.
  bool Malformed() const { return malformed_; }
  // Raises the error of the first entry that could not be read.
  void ThrowReadError() const;
  // As CreateEntries: raises the first tree's error; otherwise stores the
  // applicable entries in `entries` and returns the discarded count.
  uint32_t Store(RavenlinkEntryMap& entries);

 private:
  // Parses the parts [first, last) as one text and reads them; false when
  // they do not parse as that many "notification" elements.
  bool ReadRun(size_t first, size_t last, pugi::xml_document& document, WsRavenlinkSession* session,
               uint32_t language);
  void ReadPart(pugi::xml_node notification, size_t part, WsRavenlinkSession* session,
                uint32_t language);
  // Drops the entries and puts the engine's pending MSI conditions back.
  void Abandon();

  const WsPacket answer_;  // shares the answer's bytes
  IRulesEngine& engine_;
  MsiConditionCache::TextSet pendingBefore_;
  bool keepPending_ = false;
  bool malformed_ = false;
  WsStatus readError_ = kWsOk;
  WsStatus treeError_ = kWsOk;
  uint32_t discarded_ = 0;
  std::vector<std::unique_ptr<WsRavenlinkEntry>> entries_;  // the supported ones, attached
  std::vector<size_t> parts_;                               // the part of each of them
  std::string run_;                                         // the text of the run being read
};
