// The entry queries of WsRavenlinkEntry: does the entry concern a given
// product, distribution or suite at a given version.
#include "catalog/installer_info.h"
#include "catalog/ravenlink_entry.h"

namespace {

ConditionKind KindOf(ItemType itemType) {
  switch (itemType) {
    case ItemType::Product:
      return kConditionProduct;
    case ItemType::Distribution:
      return kConditionDistribution;
    default:
      return kConditionSuite;
  }
}

}  // namespace

// The candidate has no language list, so a condition that names languages
// never concerns the item.
bool WsRavenlinkEntry::Concerns(ItemType itemType, const Guid& key,
                                const VersionNumber& version) const {
  ConditionTree& tree = GetConditionTree();
  const MetaInstallerInfo candidate(key, itemType, InstallStatus::Installing, version, true,
                                    version, true);
  for (const InstallerInfo* record : tree.LeafRecords(KindOf(itemType))) {
    if (record->Matches(candidate)) return true;
  }
  return false;
}

bool WsRavenlinkEntry::ConcernsProduct(const Guid& key, const VersionNumber& version) const {
  return Concerns(ItemType::Product, key, version);
}

bool WsRavenlinkEntry::ConcernsDistribution(const Guid& key, const VersionNumber& version) const {
  return Concerns(ItemType::Distribution, key, version);
}

bool WsRavenlinkEntry::ConcernsSuite(const Guid& key, const VersionNumber& version) const {
  return Concerns(ItemType::Suite, key, version);
}
