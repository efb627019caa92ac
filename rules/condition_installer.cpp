#include "rules/condition_installer.h"

#include <iterator>
#include <memory>

#include "foundation/ws_status.h"
#include "packet/xml_helpers.h"
#include "rules/rules_engine.h"

namespace {

const wchar_t* const kStatusNames[] = {
    L"installing",
    L"installed",
    L"installedOrInstalling",
    L"notInstalling",
    L"notInstalled",
    L"notInstalledOrInstalling",
    L"available",
    L"installedOrAvailable",
};

template <class Stored>
const InstallerInfo* RecordOf(const std::unique_ptr<Stored>& stored) {
  return stored.get();
}
template <class Stored>
const InstallerInfo* RecordOf(const Stored* stored) {
  return stored;
}
template <class Stored>
const InstallerInfo* RecordOf(const Stored& stored) {
  return &stored;
}

// Walks the records stored under the node's key in insertion order.
template <class Set>
const InstallerInfo* MatchIn(const Set& set, const InstallerInfo& self, InstallerRecords* found) {
  const InstallerInfo* first = nullptr;
  auto [begin, end] = set.equal_range(self.Key());
  for (auto it = begin; it != end; ++it) {
    const InstallerInfo* candidate = RecordOf(it->second);
    if (!self.Matches(*candidate)) continue;
    if (first == nullptr) first = candidate;
    if (found == nullptr) break;
    found->push_back(candidate);
  }
  return first;
}

}  // namespace

bool ParseInstallStatus(const WsString& text, InstallStatus& status) {
  return ParseInstallStatus(text.c_str(), status);
}

bool ParseInstallStatus(const wchar_t* text, InstallStatus& status) {
  for (int32_t value = 0; value < static_cast<int32_t>(std::size(kStatusNames)); ++value) {
    if (WsString::SameNoCase(text, kStatusNames[value])) {
      status = static_cast<InstallStatus>(value);
      return true;
    }
  }
  return false;
}

void BaseInstallerCondition::Load(pugi::xml_node element) {
  // The texts are read in place, without copies.
  const wchar_t* verMin = FindAttribute(element, L"verMin").value();
  const wchar_t* verMax = FindAttribute(element, L"verMax").value();
  InstallStatus status = InstallStatus::Installing;
  if (!ParseInstallStatus(FindAttribute(element, L"status").value(), status)) {
    throw WsStatus(kWsXmlUnreadable);
  }
  const wchar_t* id = FindAttribute(element, IdAttributeName()).value();
  if (*id == 0 || *verMin == 0 || *verMax == 0) throw WsStatus(kWsXmlUnreadable);
  WsString lang;
  if (HasLanguages()) {
    // Versions are checked before the language list: BuildRecord of the
    // VersionNumber kinds raises for a bad version first.
    lang = GetAttribute(element, L"lang");
    BuildRecord(Guid(id), status, verMin, verMax, lang);
    if (!HasAttribute(element, L"lang")) throw WsStatus(kWsXmlUnreadable);
    return;
  }
  BuildRecord(Guid(id), status, verMin, verMax, lang);
}

void MetaInstallerCondition::BuildRecord(const Guid& key, InstallStatus status,
                                         const wchar_t* verMin, const wchar_t* verMax,
                                         const WsString& lang) {
  const VersionNumber lower(verMin);
  const VersionNumber upper(verMax);
  if (!lower.IsValid() || !upper.IsValid()) throw WsStatus(kWsXmlBadValue);
  const ItemType type = Kind() == kConditionProduct        ? ItemType::Product
                        : Kind() == kConditionDistribution ? ItemType::Distribution
                                                           : ItemType::Suite;
  record_.emplace(key, type, status, lower, true, upper, true);
  record_->SetLanguages(lang);
}

void PackageCondition::BuildRecord(const Guid& key, InstallStatus status, const wchar_t* verMin,
                                   const wchar_t* verMax, const WsString&) {
  record_.emplace(key, status, PackageVersion(verMin), true, PackageVersion(verMax), true);
}

const InstallerInfo* ProductCondition::Search(SetRole role, InstallerRecords* found) const {
  IRulesEngine& engine = Engine();
  switch (role) {
    case SetRole::kInstalled:
      return MatchIn(engine.InstalledProducts(), Info(), found);
    case SetRole::kInstalling:
      return MatchIn(engine.InstallingProducts(), Info(), found);
    case SetRole::kAvailable:
      return MatchIn(engine.AvailableProducts(), Info(), found);
  }
  return nullptr;
}

