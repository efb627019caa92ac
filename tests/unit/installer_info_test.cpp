#include "catalog/installer_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t kKeyA[] = L"{6F1A2B3C-0001-4000-8000-00AA00BB00CC}";
const wchar_t kKeyB[] = L"{6F1A2B3C-0002-4000-8000-00AA00BB00CC}";

std::shared_ptr<InstallerInfo> Meta(const wchar_t* key, ItemType type, const wchar_t* lower,
                                    bool lowerInclusive, const wchar_t* upper, bool upperInclusive,
                                    const wchar_t* languages = L"") {
  auto record = std::make_shared<MetaInstallerInfo>(Guid(key), type, InstallStatus::Installed,
                                                    VersionNumber(lower), lowerInclusive,
                                                    VersionNumber(upper), upperInclusive);
  record->SetLanguages(languages);
  return record;
}

std::shared_ptr<InstallerInfo> Product(const wchar_t* key, const wchar_t* lower,
                                       const wchar_t* upper) {
  return Meta(key, ItemType::Product, lower, true, upper, true);
}

std::shared_ptr<InstallerInfo> Dist(const wchar_t* version, const wchar_t* languages) {
  return Meta(kKeyA, ItemType::Distribution, version, true, version, true, languages);
}

std::shared_ptr<InstallerInfo> Package(const wchar_t* key, const PackageVersion& lower,
                                       const PackageVersion& upper) {
  return std::make_shared<PackageInfo>(Guid(key), InstallStatus::Installed, lower, true, upper,
                                       true);
}

struct MatchCase {
  const char* name;
  std::shared_ptr<InstallerInfo> receiver;
  std::shared_ptr<InstallerInfo> candidate;
  bool matches;
};

