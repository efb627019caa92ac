// The rules engine: everything a notification's conditions are decided
// against. It holds what is installed (read from the inventory library), what
// the caller is installing or could install, the operating system's version,
// edition, bitness and languages (captured once at construction) and the
// results of MSI conditions, resolved in one batch through the inventory
// library.
//
// Condition nodes register their MSI condition texts with MsiConditions() and
// read the answers with MsiConditionCache::Result; no other type from the
// condition tree is needed here.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "catalog/installer_info.h"
#include "compat/win32.h"
#include "foundation/guid.h"
#include "foundation/utf16.h"
#include "foundation/version_number.h"
#include "foundation/ws_string.h"

// The only option bit the rules read: available items count as installing.
inline constexpr uint32_t AvailableCountsAsInstalling = 8;

// An item set: records keyed by their own Guid, several records per key in
// insertion order (std::multimap inserts an equal key after the last one).
template <typename Record>
using ItemSet = std::multimap<Guid, std::unique_ptr<Record>>;
using MetaItemSet = ItemSet<MetaInstallerInfo>;
using PackageItemSet = ItemSet<PackageInfo>;

// MSI condition texts waiting for the next batch, and the results of earlier
// batches. Texts are ordered by UTF-16 code unit, case-sensitive.
class MsiConditionCache {
 public:
  using TextSet = std::set<WsString, Utf16Less>;
  using ResultMap = std::map<WsString, int32_t, Utf16Less>;

  MsiConditionCache();

  // The merge module the inventory library opens ("qvMetaUtils.msm" until set).
  void SetPath(const WsString& path);
  const WsString& Path() const { return path_; }

  // Queues the text unless it already has a result.
  void Register(const WsString& text);

  // Resolves every pending text with one library call each. Does nothing when
  // nothing is pending or the module file does not exist. Throws WsStatus
  // 0x8000B001 when the library cannot open the module and 0x8000B004 when it
  // cannot resolve; a failure of one text is only logged.
  void Run();

  // True when the library answered 1 for the text. An unknown text is stored
  // with 0, so an unresolved condition reads false.
  bool Result(const WsString& text);

  const TextSet& Pending() const { return pending_; }
  // Puts the pending texts back as they were (taken with Pending before).
  void RestorePending(TextSet pending) { pending_ = std::move(pending); }
  const ResultMap& Results() const { return results_; }

 private:
  WsString path_;
  TextSet pending_;
  ResultMap results_;
};

class IRulesEngine {
 public:
  virtual ~IRulesEngine() = default;

  virtual uint32_t GetOptions() const = 0;
  virtual void SetOptions(uint32_t options) = 0;

  // Each adder returns the record now in the set: an existing record that
  // matches the new one, or the new record appended after its key's records.
  virtual MetaInstallerInfo* AddInstallingProduct(const Guid& upgradeCode,
                                                  const VersionNumber& version) = 0;
  virtual MetaInstallerInfo* AddInstallingDistribution(const Guid& guid,
                                                       const VersionNumber& version,
                                                       const WsString& language) = 0;
  virtual MetaInstallerInfo* AddInstallingSuite(const Guid& guid, const VersionNumber& version,
                                                const WsString& language) = 0;
  virtual PackageInfo* AddInstallingPackage(const Guid& id, const PackageVersion& version) = 0;
  virtual MetaInstallerInfo* AddAvailableProduct(const Guid& upgradeCode,
                                                 const VersionNumber& version) = 0;
  virtual MetaInstallerInfo* AddAvailableDistribution(const Guid& guid,
                                                      const VersionNumber& version,
                                                      const WsString& language) = 0;
  virtual MetaInstallerInfo* AddAvailableSuite(const Guid& guid, const VersionNumber& version,
                                               const WsString& language) = 0;
  virtual PackageInfo* AddAvailablePackage(const Guid& id, const PackageVersion& version) = 0;
  // Empties the eight installing and available sets.
  virtual void ClearCallerItems() = 0;

  virtual const OSVERSIONINFOEXW& GetOsVersionInfo() const = 0;
  virtual void SetOsVersionInfo(const OSVERSIONINFOEXW& info) = 0;
  // 32, 64, or -1 when the processor architecture is neither x86 nor x64.
  virtual int GetBitness() const = 0;
  virtual void SetBitness(int bitness) = 0;
  virtual int GetUiPrimaryLanguage() const = 0;
  virtual void SetUiPrimaryLanguage(int language) = 0;
  virtual int GetUiSubLanguage() const = 0;
  virtual void SetUiSubLanguage(int language) = 0;
  virtual int GetUserPrimaryLanguage() const = 0;
  virtual void SetUserPrimaryLanguage(int language) = 0;
  virtual int GetUserSubLanguage() const = 0;
  virtual void SetUserSubLanguage(int language) = 0;

  virtual MetaItemSet& InstalledProducts() = 0;
  virtual MetaItemSet& InstallingProducts() = 0;
  virtual MetaItemSet& AvailableProducts() = 0;
  virtual MetaItemSet& InstalledDistributions() = 0;
  virtual MetaItemSet& InstallingDistributions() = 0;
  virtual MetaItemSet& AvailableDistributions() = 0;
  virtual MetaItemSet& InstallingSuites() = 0;
  virtual MetaItemSet& AvailableSuites() = 0;
  virtual PackageItemSet& InstalledPackages() = 0;
  virtual PackageItemSet& InstallingPackages() = 0;
  virtual PackageItemSet& AvailablePackages() = 0;

