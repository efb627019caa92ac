#include "catalog/entry_filter.h"

#include <vector>

#include "rules/rules_engine.h"

uint32_t CreateEntries(WsRavenlinkSession* session, IRulesEngine& engine,
                       WsContentCatalog<WsRavenlinkEntry>& catalog, RavenlinkEntryMap& entries) {
  uint32_t discarded = 0;
  std::vector<WsRavenlinkEntry*> working;
  working.reserve(catalog.Count());
  for (size_t i = 0; i < catalog.Count(); ++i) {
    WsRavenlinkEntry& entry = catalog.At(i);
    if (entry.IsUnsupported()) {
      ++discarded;
      continue;
    }
    entry.AttachToSession(session, engine);
    working.push_back(&entry);
  }
  engine.MsiConditions().Run();
  for (WsRavenlinkEntry* entry : working) {
    if (!entry->IsApplicable()) continue;
    auto stored = std::make_unique<WsRavenlinkEntry>(std::move(*entry));
    stored->ForgetTreeEvaluation();
    const WsString& id = stored->Id();
    entries.insert_or_assign(id, std::move(stored));
  }
  return discarded;
}