TEST(InstallerInfoTest, MatchesComparesTypeKeyLanguagesAndRange) {
  const std::vector<MatchCase> cases = {
      {"single version inside range", Product(kKeyA, L"1.0", L"2.0"),
       Product(kKeyA, L"1.5", L"1.5"), true},
      {"lower bound is inclusive", Product(kKeyA, L"1.0", L"2.0"), Product(kKeyA, L"1.0", L"1.0"),
       true},
      {"upper bound is inclusive", Product(kKeyA, L"1.0", L"2.0"), Product(kKeyA, L"2.0", L"2.0"),
       true},
      {"below range", Product(kKeyA, L"1.0", L"2.0"), Product(kKeyA, L"0.9", L"0.9"), false},
      {"above range", Product(kKeyA, L"1.0", L"2.0"), Product(kKeyA, L"2.0.0.1", L"2.0.0.1"),
       false},
      {"fourth field outranks third", Product(kKeyA, L"1.0", L"1.2.4.99"),
       Product(kKeyA, L"1.2.3.100", L"1.2.3.100"), false},
      {"fourth field outranks third, inside", Product(kKeyA, L"1.0", L"1.2.3.100"),
       Product(kKeyA, L"1.2.4.99", L"1.2.4.99"), true},
      {"other key", Product(kKeyA, L"1.0", L"2.0"), Product(kKeyB, L"1.5", L"1.5"), false},
      {"same key in another spelling", Product(kKeyA, L"1.0", L"2.0"),
       Product(L"6f1a2b3c000140008000-00aa00bb00cc", L"1.5", L"1.5"), true},
      {"text keys compare normalised", Product(L"My-Product", L"1.0", L"2.0"),
       Product(L"{MYPRODUCT}", L"1.5", L"1.5"), true},
      {"other type", Product(kKeyA, L"1.0", L"2.0"),
       Meta(kKeyA, ItemType::Suite, L"1.5", true, L"1.5", true), false},
      {"candidate range must lie inside", Product(kKeyA, L"1.0", L"2.0"),
       Product(kKeyA, L"1.5", L"2.5"), false},
      {"exclusive lower shuts out an inclusive candidate on the bound",
       Meta(kKeyA, ItemType::Product, L"1.0", false, L"2.0", true), Product(kKeyA, L"1.0", L"1.0"),
       false},
      {"exclusive lower admits an exclusive candidate on the bound",
       Meta(kKeyA, ItemType::Product, L"1.0", false, L"2.0", true),
       Meta(kKeyA, ItemType::Product, L"1.0", false, L"1.5", true), true},
      {"exclusive upper shuts out an inclusive candidate on the bound",
       Meta(kKeyA, ItemType::Product, L"1.0", true, L"2.0", false), Product(kKeyA, L"2.0", L"2.0"),
       false},
      {"exclusive upper admits an exclusive candidate on the bound",
       Meta(kKeyA, ItemType::Product, L"1.0", true, L"2.0", false),
       Meta(kKeyA, ItemType::Product, L"1.5", true, L"2.0", false), true},
      {"inclusive receiver admits an exclusive candidate on the bound",
       Product(kKeyA, L"1.0", L"2.0"), Meta(kKeyA, ItemType::Product, L"1.0", false, L"2.0", false),
       true},
      {"languages in any order", Dist(L"1.0", L"1033, 1031"), Dist(L"1.0", L"1031,1033"), true},
      {"languages: fewer on the candidate", Dist(L"1.0", L"1033, 1031"), Dist(L"1.0", L"1033"),
       false},
      {"languages: none on the candidate", Dist(L"1.0", L"1033, 1031"), Dist(L"1.0", L""), false},
      {"languages: empty receiver accepts a list", Dist(L"1.0", L""), Dist(L"1.0", L"1031,1033"),
       true},
      {"languages: empty receiver accepts none", Dist(L"1.0", L""), Dist(L"1.0", L""), true},
      {"languages: duplicates count", Dist(L"1.0", L"1033,1033"), Dist(L"1.0", L"1033,1031"),
       false},
      {"languages: duplicates on both sides", Dist(L"1.0", L"1033,1033"),
       Dist(L"1.0", L"1033, 1033"), true},
      {"languages: numbers, not texts", Dist(L"1.0", L"1033"), Dist(L"1.0", L"0x409"), true},
      {"languages: a piece that is not a number", Dist(L"1.0", L"en"), Dist(L"1.0", L"en"), false},
      {"languages: candidate piece not a number", Dist(L"1.0", L"1033,1031"),
       Dist(L"1.0", L"1033,de"), false},
      {"meta receiver, package candidate",
       Meta(kKeyA, ItemType::Package, L"1.0", true, L"2.0", true),
       std::make_shared<PackageInfo>(Guid(kKeyA), InstallStatus::Installed, L"1.5", true, L"1.5",
                                     true),
       false},
      {"package receiver, meta candidate", Package(kKeyA, L"1.0", L"2.0"),
       Meta(kKeyA, ItemType::Package, L"1.5", true, L"1.5", true), false},
      {"package inside range", Package(kKeyA, L"1.0", L"2.0"), Package(kKeyA, L"1.0-1", L"1.0-1"),
       true},
      {"package tilde below lower bound", Package(kKeyA, L"1.0", L"2.0"),
       Package(kKeyA, L"1.0~rc1", L"1.0~rc1"), false},
      {"package open range", Package(kKeyA, PackageVersion::Lowest(), PackageVersion::Highest()),
       Package(kKeyA, L"99:0", L"99:0"), true},
      {"package open lower end only", Package(kKeyA, PackageVersion::Lowest(), L"2.0"),
       Package(kKeyA, L"2.0-1", L"2.0-1"), false},
      {"base record: identity only",
       std::make_shared<InstallerInfo>(Guid(kKeyA), ItemType::Product, InstallStatus::Installed),
       Product(kKeyA, L"9", L"9"), true},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(c.receiver->Matches(*c.candidate), c.matches) << c.name;
  }
}

struct OrderCase {
  const wchar_t* a;
  const wchar_t* b;
  int expected;  // sign of Compare(a, b)
};

