// The installer-item conditions: a product, distribution, suite or package in
// a version range (and, for distributions and suites, in given languages),
// tested against the engine's installed, installing and available sets.
#pragma once

#include <cstdint>
#include <optional>

#include "catalog/installer_info.h"
#include "foundation/ws_string.h"
#include "rules/condition.h"
#include "rules/condition_tree.h"

// The "status" attribute as an install status value (0 to 7); false for any
// other text, compared without regard to case.
bool ParseInstallStatus(const WsString& text, InstallStatus& status);
bool ParseInstallStatus(const wchar_t* text, InstallStatus& status);

class BaseInstallerCondition : public Condition {
 public:
  using Condition::Condition;

  // Decided by the status the condition was written with; see the .cpp.
  bool Evaluate() override;
  // Reads the identifier, "status", "verMin", "verMax" and, for distributions
  // and suites, "lang" and builds the node's record.
  void Load(pugi::xml_node element) override;

  // The node's own record (the one stating the requirement).
  virtual const InstallerInfo& Info() const = 0;
  const InstallerInfo& CollectedInfo() const { return Info(); }

  // The engine queries: the records with the node's key in the set of the
  // node's type that the node's record Matches.
  bool FindInstalling(InstallerRecords& found) const;
  bool IsInstalling() const;
  const InstallerInfo* FindInstalled() const;
  bool FindAvailable(InstallerRecords& found) const;
  bool IsAvailable() const;

  virtual const wchar_t* IdAttributeName() const = 0;

  void AddRequired(const InstallerInfo* record);
  void AddExcluded(const InstallerInfo* record);

 protected:
  enum class SetRole { kInstalled, kInstalling, kAvailable };
  // First matching record of the set of that role, or null; with `found`,
  // every matching record is appended to it. A set the type does not have
  // (installed suites) finds nothing.
  virtual const InstallerInfo* Search(SetRole role, InstallerRecords* found) const = 0;
  // Builds the record from the attribute texts, which are already checked to be
  // non-empty. `lang` is only read for distributions and suites.
  virtual void BuildRecord(const Guid& key, InstallStatus status, const wchar_t* verMin,
                           const wchar_t* verMax, const WsString& lang) = 0;
  virtual bool HasLanguages() const { return false; }

 private:
  bool Installing(bool inverted);
  bool InstalledOrInstalling(bool inverted);
};

// Products, distributions and suites: a record with a VersionNumber range.
class MetaInstallerCondition : public BaseInstallerCondition {
 public:
  using BaseInstallerCondition::BaseInstallerCondition;
  const InstallerInfo& Info() const override { return *record_; }
  const MetaInstallerInfo& Record() const { return *record_; }

 protected:
  void BuildRecord(const Guid& key, InstallStatus status, const wchar_t* verMin,
                   const wchar_t* verMax, const WsString& lang) override;
  std::optional<MetaInstallerInfo> record_;
};

class ProductCondition : public MetaInstallerCondition {
 public:
  explicit ProductCondition(ConditionTree* owner)
      : MetaInstallerCondition(kConditionProduct, owner) {}
  const wchar_t* IdAttributeName() const override { return L"upc"; }

 protected:
  const InstallerInfo* Search(SetRole role, InstallerRecords* found) const override;
};

class DistributionCondition : public MetaInstallerCondition {
 public:
  explicit DistributionCondition(ConditionTree* owner)
      : MetaInstallerCondition(kConditionDistribution, owner) {}
  const wchar_t* IdAttributeName() const override { return L"guid"; }

 protected:
  const InstallerInfo* Search(SetRole role, InstallerRecords* found) const override;
  bool HasLanguages() const override { return true; }
};

class SuiteCondition : public MetaInstallerCondition {
 public:
  explicit SuiteCondition(ConditionTree* owner) : MetaInstallerCondition(kConditionSuite, owner) {}
  const wchar_t* IdAttributeName() const override { return L"guid"; }

 protected:
  const InstallerInfo* Search(SetRole role, InstallerRecords* found) const override;
  bool HasLanguages() const override { return true; }
};

// Packages: a record with a PackageVersion range, versions kept as written.
class PackageCondition : public BaseInstallerCondition {
 public:
  explicit PackageCondition(ConditionTree* owner)
      : BaseInstallerCondition(kConditionPackage, owner) {}
  const InstallerInfo& Info() const override { return *record_; }
  const wchar_t* IdAttributeName() const override { return L"id"; }

 protected:
  const InstallerInfo* Search(SetRole role, InstallerRecords* found) const override;
  void BuildRecord(const Guid& key, InstallStatus status, const wchar_t* verMin,
                   const wchar_t* verMax, const WsString& lang) override;

 private:
  std::optional<PackageInfo> record_;
};
