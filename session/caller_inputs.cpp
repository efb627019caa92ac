// What the caller installs or could install, and the refreshes of the machine's data.
#include "foundation/trace_log.h"
#include "packet/content_query.h"
#include "session/ravenlink_session.h"

namespace {

const wchar_t* const kProductCriterion = L"upc";
const wchar_t* const kItemCriterion = L"guid";

template <class Set>
void Retire(Set& set, std::vector<std::unique_ptr<InstallerInfo>>& retired) {
  for (auto& [key, record] : set) retired.push_back(std::move(record));
  set.clear();
}

}  // namespace

// Only the key decides: a second version of a known key reaches the rules
// engine but narrows the query no further.
void WsRavenlinkSession::AddCriterion(const MetaItemSet& set, const Guid& key, const wchar_t* field,
                                      const WsString& keyText) {
  if (query_ && set.find(key) == set.end()) query_->AddMetadata(field, keyText, kCompareEqual);
}

void WsRavenlinkSession::SetInstallingProduct(const WsString& upgradeCode,
                                              const WsString& version) {
  const Guid key(upgradeCode);
  AddCriterion(rules_.InstallingProducts(), key, kProductCriterion, upgradeCode);
  rules_.AddInstallingProduct(key, VersionNumber(version));
}

void WsRavenlinkSession::SetInstallingDistribution(const WsString& guid, const WsString& version,
                                                   const WsString& language) {
  const Guid key(guid);
  AddCriterion(rules_.InstallingDistributions(), key, kItemCriterion, guid);
  rules_.AddInstallingDistribution(key, VersionNumber(version), language);
}

void WsRavenlinkSession::SetInstallingSuite(const WsString& guid, const WsString& version,
                                            const WsString& language) {
  const Guid key(guid);
  AddCriterion(rules_.InstallingSuites(), key, kItemCriterion, guid);
  rules_.AddInstallingSuite(key, VersionNumber(version), language);
}

void WsRavenlinkSession::SetAvailableProduct(const WsString& upgradeCode, const WsString& version) {
  const Guid key(upgradeCode);
  AddCriterion(rules_.AvailableProducts(), key, kProductCriterion, upgradeCode);
  rules_.AddAvailableProduct(key, VersionNumber(version));
}

void WsRavenlinkSession::SetAvailableDistribution(const WsString& guid, const WsString& version,
                                                  const WsString& language) {
  const Guid key(guid);
  AddCriterion(rules_.AvailableDistributions(), key, kItemCriterion, guid);
  rules_.AddAvailableDistribution(key, VersionNumber(version), language);
}

void WsRavenlinkSession::SetAvailableSuite(const WsString& guid, const WsString& version,
                                           const WsString& language) {
  const Guid key(guid);
  AddCriterion(rules_.AvailableSuites(), key, kItemCriterion, guid);
  rules_.AddAvailableSuite(key, VersionNumber(version), language);
}

// The stored entries keep their verdicts: the next evaluation lists the same
// messages until ResetConditions.
// The records leave the sets but stay alive: the requirement lists of the
// last evaluation may name them, and they are read until the next one.
void WsRavenlinkSession::ClearInstallingInfo() {
  Retire(rules_.InstallingProducts(), retiredRecords_);
  Retire(rules_.InstallingDistributions(), retiredRecords_);
  Retire(rules_.InstallingSuites(), retiredRecords_);
  Retire(rules_.InstallingPackages(), retiredRecords_);
  Retire(rules_.AvailableProducts(), retiredRecords_);
  Retire(rules_.AvailableDistributions(), retiredRecords_);
  Retire(rules_.AvailableSuites(), retiredRecords_);
  Retire(rules_.AvailablePackages(), retiredRecords_);
  rules_.ClearCallerItems();
  evaluated_ = false;
}

void WsRavenlinkSession::ResetConditions(uint32_t flags) {
  flags_ = flags;
  rules_.SetOptions(flags & AvailableCountsAsInstalling);
  evaluated_ = false;
  for (auto& [id, entry] : entries_) entry->ResetEvaluation();
}

void WsRavenlinkSession::CollectSystemInformation() {
  LogWrite(L"<WsRavenlinkSession::CollectSystemInformation>");
  rules_.CollectSystemInformation();
  LogWrite(L"</WsRavenlinkSession::CollectSystemInformation>");
}

void WsRavenlinkSession::SetMetaUtilsPath(const WsString& path) {
  rules_.MsiConditions().SetPath(path);
}
