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

namespace {

// The evaluation both StoreApplicable overloads share: `at(i)` is the i-th
// entry, `keep(i)` hands over an owned entry to store once it applies,
// `drop(i)` frees what one that does not apply holds, while it is still in
// the cache.
template <class At, class Keep, class Drop>
void StoreEach(IRulesEngine& engine, size_t count, At at, Keep keep, Drop drop,
               RavenlinkEntryMap& entries, const std::function<void(size_t)>& found) {
  engine.MsiConditions().Run();
  for (size_t i = 0; i < count; ++i) {
    if (!at(i).IsApplicable()) {
      drop(i);
      continue;
    }
    if (found) found(i);
    std::unique_ptr<WsRavenlinkEntry> stored = keep(i);
    stored->ForgetTreeEvaluation();
    const WsString& id = stored->Id();
    entries.insert_or_assign(id, std::move(stored));
  }
}

}  // namespace

void StoreApplicable(IRulesEngine& engine, const std::vector<WsRavenlinkEntry*>& attached,
                     RavenlinkEntryMap& entries, const std::function<void(size_t)>& found) {
  StoreEach(
      engine, attached.size(), [&](size_t i) -> WsRavenlinkEntry& { return *attached[i]; },
      [&](size_t i) { return std::make_unique<WsRavenlinkEntry>(std::move(*attached[i])); },
      [&](size_t i) { attached[i]->ReleaseTree(); }, entries, found);
}

void StoreApplicable(IRulesEngine& engine, std::vector<std::unique_ptr<WsRavenlinkEntry>>& owned,
                     RavenlinkEntryMap& entries, const std::function<void(size_t)>& found) {
  StoreEach(
      engine, owned.size(), [&](size_t i) -> WsRavenlinkEntry& { return *owned[i]; },
      [&](size_t i) { return std::move(owned[i]); }, [&](size_t i) { owned[i].reset(); }, entries,
      found);
}
