#include "catalog/entry_filter.h"

#include <vector>

#include "rules/rules_engine.h"

uint32_t CreateEntries(WsRavenlinkSession* session, IRulesEngine& engine,
                       const WsContentCatalog<WsRavenlinkEntry>& catalog,
                       RavenlinkEntryMap& entries) {
  uint32_t discarded = 0;
  std::vector<WsRavenlinkEntry> working;
  // Reserved so that attached entries are never copied (and their trees rebuilt) on growth.
  working.reserve(catalog.Count());
  for (size_t i = 0; i < catalog.Count(); ++i) {
    const WsRavenlinkEntry& entry = catalog.At(i);
    if (entry.IsUnsupported()) {
      ++discarded;
      continue;
    }
    working.push_back(entry);
    working.back().AttachToSession(session, engine);
  }
  engine.MsiConditions().Run();
  for (WsRavenlinkEntry& entry : working) {
    if (entry.IsApplicable()) entries[entry.Id()] = std::make_unique<WsRavenlinkEntry>(entry);
  }
  return discarded;
}
