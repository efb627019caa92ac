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
  StoreApplicable(engine, working, entries);
  return discarded;
}

void StoreApplicable(IRulesEngine& engine, const std::vector<WsRavenlinkEntry*>& attached,
                     RavenlinkEntryMap& entries, const std::function<void(size_t)>& found) {
  engine.MsiConditions().Run();
  for (size_t i = 0; i < attached.size(); ++i) {
    WsRavenlinkEntry* entry = attached[i];
    if (!entry->IsApplicable()) {
      entry->ReleaseTree();  // while it is still in the cache
      continue;
    }
    if (found) found(i);
    auto stored = std::make_unique<WsRavenlinkEntry>(std::move(*entry));
    stored->ForgetTreeEvaluation();
    const WsString& id = stored->Id();
    entries.insert_or_assign(id, std::move(stored));
  }
}
