// What the caller installs or could install, and the refreshes of the machine's data.
#include "foundation/trace_log.h"
#include "packet/content_query.h"
#include "session/ravenlink_session.h"

namespace {

const wchar_t* const kProductCriterion = L"upc";
const wchar_t* const kItemCriterion = L"guid";

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
void WsRavenlinkSession::ClearInstallingInfo() {
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
