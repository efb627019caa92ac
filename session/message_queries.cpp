// The message, per-item and requirement queries over the stored entries.
#include <algorithm>

#include "rules/driver_template.h"
#include "session/ravenlink_session.h"

namespace {

// A null text output is skipped.
void PutText(VARIANT* out, const WsString& text) {
  if (out != nullptr) WsString::ToVariant(text.c_str(), out);
}

void PutNumber(int32_t* out, int32_t value) {
  if (out != nullptr) *out = value;
}

const RequiredItem& RequiredAt(const RequiredItems& items, uint32_t index) {
  if (index >= items.size()) throw WsStatus(kWsNotFound);
  return items[index];
}

// kind and value are written before the record's class is checked.
const MetaInstallerInfo& RequiredRecord(const RequiredItem& item, int32_t* kind, int32_t* value) {
  PutNumber(kind, item.requirement);
  PutNumber(value, static_cast<int32_t>(item.record->Status()));
  const auto* record = dynamic_cast<const MetaInstallerInfo*>(item.record);
  if (record == nullptr) throw WsStatus(kWsNotFound);
  return *record;
}

// Requirement records of products, distributions and suites: key, lower
// bound of the range and, when asked for, the language list.
void PutRequired(const RequiredItems& items, uint32_t index, VARIANT* key, VARIANT* version,
                 VARIANT* language, int32_t* kind, int32_t* value) {
  const MetaInstallerInfo& record = RequiredRecord(RequiredAt(items, index), kind, value);
  PutText(key, record.Key().ToString());
  PutText(version, record.LowerBound().ToString(false));
  PutText(language, record.Languages());
}

}  // namespace

void WsRavenlinkSession::Evaluate() {
  if (evaluated_) return;
  evaluated_ = true;
  applicable_.clear();
  productIndex_.clear();
  distributionIndex_.clear();
  suiteIndex_.clear();
  productMessageCache_.clear();
  for (auto& [id, stored] : entries_) {
    WsRavenlinkEntry* entry = stored.get();
    if (!entry->IsApplicable()) continue;
    applicable_.push_back(entry);
    // One list holds the leaves of every kind; each record is filed under its own.
    for (const InstallerInfo* record : entry->GetConditionTree().LeafRecords(kConditionProduct)) {
      switch (record->Type()) {
        case ItemType::Product:
          productIndex_[record->Key()].push_back(entry);
          break;
        case ItemType::Distribution:
          distributionIndex_[record->Key()].push_back(entry);
          break;
        case ItemType::Suite:
          suiteIndex_[record->Key()].push_back(entry);
          break;
        case ItemType::Package:
          break;
      }
    }
  }
}

WsRavenlinkEntry& WsRavenlinkSession::FindEntry(const WsString& messageId) const {
  const auto found = entries_.find(messageId);
  if (found == entries_.end()) throw WsStatus(kWsNotFound);
  return *found->second;
}

WsRavenlinkEntry& WsRavenlinkSession::ApplicableAt(uint32_t index) const {
  if (index >= applicable_.size()) throw WsStatus(kWsNotFound);
  return *applicable_[index];
}

void WsRavenlinkSession::GetMessageCount(int32_t* count) {
  Evaluate();
  PutNumber(count, static_cast<int32_t>(applicable_.size()));
}

void WsRavenlinkSession::GetMessageId(uint32_t index, VARIANT* id) {
  PutText(id, ApplicableAt(index).Id());
}

void WsRavenlinkSession::GetMessageInfo(uint32_t index, const WsString&, VARIANT* title,
                                        VARIANT* body, VARIANT* url) {
  const WsRavenlinkEntry& entry = ApplicableAt(index);
  PutText(title, entry.Title());
  PutText(body, entry.Body());
  PutText(url, entry.MoreInfoUrl());
}

void WsRavenlinkSession::GetMessageTitle(const WsString& messageId, VARIANT* title) {
  PutText(title, FindEntry(messageId).Title());
}

void WsRavenlinkSession::GetMessageBody(const WsString& messageId, VARIANT* body) {
  PutText(body, FindEntry(messageId).Body());
}

void WsRavenlinkSession::GetMessageUrl(const WsString& messageId, VARIANT* url) {
  PutText(url, FindEntry(messageId).MoreInfoUrl());
}

void WsRavenlinkSession::GetMessageSeverity(const WsString& messageId, int32_t* severity) {
  PutNumber(severity, FindEntry(messageId).Severity());
}

void WsRavenlinkSession::GetTargetApplication(const WsString& messageId,
                                              VARIANT* targetApplication) {
  PutText(targetApplication, FindEntry(messageId).TargetApplication());
}

// The entries filed under the key whose conditions accept the item at that
// version, each once, in index order. Product results are kept until the
// next evaluation.
const WsRavenlinkSession::EntryList& WsRavenlinkSession::ProductMessages(
    const WsString& upgradeCode, const WsString& version) {
  Evaluate();
  const Guid key(upgradeCode);
  const VersionNumber number(version);
  auto& byVersion = productMessageCache_[key];
  const auto cached = byVersion.find(number);
  if (cached != byVersion.end()) return cached->second;
  EntryList result = ItemMessages(ItemType::Product, upgradeCode, version);
  return byVersion.emplace(number, std::move(result)).first->second;
}