const InstallerInfo* DistributionCondition::Search(SetRole role, InstallerRecords* found) const {
  IRulesEngine& engine = Engine();
  switch (role) {
    case SetRole::kInstalled:
      return MatchIn(engine.InstalledDistributions(), Info(), found);
    case SetRole::kInstalling:
      return MatchIn(engine.InstallingDistributions(), Info(), found);
    case SetRole::kAvailable:
      return MatchIn(engine.AvailableDistributions(), Info(), found);
  }
  return nullptr;
}

const InstallerInfo* SuiteCondition::Search(SetRole role, InstallerRecords* found) const {
  IRulesEngine& engine = Engine();
  switch (role) {
    case SetRole::kInstalled:
      return nullptr;  // there is no installed-suite set
    case SetRole::kInstalling:
      return MatchIn(engine.InstallingSuites(), Info(), found);
    case SetRole::kAvailable:
      return MatchIn(engine.AvailableSuites(), Info(), found);
  }
  return nullptr;
}

const InstallerInfo* PackageCondition::Search(SetRole role, InstallerRecords* found) const {
  IRulesEngine& engine = Engine();
  switch (role) {
    case SetRole::kInstalled:
      return MatchIn(engine.InstalledPackages(), Info(), found);
    case SetRole::kInstalling:
      return MatchIn(engine.InstallingPackages(), Info(), found);
    case SetRole::kAvailable:
      return MatchIn(engine.AvailablePackages(), Info(), found);
  }
  return nullptr;
}

bool BaseInstallerCondition::FindInstalling(InstallerRecords& found) const {
  const size_t before = found.size();
  Search(SetRole::kInstalling, &found);
  return found.size() > before;
}

bool BaseInstallerCondition::IsInstalling() const {
  return Search(SetRole::kInstalling, nullptr) != nullptr;
}

const InstallerInfo* BaseInstallerCondition::FindInstalled() const {
  return Search(SetRole::kInstalled, nullptr);
}

bool BaseInstallerCondition::FindAvailable(InstallerRecords& found) const {
  const size_t before = found.size();
  Search(SetRole::kAvailable, &found);
  return found.size() > before;
}

bool BaseInstallerCondition::IsAvailable() const {
  return Search(SetRole::kAvailable, nullptr) != nullptr;
}

void BaseInstallerCondition::AddRequired(const InstallerInfo* record) {
  Owner()->AddRequiredItem(Kind(), record, kRequirementRequired);
}

void BaseInstallerCondition::AddExcluded(const InstallerInfo* record) {
  Owner()->AddRequiredItem(Kind(), record, kRequirementExcluded);
}

// Installing, or (when inverted) not installing. Installing items are
// required; available items are required too but count as installing only
// with the engine's option bit 8. The inverted form excludes the available items.
bool BaseInstallerCondition::Installing(bool inverted) {
  InstallerRecords found;
  if (!inverted) {
    if (FindInstalling(found)) {
      for (const InstallerInfo* record : found) AddRequired(record);
      return true;
    }
    if (FindAvailable(found)) {
      for (const InstallerInfo* record : found) AddRequired(record);
      return (Engine().GetOptions() & AvailableCountsAsInstalling) != 0;
    }
    return false;
  }
  if (IsInstalling()) return false;
  FindAvailable(found);
  for (const InstallerInfo* record : found) AddExcluded(record);
  return true;
}

// As Installing, but an installed item satisfies the plain form (recording
// nothing) and defeats the inverted one.
bool BaseInstallerCondition::InstalledOrInstalling(bool inverted) {
  if (!inverted) {
    if (FindInstalled() != nullptr) return true;
    return Installing(false);
  }
  if (FindInstalled() != nullptr || IsInstalling()) return false;
  return Installing(true);
}

bool BaseInstallerCondition::Evaluate() {
  const bool negated = IsNegated();
  switch (Info().Status()) {
    case InstallStatus::Installed:
      return ApplyNegation(FindInstalled() != nullptr);
    case InstallStatus::NotInstalled:
      return ApplyNegation(FindInstalled() == nullptr);
    case InstallStatus::Available:
      return ApplyNegation(IsInstalling() || IsAvailable());
    case InstallStatus::InstalledOrAvailable:
      return ApplyNegation(FindInstalled() != nullptr || IsInstalling() || IsAvailable());
    case InstallStatus::Installing:
      return Installing(negated);
    case InstallStatus::NotInstalling:
      return Installing(!negated);
    case InstallStatus::InstalledOrInstalling:
      return InstalledOrInstalling(negated);
    case InstallStatus::NotInstalledOrInstalling:
      return InstalledOrInstalling(!negated);
  }
  return false;
}
