// Installer item records: the products, distributions, suites and packages that
// conditions, the rules engine and the entry queries talk about. Each record
// carries a key, a type, an install status, an optional language list and (in
// the two derived classes) a version range.
#pragma once

#include <cstdint>

#include "foundation/guid.h"
#include "foundation/version_number.h"
#include "foundation/ws_string.h"

// What a record says about its item. Records in the rules engine's sets carry
// Installing, Installed or Available; conditions also use the combined values.
enum class InstallStatus : int32_t {
  Installing = 0,
  Installed = 1,
  InstalledOrInstalling = 2,
  NotInstalling = 3,
  NotInstalled = 4,
  NotInstalledOrInstalling = 5,
  Available = 6,
  InstalledOrAvailable = 7,
};

enum class ItemType : int32_t {
  Product = 0,
  Distribution = 1,
  Suite = 2,
  Package = 3,
};

// The base record: key, type, status and language list. Matches is its one
// virtual operation; the receiver states a requirement and the candidate is
// the record being tested against it.
class InstallerInfo {
 public:
  InstallerInfo(const Guid& key, ItemType type, InstallStatus status);
  InstallerInfo(const InstallerInfo&) = default;
  InstallerInfo& operator=(const InstallerInfo&) = default;
  virtual ~InstallerInfo() = default;

  // Same type, equal keys and, when this record has a language list, the
  // same multiset of language numbers in the candidate's list. Never throws.
  virtual bool Matches(const InstallerInfo& candidate) const;

  const Guid& Key() const { return key_; }
  ItemType Type() const { return type_; }
  InstallStatus Status() const { return status_; }
  // Comma-separated numeric language identifiers; empty unless set.
  const WsString& Languages() const { return languages_; }
  void SetLanguages(const WsString& languages) { languages_ = languages; }

 protected:
  // Steps shared by every class: type, key, languages.
  bool MatchesIdentity(const InstallerInfo& candidate) const;

 private:
  Guid key_;
  ItemType type_;
  InstallStatus status_;
  WsString languages_;
};

// The record of products, distributions and suites: a VersionNumber range.
// A single version v is the range [v, v] with both bounds inclusive.
class MetaInstallerInfo : public InstallerInfo {
 public:
  MetaInstallerInfo(const Guid& key, ItemType type, InstallStatus status,
                    const VersionNumber& lower, bool lowerInclusive, const VersionNumber& upper,
                    bool upperInclusive);

  // Identity as in InstallerInfo, then the candidate (a MetaInstallerInfo) must
  // have its range inside this record's range.
  bool Matches(const InstallerInfo& candidate) const override;

  const VersionNumber& LowerBound() const { return lower_; }
  bool IsLowerInclusive() const { return lowerInclusive_; }
  const VersionNumber& UpperBound() const { return upper_; }
  bool IsUpperInclusive() const { return upperInclusive_; }

 private:
  VersionNumber lower_;
  bool lowerInclusive_;
  VersionNumber upper_;
  bool upperInclusive_;
};

// The version of a package: a text, or one of the two open ends of a range.
// A lowest version is below every text version and a highest version above
// every text version. Text versions compare as [epoch:]upstream[-revision]:
// epochs as numbers, then the upstream parts, then the revisions, where a
// version without a revision is below the same version with any. Within a
// part, digit runs compare as numbers, "~" sorts before everything (even the
// end of the text) and letters before punctuation.
class PackageVersion {
 public:
  PackageVersion() = default;
  PackageVersion(const WsString& text) : text_(text) {}  // NOLINT: versions are read from text
  PackageVersion(const wchar_t* text) : text_(text) {}   // NOLINT

  static PackageVersion Lowest();
  static PackageVersion Highest();

  const WsString& Text() const { return text_; }
  bool IsLowest() const { return lowest_; }
  bool IsHighest() const { return highest_; }

  // -1, 0 or 1. A total preorder: usable as a strict weak ordering.
  static int Compare(const PackageVersion& a, const PackageVersion& b);

  friend bool operator<(const PackageVersion& a, const PackageVersion& b) {
    return Compare(a, b) < 0;
  }
  friend bool operator==(const PackageVersion& a, const PackageVersion& b) {
    return Compare(a, b) == 0;
  }

 private:
  WsString text_;
  bool lowest_ = false;
  bool highest_ = false;
};

// The record of packages: a PackageVersion range; its type is always Package.
class PackageInfo : public InstallerInfo {
 public:
  PackageInfo(const Guid& key, InstallStatus status, const PackageVersion& lower,
              bool lowerInclusive, const PackageVersion& upper, bool upperInclusive);

  // Identity as in InstallerInfo, then the candidate (a PackageInfo) must have
  // its range inside this record's range.
  bool Matches(const InstallerInfo& candidate) const override;

  const PackageVersion& LowerBound() const { return lower_; }
  bool IsLowerInclusive() const { return lowerInclusive_; }
  const PackageVersion& UpperBound() const { return upper_; }
  bool IsUpperInclusive() const { return upperInclusive_; }

 private:
  PackageVersion lower_;
  bool lowerInclusive_;
  PackageVersion upper_;
  bool upperInclusive_;
};
