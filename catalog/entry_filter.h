// Turning a catalog into the entries a session keeps: entries that need a
// newer engine are counted as discarded, the others get condition trees, the
// MSI conditions of all of them are resolved in one batch, and the entries
// whose conditions hold are stored by identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "catalog/content_catalog.h"
#include "catalog/ravenlink_entry.h"
#include "foundation/utf16.h"
#include "foundation/ws_string.h"

class IRulesEngine;
class WsRavenlinkSession;

// Applicable entries by Id, in ordinal order of UTF-16 code units.
using RavenlinkEntryMap = std::map<WsString, std::unique_ptr<WsRavenlinkEntry>, Utf16Less>;

// Adds the applicable entries of the catalog to `entries` (an entry replaces
// a stored one with the same Id, so the last applicable one in document order
// stays) and returns the number of discarded (unsupported) entries. All trees
// are built before any is evaluated: a load error stores nothing; an error
// while evaluating leaves the entries stored before it. Errors propagate as
// WsStatus, including those of the MSI batch. The supported entries are
// attached and evaluated in the catalog itself and the applicable ones moved
// out of it into `entries`: afterwards the catalog is only fit to be destroyed.
// A stored entry keeps its verdict and display names, and its tree is put back
// in its unevaluated state, as a copy with a tree of its own would have it.
uint32_t CreateEntries(WsRavenlinkSession* session, IRulesEngine& engine,
                       WsContentCatalog<WsRavenlinkEntry>& catalog, RavenlinkEntryMap& entries);

// The second half of CreateEntries, for entries that are already attached
// (each one with its tree): resolves the engine's pending MSI conditions, then
// evaluates the entries in order and moves each applicable one into `entries`,
// after `found` (if given) has been told its position in `attached`. The
// trees of the entries that do not apply are freed as they are found.
void StoreApplicable(IRulesEngine& engine, const std::vector<WsRavenlinkEntry*>& attached,
                     RavenlinkEntryMap& entries,
                     const std::function<void(size_t)>& found = nullptr);
// The same for entries owned one by one: an applicable entry moves into
// `entries` as it is (its slot left empty), one that does not apply is freed
// at once.
void StoreApplicable(IRulesEngine& engine, std::vector<std::unique_ptr<WsRavenlinkEntry>>& owned,
                     RavenlinkEntryMap& entries,
                     const std::function<void(size_t)>& found = nullptr);