TEST(PackageVersionTest, CompareOrdersEpochUpstreamAndRevision) {
  const std::vector<OrderCase> cases = {
      {L"1.0", L"1.0", 0},
      {L"1.0~rc1", L"1.0", -1},
      {L"1.0~rc1", L"1.0~rc2", -1},
      {L"1.0~~", L"1.0~", -1},
      {L"1.0", L"1.0-1", -1},
      {L"1.0-", L"1.0", 1},
      {L"1.0-1", L"1.0-2", -1},
      {L"1.0-10", L"1.0-9", 1},
      {L"1.0-a-1", L"1.0-a-2", -1},  // the revision starts after the last "-"
      {L"2:1.0", L"9.9", 1},
      {L"0:1.0", L"1.0", 0},
      {L"000:1.0", L"1.0", 0},
      {L"1:1.0", L"2:0.1", -1},
      {L"1:9", L"01:9", 0},
      {L"1.0a", L"1.0+", -1},
      {L"1.0a", L"1.0", 1},
      {L"1.0", L"1.0.", -1},
      {L"010", L"10", 0},
      {L"1.10", L"1.9", 1},
      {L"1.002", L"1.2", 0},
      {L"12345678901234567890", L"9", 1},  // digit runs longer than any integer type
      {L"a", L"B", 1},
      {L"Z", L"a", -1},
      {L"1.0", L"1a", 1},  // "." is punctuation, sorts after letters
      {L"", L"0", -1},
      {L":1", L"1", 1},  // no digits before the colon: no epoch
  };
  for (const OrderCase& c : cases) {
    EXPECT_EQ(PackageVersion::Compare(c.a, c.b), c.expected)
        << std::string(c.a, c.a + wcslen(c.a)) << " vs " << std::string(c.b, c.b + wcslen(c.b));
    EXPECT_EQ(PackageVersion::Compare(c.b, c.a), -c.expected)
        << std::string(c.b, c.b + wcslen(c.b)) << " vs " << std::string(c.a, c.a + wcslen(c.a));
  }
}

TEST(PackageVersionTest, OpenEndsLieBeyondEveryTextVersion) {
  const PackageVersion lowest = PackageVersion::Lowest();
  const PackageVersion highest = PackageVersion::Highest();
  for (const wchar_t* text : {L"", L"~", L"0", L"~~~", L"99:zz-zz", L"1.0"}) {
    EXPECT_EQ(PackageVersion::Compare(lowest, text), -1);
    EXPECT_EQ(PackageVersion::Compare(text, lowest), 1);
    EXPECT_EQ(PackageVersion::Compare(highest, text), 1);
    EXPECT_EQ(PackageVersion::Compare(text, highest), -1);
  }
  EXPECT_EQ(PackageVersion::Compare(lowest, PackageVersion::Lowest()), 0);
  EXPECT_EQ(PackageVersion::Compare(highest, PackageVersion::Highest()), 0);
  EXPECT_EQ(PackageVersion::Compare(lowest, highest), -1);
  EXPECT_EQ(PackageVersion::Compare(highest, lowest), 1);
}

// Sorted containers rely on operator< being a strict weak ordering: check the
// axioms over every pair and triple of a varied table.
TEST(PackageVersionTest, LessThanIsAStrictWeakOrdering) {
  const std::vector<PackageVersion> versions = {
      PackageVersion::Lowest(),
      PackageVersion::Highest(),
      L"",
      L"0",
      L"0:0",
      L"00",
      L"1",
      L"1.0",
      L"1.00",
      L"1.0~",
      L"1.0~rc1",
      L"1.0-1",
      L"1.0-01",
      L"1.0-",
      L"1:0.9",
      L"01:0.9",
      L"1.0a",
      L"1.0+",
      L"1.0.1",
      L"1a",
      L"a1",
      L"~",
      L"1:",
      L"2.0-1~",
      L"2.0-1",
      L"2.0-1a",
      L"10",
      L"9",
      L"1.0-a-1",
      L"+",
  };
  for (const PackageVersion& a : versions) {
    EXPECT_FALSE(a < a) << "irreflexive";
    for (const PackageVersion& b : versions) {
      EXPECT_FALSE(a < b && b < a) << "asymmetric";
      for (const PackageVersion& c : versions) {
        EXPECT_TRUE(!(a < b && b < c) || a < c) << "transitive";
        const bool abEquivalent = !(a < b) && !(b < a);
        const bool bcEquivalent = !(b < c) && !(c < b);
        EXPECT_TRUE(!(abEquivalent && bcEquivalent) || (!(a < c) && !(c < a))) << "equivalence";
      }
    }
  }
}

}  // namespace