  virtual MsiConditionCache& MsiConditions() = 0;

  virtual MetaInstallerInfo* AddInstalledProduct(const Guid& upgradeCode,
                                                 const VersionNumber& version) = 0;
  virtual MetaInstallerInfo* AddInstalledDistribution(const Guid& guid,
                                                      const VersionNumber& version,
                                                      const WsString& language) = 0;
  virtual PackageInfo* AddInstalledPackage(const Guid& id, const PackageVersion& version) = 0;

  // Rebuilds the installed sets from the inventory library.
  virtual void CollectSystemInformation() = 0;
  // Captures the operating-system data; the constructor calls it.
  virtual void Initialize() = 0;
};

class RulesEngine : public IRulesEngine {
 public:
  // Throws WsStatus 0x80001008 when the operating-system version is unavailable.
  explicit RulesEngine(uint32_t options);
  RulesEngine(const RulesEngine&) = delete;
  RulesEngine& operator=(const RulesEngine&) = delete;
  ~RulesEngine() override;

  uint32_t GetOptions() const override { return options_; }
  void SetOptions(uint32_t options) override { options_ = options; }

  MetaInstallerInfo* AddInstallingProduct(const Guid& upgradeCode,
                                          const VersionNumber& version) override;
  MetaInstallerInfo* AddInstallingDistribution(const Guid& guid, const VersionNumber& version,
                                               const WsString& language) override;
  MetaInstallerInfo* AddInstallingSuite(const Guid& guid, const VersionNumber& version,
                                        const WsString& language) override;
  PackageInfo* AddInstallingPackage(const Guid& id, const PackageVersion& version) override;
  MetaInstallerInfo* AddAvailableProduct(const Guid& upgradeCode,
                                         const VersionNumber& version) override;
  MetaInstallerInfo* AddAvailableDistribution(const Guid& guid, const VersionNumber& version,
                                              const WsString& language) override;
  MetaInstallerInfo* AddAvailableSuite(const Guid& guid, const VersionNumber& version,
                                       const WsString& language) override;
  PackageInfo* AddAvailablePackage(const Guid& id, const PackageVersion& version) override;
  void ClearCallerItems() override;

  const OSVERSIONINFOEXW& GetOsVersionInfo() const override { return osVersion_; }
  void SetOsVersionInfo(const OSVERSIONINFOEXW& info) override { osVersion_ = info; }
  int GetBitness() const override { return bitness_; }
  void SetBitness(int bitness) override { bitness_ = bitness; }
  int GetUiPrimaryLanguage() const override { return uiPrimaryLanguage_; }
  void SetUiPrimaryLanguage(int language) override { uiPrimaryLanguage_ = language; }
  int GetUiSubLanguage() const override { return uiSubLanguage_; }
  void SetUiSubLanguage(int language) override { uiSubLanguage_ = language; }
  int GetUserPrimaryLanguage() const override { return userPrimaryLanguage_; }
  void SetUserPrimaryLanguage(int language) override { userPrimaryLanguage_ = language; }
  int GetUserSubLanguage() const override { return userSubLanguage_; }
  void SetUserSubLanguage(int language) override { userSubLanguage_ = language; }

  MetaItemSet& InstalledProducts() override { return installedProducts_; }
  MetaItemSet& InstallingProducts() override { return installingProducts_; }
  MetaItemSet& AvailableProducts() override { return availableProducts_; }
  MetaItemSet& InstalledDistributions() override { return installedDistributions_; }
  MetaItemSet& InstallingDistributions() override { return installingDistributions_; }
  MetaItemSet& AvailableDistributions() override { return availableDistributions_; }
  MetaItemSet& InstallingSuites() override { return installingSuites_; }
  MetaItemSet& AvailableSuites() override { return availableSuites_; }
  PackageItemSet& InstalledPackages() override { return installedPackages_; }
  PackageItemSet& InstallingPackages() override { return installingPackages_; }
  PackageItemSet& AvailablePackages() override { return availablePackages_; }

  MsiConditionCache& MsiConditions() override { return msiConditions_; }

  MetaInstallerInfo* AddInstalledProduct(const Guid& upgradeCode,
                                         const VersionNumber& version) override;
  MetaInstallerInfo* AddInstalledDistribution(const Guid& guid, const VersionNumber& version,
                                              const WsString& language) override;
  PackageInfo* AddInstalledPackage(const Guid& id, const PackageVersion& version) override;

  void CollectSystemInformation() override;
  void Initialize() override;

 private:
  uint32_t options_;
  MetaItemSet installedProducts_;
  MetaItemSet installingProducts_;
  MetaItemSet availableProducts_;
  MetaItemSet installedDistributions_;
  MetaItemSet installingDistributions_;
  MetaItemSet availableDistributions_;
  MetaItemSet installingSuites_;
  MetaItemSet availableSuites_;
  PackageItemSet installedPackages_;
  PackageItemSet installingPackages_;
  PackageItemSet availablePackages_;
  OSVERSIONINFOEXW osVersion_{};
  int bitness_ = -1;
  int uiPrimaryLanguage_ = 0;
  int uiSubLanguage_ = 0;
  int userPrimaryLanguage_ = 0;
  int userSubLanguage_ = 0;
  MsiConditionCache msiConditions_;
};