WsRavenlinkSession::EntryList WsRavenlinkSession::ItemMessages(ItemType type, const WsString& key,
                                                               const WsString& version) {
  Evaluate();
  const Guid item(key);
  const VersionNumber number(version);
  const EntryIndex& index = type == ItemType::Product        ? productIndex_
                            : type == ItemType::Distribution ? distributionIndex_
                                                             : suiteIndex_;
  EntryList result;
  const auto filed = index.find(item);
  if (filed == index.end()) return result;
  for (WsRavenlinkEntry* entry : filed->second) {
    const bool concerns = type == ItemType::Product ? entry->ConcernsProduct(item, number)
                          : type == ItemType::Distribution
                              ? entry->ConcernsDistribution(item, number)
                              : entry->ConcernsSuite(item, number);
    if (concerns && std::find(result.begin(), result.end(), entry) == result.end()) {
      result.push_back(entry);
    }
  }
  return result;
}

namespace {

void PutMessageId(const std::vector<WsRavenlinkEntry*>& messages, uint32_t index, VARIANT* id) {
  if (index >= messages.size()) throw WsStatus(kWsNotFound);
  PutText(id, messages[index]->Id());
}

}  // namespace

void WsRavenlinkSession::GetProductMessageCount(const WsString& upgradeCode,
                                                const WsString& version, int32_t* count) {
  PutNumber(count, static_cast<int32_t>(ProductMessages(upgradeCode, version).size()));
}

void WsRavenlinkSession::GetProductMessageId(const WsString& upgradeCode, const WsString& version,
                                             uint32_t index, VARIANT* id) {
  PutMessageId(ProductMessages(upgradeCode, version), index, id);
}

void WsRavenlinkSession::GetDistributionMessageCount(const WsString& guid, const WsString& version,
                                                     const WsString&, int32_t* count) {
  PutNumber(count,
            static_cast<int32_t>(ItemMessages(ItemType::Distribution, guid, version).size()));
}

void WsRavenlinkSession::GetDistributionMessageId(const WsString& guid, const WsString& version,
                                                  const WsString&, uint32_t index, VARIANT* id) {
  PutMessageId(ItemMessages(ItemType::Distribution, guid, version), index, id);
}

void WsRavenlinkSession::GetSuiteMessageCount(const WsString& guid, const WsString& version,
                                              const WsString&, int32_t* count) {
  PutNumber(count, static_cast<int32_t>(ItemMessages(ItemType::Suite, guid, version).size()));
}

void WsRavenlinkSession::GetSuiteMessageId(const WsString& guid, const WsString& version,
                                           const WsString&, uint32_t index, VARIANT* id) {
  PutMessageId(ItemMessages(ItemType::Suite, guid, version), index, id);
}

void WsRavenlinkSession::GetDisplayNameCount(const WsString& messageId, int32_t* count) {
  PutNumber(count, static_cast<int32_t>(FindEntry(messageId).DisplayNameCount()));
}

// An index beyond the records is not an error: empty texts and flags 0.
void WsRavenlinkSession::GetDisplayNameInfo(const WsString& messageId, uint32_t index,
                                            VARIANT* displayName, VARIANT* verMin, VARIANT* verMax,
                                            VARIANT* guid, int32_t* flags) {
  const WsRavenlinkEntry& entry = FindEntry(messageId);
  PutText(displayName, entry.DisplayNameText(index));
  PutText(verMin, entry.DisplayNameMinimum(index));
  PutText(verMax, entry.DisplayNameMaximum(index));
  PutText(guid, entry.DisplayNameGuid(index));
  PutNumber(flags, entry.DisplayNameFlags(index));
}

void WsRavenlinkSession::GetProductRequiredCount(const WsString& messageId, int32_t* count) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredProducts();
  PutNumber(count, static_cast<int32_t>(items.size()));
}

void WsRavenlinkSession::GetProductRequired(const WsString& messageId, uint32_t index,
                                            VARIANT* upgradeCode, VARIANT* version, int32_t* kind,
                                            int32_t* value) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredProducts();
  PutRequired(items, index, upgradeCode, version, nullptr, kind, value);
}

void WsRavenlinkSession::GetDistributionRequiredCount(const WsString& messageId, int32_t* count) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredDistributions();
  PutNumber(count, static_cast<int32_t>(items.size()));
}

void WsRavenlinkSession::GetDistributionRequired(const WsString& messageId, uint32_t index,
                                                 VARIANT* guid, VARIANT* version, VARIANT* language,
                                                 int32_t* kind, int32_t* value) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredDistributions();
  PutRequired(items, index, guid, version, language, kind, value);
}

void WsRavenlinkSession::GetSuiteRequiredCount(const WsString& messageId, int32_t* count) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredSuites();
  PutNumber(count, static_cast<int32_t>(items.size()));
}

void WsRavenlinkSession::GetSuiteRequired(const WsString& messageId, uint32_t index, VARIANT* guid,
                                          VARIANT* version, VARIANT* language, int32_t* kind,
                                          int32_t* value) {
  const auto& items = FindEntry(messageId).GetConditionTree().RequiredSuites();
  PutRequired(items, index, guid, version, language, kind, value);
}

void WsRavenlinkSession::GetKXDriverTemplateInfo(const WsString& messageId, int32_t* first,
                                                 int32_t* second, int32_t* third, VARIANT* text,
                                                 int32_t* found) {
  const ConditionTree& tree = FindEntry(messageId).GetConditionTree();
  DriverTemplateInfo info;
  AnalyzeDriverTemplate(tree, info);
  PutNumber(found, info.found ? 1 : 0);
  PutNumber(first, info.first ? 1 : 0);
  PutNumber(second, info.second ? 1 : 0);
  PutNumber(third, info.third ? 1 : 0);
  PutText(text, info.text);
}

void WsRavenlinkSession::GetDiscardedNotificationCount(int32_t* count) {
  PutNumber(count, static_cast<int32_t>(discardedCount_));
}
