#include "rules/rules_engine.h"

#include <cstring>
#include <utility>

#include "foundation/trace_log.h"
#include "foundation/ws_status.h"
#include "rules/inventory_library.h"

namespace {

const WsString kDefaultMetaUtilsPath(L"qvMetaUtils.msm");

// Looks a function up by name in a module that is already loaded; null when
// the module or the function is not there. Copies the address bitwise so the
// same code serves whatever pointer type the platform's lookup returns.
template <typename Function>
Function LookUp(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  auto address = GetProcAddress(handle, name);
  Function function = nullptr;
  static_assert(sizeof(address) == sizeof(function));
  std::memcpy(&function, &address, sizeof(function));
  return function;
}

// Adds a record to its set unless a record with the same key there already
// matches it; returns the record that is in the set afterwards.
template <typename Record>
Record* AddItem(ItemSet<Record>& set, std::unique_ptr<Record> record) {
  const Guid key = record->Key();
  auto range = set.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second->Matches(*record)) return it->second.get();
  }
  // A multimap inserts after the records that share the key.
  return set.emplace(key, std::move(record))->second.get();
}

std::unique_ptr<MetaInstallerInfo> MakeMeta(const Guid& key, ItemType type, InstallStatus status,
                                            const VersionNumber& version) {
  return std::make_unique<MetaInstallerInfo>(key, type, status, version, true, version, true);
}

std::unique_ptr<MetaInstallerInfo> MakeMeta(const Guid& key, ItemType type, InstallStatus status,
                                            const VersionNumber& version,
                                            const WsString& language) {
  auto record = MakeMeta(key, type, status, version);
  record->SetLanguages(language);
  return record;
}

std::unique_ptr<PackageInfo> MakePackage(const Guid& key, InstallStatus status,
                                         const PackageVersion& version) {
  return std::make_unique<PackageInfo>(key, status, version, true, version, true);
}

}  // namespace

// ---- MsiConditionCache ----

MsiConditionCache::MsiConditionCache() : path_(kDefaultMetaUtilsPath) {}

void MsiConditionCache::SetPath(const WsString& path) {
  path_ = path;
}

void MsiConditionCache::Register(const WsString& text) {
  if (results_.find(text) == results_.end()) pending_.insert(text);
}

void MsiConditionCache::Run() {
  if (pending_.empty()) return;
  // Without the merge module the library cannot answer: the conditions stay
  // pending and read false.
  if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;

  if (InventoryLibrary::PathsOpen(path_) != 0) throw WsStatus(kWsMsiOpen);
  for (const WsString& text : pending_) {
    const int rc = InventoryLibrary::AddRequestedPaths(text);
    if (rc != 0) {
      WsString message(L"QVPaths_AddRequestedPathsFromCondition('{0}') returned error code ");
      message.ReplaceAll(L"{0}", text);
      WsString number;
      WsString::FromNumber(static_cast<int32_t>(rc), number, false);
      LogError(message + number);
    }
  }
  if (InventoryLibrary::PathsRun() != 0) throw WsStatus(kWsMsiRun);
  for (const WsString& text : pending_) {
    const int result = InventoryLibrary::EvaluateCondition(text);
    results_[text] = result;
    if (result == 3) {
      LogError(WsString(L"QVPaths_EvaluateCondition returned an error for condition: ") + text);
    }
  }
  pending_.clear();
  InventoryLibrary::PathsClose();
}

bool MsiConditionCache::Result(const WsString& text) {
  return results_.try_emplace(text, 0).first->second == 1;
}

// ---- RulesEngine ----

RulesEngine::RulesEngine(uint32_t options) : options_(options) {
  Initialize();
}

RulesEngine::~RulesEngine() = default;

void RulesEngine::Initialize() {
  OSVERSIONINFOEXW version;
  std::memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) throw WsStatus(kWsMissingData);
  osVersion_ = version;

  SYSTEM_INFO system;
  std::memset(&system, 0, sizeof(system));
  using NativeSystemInfo = void(WINAPI*)(LPSYSTEM_INFO);
  if (auto native = LookUp<NativeSystemInfo>(L"kernel32.dll", "GetNativeSystemInfo")) {
    native(&system);
  } else {
    GetSystemInfo(&system);
  }
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      bitness_ = 32;
      break;
    case PROCESSOR_ARCHITECTURE_AMD64:
      bitness_ = 64;
      break;
    default:
      bitness_ = -1;
      break;
  }

  const LANGID ui = GetSystemDefaultUILanguage();
  uiPrimaryLanguage_ = ui & 0x3FF;
  uiSubLanguage_ = ui >> 10;
  const LANGID user = GetUserDefaultLangID();
  userPrimaryLanguage_ = user & 0x3FF;
  userSubLanguage_ = user >> 10;
}

MetaInstallerInfo* RulesEngine::AddInstallingProduct(const Guid& upgradeCode,
                                                     const VersionNumber& version) {
  return AddItem(installingProducts_,
                 MakeMeta(upgradeCode, ItemType::Product, InstallStatus::Installing, version));
}

MetaInstallerInfo* RulesEngine::AddInstallingDistribution(const Guid& guid,
                                                          const VersionNumber& version,
                                                          const WsString& language) {
  return AddItem(installingDistributions_, MakeMeta(guid, ItemType::Distribution,
                                                    InstallStatus::Installing, version, language));
}

MetaInstallerInfo* RulesEngine::AddInstallingSuite(const Guid& guid, const VersionNumber& version,
                                                   const WsString& language) {
  return AddItem(installingSuites_,
                 MakeMeta(guid, ItemType::Suite, InstallStatus::Installing, version, language));
}

PackageInfo* RulesEngine::AddInstallingPackage(const Guid& id, const PackageVersion& version) {
  return AddItem(installingPackages_, MakePackage(id, InstallStatus::Installing, version));
}

MetaInstallerInfo* RulesEngine::AddAvailableProduct(const Guid& upgradeCode,
                                                    const VersionNumber& version) {
  return AddItem(availableProducts_,
                 MakeMeta(upgradeCode, ItemType::Product, InstallStatus::Available, version));
}

MetaInstallerInfo* RulesEngine::AddAvailableDistribution(const Guid& guid,
                                                         const VersionNumber& version,
                                                         const WsString& language) {
  return AddItem(availableDistributions_, MakeMeta(guid, ItemType::Distribution,
                                                   InstallStatus::Available, version, language));
}

MetaInstallerInfo* RulesEngine::AddAvailableSuite(const Guid& guid, const VersionNumber& version,
                                                  const WsString& language) {
  return AddItem(availableSuites_,
                 MakeMeta(guid, ItemType::Suite, InstallStatus::Available, version, language));
}

PackageInfo* RulesEngine::AddAvailablePackage(const Guid& id, const PackageVersion& version) {
  return AddItem(availablePackages_, MakePackage(id, InstallStatus::Available, version));
}

void RulesEngine::ClearCallerItems() {
  installingProducts_.clear();
  availableProducts_.clear();
  installingDistributions_.clear();
  availableDistributions_.clear();
  installingSuites_.clear();
  availableSuites_.clear();
  installingPackages_.clear();
  availablePackages_.clear();
}

MetaInstallerInfo* RulesEngine::AddInstalledProduct(const Guid& upgradeCode,
                                                    const VersionNumber& version) {
  return AddItem(installedProducts_,
                 MakeMeta(upgradeCode, ItemType::Product, InstallStatus::Installed, version));
}

MetaInstallerInfo* RulesEngine::AddInstalledDistribution(const Guid& guid,
                                                         const VersionNumber& version,
                                                         const WsString& language) {
  return AddItem(installedDistributions_, MakeMeta(guid, ItemType::Distribution,
                                                   InstallStatus::Installed, version, language));
}

PackageInfo* RulesEngine::AddInstalledPackage(const Guid& id, const PackageVersion& version) {
  return AddItem(installedPackages_, MakePackage(id, InstallStatus::Installed, version));
}

void RulesEngine::CollectSystemInformation() {
  installedProducts_.clear();
  installedDistributions_.clear();
  installedPackages_.clear();

  // Products and parts, keyed by product code, so that the parts of a product
  // the inventory also reports as a product complete that product's record
  // instead of adding records of their own.
  MetaItemSet byProductCode;

  InventoryLibrary::SysInfoOpen();

  const int products = InventoryLibrary::ProductCount();
  for (int i = 0; i < products; ++i) {
    const VersionNumber version(InventoryLibrary::ProductUpdateVersion(i));
    const Guid updateCode(InventoryLibrary::ProductUpdateCode(i));
    const Guid productCode(InventoryLibrary::ProductCode(i));
    byProductCode.emplace(
        productCode, MakeMeta(updateCode, ItemType::Product, InstallStatus::Installed, version));
  }

  const int parts = InventoryLibrary::PartCount();
  for (int j = 0; j < parts; ++j) {
    const Guid productCode(InventoryLibrary::PartProductCode(j));
    auto found = byProductCode.lower_bound(productCode);
    if (found == byProductCode.end() || found->first != productCode) {
      const VersionNumber version(InventoryLibrary::PartProductVersion(j));
      const Guid upgradeCode(InventoryLibrary::PartUpgradeCode(j));
      byProductCode.emplace(
          productCode, MakeMeta(upgradeCode, ItemType::Product, InstallStatus::Installed, version));
      continue;
    }
    MetaInstallerInfo& record = *found->second;
    Guid key = record.Key();
    VersionNumber version = record.LowerBound();
    bool changed = false;
    if (key.IsEmpty()) {
      key = Guid(InventoryLibrary::PartUpgradeCode(j));
      changed = true;
    }
    if (!version.IsValid()) {
      version = VersionNumber(InventoryLibrary::PartProductVersion(j));
      changed = true;
    }
    if (changed) {
      record = MetaInstallerInfo(key, ItemType::Product, InstallStatus::Installed, version, true,
                                 version, true);
    }
  }

  // The records move over; the map by product code is not used again.
  for (auto& [productCode, record] : byProductCode) {
    const Guid& key = record->Key();
    installedProducts_.emplace(key, std::move(record));
  }

  const int distributions = InventoryLibrary::DistributionCount();
  for (int k = 0; k < distributions; ++k) {
    const VersionNumber version(InventoryLibrary::DistributionVersion(k));
    const WsString language = InventoryLibrary::DistributionLanguages(k);
    const Guid guid(InventoryLibrary::DistributionGuid(k));
    installedDistributions_.emplace(
        guid, MakeMeta(guid, ItemType::Distribution, InstallStatus::Installed, version, language));
  }

  InventoryLibrary::SysInfoClose();
}
