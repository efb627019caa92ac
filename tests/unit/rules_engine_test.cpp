#include "rules/rules_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/trace_log.h"
#include "foundation/utf16.h"
#include "foundation/ws_status.h"
#include "rules_inventory_fixture.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

using rules_test::InventoryFixture;

std::string Narrow(const WsString& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// "KEY@version" per record in set order, with "/languages" when there are
// any. Also checks what every installed record must be: filed under its own
// key, status installed, a single version with both bounds inclusive.
std::vector<std::string> Installed(const MetaItemSet& set, ItemType type) {
  std::vector<std::string> out;
  for (const auto& [key, record] : set) {
    EXPECT_TRUE(key == record->Key());
    EXPECT_EQ(record->Type(), type);
    EXPECT_EQ(record->Status(), InstallStatus::Installed);
    EXPECT_TRUE(record->IsLowerInclusive() && record->IsUpperInclusive());
    EXPECT_EQ(record->LowerBound().Compare(record->UpperBound()), 0);
    std::string text =
        Narrow(record->Key().ToString()) + "@" + Narrow(record->LowerBound().ToString(false));
    if (!record->Languages().empty()) text += "/" + Narrow(record->Languages());
    out.push_back(text);
  }
  return out;
}

struct CollectCase {
  const char* name;
  const char* inventory;  // nullptr: no inventory file at all
  std::vector<std::string> products;
  std::vector<std::string> distributions;
};

TEST(RulesEngineTest, CollectSystemInformationBuildsInstalledSetsFromTheInventory) {
  const std::vector<CollectCase> cases = {
      {"no inventory file: an empty machine", nullptr, {}, {}},
      {"products are keyed by update code",
       R"(
[product]
UpdateCode = {22222222-0000-0000-0000-000000000000}
UpdateVersion = 2.0.1
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[product]
UpdateCode = 11111111-0000-0000-0000-000000000000
UpdateVersion = 1.0.0.7
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
)",
       {"{11111111-0000-0000-0000-000000000000}@1.0.0.7",
        "{22222222-0000-0000-0000-000000000000}@2.0.1"},
       {}},
      {"a part of a reported product adds nothing",
       R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[part]
ProductCode = {aaaaaaaa-0000-0000-0000-000000000001}
ProductVersion = 9.9
UpgradeCode = {99999999-0000-0000-0000-000000000000}
)",
       {"{11111111-0000-0000-0000-000000000000}@1.0"},
       {}},
      {"a part completes a product without update code and version",
       R"(
[product]
UpdateCode =
UpdateVersion = none
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
ProductVersion = 3.1.4
UpgradeCode = {33333333-0000-0000-0000-000000000000}
)",
       {"{33333333-0000-0000-0000-000000000000}@3.1.4"},
       {}},
      {"a part fills in only what is missing",
       R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
ProductVersion = 4.0
UpgradeCode = {33333333-0000-0000-0000-000000000000}
)",
       {"{11111111-0000-0000-0000-000000000000}@4.0"},
       {}},
      {"parts of one upgrade code under two product codes give two records",
       R"(
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
ProductVersion = 5.1
UpgradeCode = {55555555-0000-0000-0000-000000000000}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
ProductVersion = 5.0
UpgradeCode = {55555555-0000-0000-0000-000000000000}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
ProductVersion = 5.2
UpgradeCode = {55555555-0000-0000-0000-000000000000}
)",
       // In product-code order; the third part belongs to the first product.
       {"{55555555-0000-0000-0000-000000000000}@5.0", "{55555555-0000-0000-0000-000000000000}@5.1"},
       {}},
      {"duplicate update codes are not merged",
       R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
)",
       {"{11111111-0000-0000-0000-000000000000}@1.0", "{11111111-0000-0000-0000-000000000000}@1.0"},
       {}},
      {"texts that are not GUIDs become text keys, after every GUID",
       R"(
[product]
UpdateCode = My Product
UpdateVersion = 1.0
ProductCode = code one
[product]
UpdateCode =
UpdateVersion =
ProductCode = code two
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 2.0
ProductCode = code three
)",
       {"{11111111-0000-0000-0000-000000000000}@2.0", "@", "My Product@1.0"},
       {}},
      {"distributions keep their languages",
       R"(
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000002}
Version = 7.0
Languages = 1033,1031
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000001}
Version = 6.5
Languages =
)",
       {},
       {"{DDDDDDDD-0000-0000-0000-000000000001}@6.5",
        "{DDDDDDDD-0000-0000-0000-000000000002}@7.0/1033,1031"}},
      {"counts of zero or less give no items",
       R"(
[counts]
Products = 0
Parts = -1
Distributions = -5
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
UpgradeCode = {22222222-0000-0000-0000-000000000000}
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000001}
)",
       {},
       {}},
      {"a count beyond the records reads empty texts",
       R"(
[counts]
Distributions = 1
)",
       {},
       {"@"}},
  };

  for (const CollectCase& c : cases) {
    InventoryFixture inventory;
    if (c.inventory != nullptr) inventory.Write(c.inventory);
    RulesEngine engine(0);
    engine.CollectSystemInformation();
    EXPECT_EQ(Installed(engine.InstalledProducts(), ItemType::Product), c.products) << c.name;
    EXPECT_EQ(Installed(engine.InstalledDistributions(), ItemType::Distribution), c.distributions)
        << c.name;
    EXPECT_TRUE(engine.InstalledPackages().empty()) << c.name;
  }
}

TEST(RulesEngineTest, CollectSystemInformationCallsTheLibraryInOrderAndOnlyWhenNeeded) {
  InventoryFixture inventory;
  inventory.Write(R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[part]
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
ProductVersion = 1.0
UpgradeCode = {22222222-0000-0000-0000-000000000000}
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000001}
Version = 1.0
)");
  RulesEngine engine(0);
  engine.CollectSystemInformation();
  // The part's product already has a key and a version: its upgrade code and
  // version are never asked for.
  EXPECT_EQ(InventoryFixture::CallLog(),
            L"QVSysInfo_Open\n"
            L"QVSysInfo_GetNumProducts\n"
            L"QVSysInfo_Product_GetQVUpdateProductVersion(0)\n"
            L"QVSysInfo_Product_GetQVUpdateProductCode(0)\n"
            L"QVSysInfo_Product_GetProductCode(0)\n"
            L"QVSysInfo_GetNumParts\n"
            L"QVSysInfo_Part_GetProductCode(0)\n"
            L"QVSysInfo_GetNumDistributions\n"
            L"QVSysInfo_Dist_GetDistVersion(0)\n"
            L"QVSysInfo_Dist_GetDistLang(0)\n"
            L"QVSysInfo_Dist_GetDistGuid(0)\n"
            L"QVSysInfo_Close\n");
}

TEST(RulesEngineTest, ASecondCollectionReplacesTheFirst) {
  InventoryFixture inventory;
  inventory.Write(R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000001}
Version = 1.0
)");
  RulesEngine engine(0);
  engine.CollectSystemInformation();
  engine.AddInstalledPackage(Guid(L"pkg"), L"1.0");
  engine.AddInstallingProduct(Guid(L"{11111111-0000-0000-0000-000000000000}"),
                              VersionNumber(L"2.0"));
  ASSERT_EQ(engine.InstalledProducts().size(), 1u);

  inventory.Write(R"(
[product]
UpdateCode = {22222222-0000-0000-0000-000000000000}
UpdateVersion = 2.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000002}
)");
  engine.CollectSystemInformation();
  EXPECT_EQ(Installed(engine.InstalledProducts(), ItemType::Product),
            std::vector<std::string>{"{22222222-0000-0000-0000-000000000000}@2.0"});
  EXPECT_TRUE(engine.InstalledDistributions().empty());
  EXPECT_TRUE(engine.InstalledPackages().empty());
  EXPECT_EQ(engine.InstallingProducts().size(), 1u) << "caller items survive a collection";
}

// ---- Caller items ----

struct AddStep {
  const wchar_t* key;
  const wchar_t* version;
  const wchar_t* language;
  int expectedSameAs;  // index of the earlier step whose record is returned, -1 for a new one
};

struct AddCase {
  const char* name;
  MetaInstallerInfo* (*add)(RulesEngine&, const Guid&, const VersionNumber&, const WsString&);
  MetaItemSet& (*set)(RulesEngine&);
  ItemType type;
  InstallStatus status;
  std::vector<AddStep> steps;
};

TEST(RulesEngineTest, CallerItemsAreAddedOnceAndKeptInInsertionOrder) {
  const wchar_t* a = L"{11111111-0000-0000-0000-000000000000}";
  const wchar_t* b = L"{22222222-0000-0000-0000-000000000000}";
  const std::vector<AddCase> cases = {
      {"installing products",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString&) {
         return e.AddInstallingProduct(k, v);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.InstallingProducts(); },
       ItemType::Product,
       InstallStatus::Installing,
       {{a, L"1.0", L"", -1},
        {a, L"1.0.0.0", L"", 0},
        {a, L"2.0", L"", -1},
        {b, L"1.0", L"", -1},
        {a, L"2.0", L"", 2},
        {L"11111111000000000000000000000000", L"1.0", L"", 0}}},
      {"available products",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString&) {
         return e.AddAvailableProduct(k, v);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.AvailableProducts(); },
       ItemType::Product,
       InstallStatus::Available,
       {{a, L"1.0", L"", -1}, {a, L"1.0", L"", 0}}},
      {"installing distributions: languages in any order are the same item",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString& l) {
         return e.AddInstallingDistribution(k, v, l);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.InstallingDistributions(); },
       ItemType::Distribution,
       InstallStatus::Installing,
       {{a, L"1.0", L"1033,1031", -1},
        {a, L"1.0", L"1031, 1033", 0},
        {a, L"1.0", L"1033", -1},
        {a, L"1.0", L"", -1}}},
      {"available distributions: a record without languages takes any",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString& l) {
         return e.AddAvailableDistribution(k, v, l);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.AvailableDistributions(); },
       ItemType::Distribution,
       InstallStatus::Available,
       {{a, L"1.0", L"", -1}, {a, L"1.0", L"1033", 0}}},
      {"installing suites",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString& l) {
         return e.AddInstallingSuite(k, v, l);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.InstallingSuites(); },
       ItemType::Suite,
       InstallStatus::Installing,
       {{a, L"1.0", L"1033", -1}, {a, L"1.0", L"1033", 0}, {a, L"1.1", L"1033", -1}}},
      {"available suites",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString& l) {
         return e.AddAvailableSuite(k, v, l);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.AvailableSuites(); },
       ItemType::Suite,
       InstallStatus::Available,
       {{b, L"1.0", L"", -1}, {a, L"1.0", L"", -1}, {b, L"1.0", L"", 0}}},
      {"installed products",
       [](RulesEngine& e, const Guid& k, const VersionNumber& v, const WsString&) {
         return e.AddInstalledProduct(k, v);
       },
       [](RulesEngine& e) -> MetaItemSet& { return e.InstalledProducts(); },
       ItemType::Product,
       InstallStatus::Installed,
       {{a, L"1.0", L"", -1}, {a, L"1.0", L"", 0}, {a, L"1.1", L"", -1}}},
  };

  for (const AddCase& c : cases) {
    RulesEngine engine(0);
    std::vector<MetaInstallerInfo*> returned;
    for (const AddStep& step : c.steps) {
      MetaInstallerInfo* record =
          c.add(engine, Guid(step.key), VersionNumber(step.version), step.language);
      ASSERT_NE(record, nullptr) << c.name;
      if (step.expectedSameAs >= 0) {
        EXPECT_EQ(record, returned[static_cast<size_t>(step.expectedSameAs)])
            << c.name << ", step " << returned.size();
      } else {
        for (MetaInstallerInfo* earlier : returned) EXPECT_NE(record, earlier) << c.name;
        EXPECT_EQ(record->Type(), c.type) << c.name;
        EXPECT_EQ(record->Status(), c.status) << c.name;
        EXPECT_EQ(record->Languages(), WsString(step.language)) << c.name;
        EXPECT_EQ(record->LowerBound().Compare(VersionNumber(step.version)), 0) << c.name;
        EXPECT_EQ(record->UpperBound().Compare(VersionNumber(step.version)), 0) << c.name;
      }
      returned.push_back(record);
    }
    // The set holds each new record once, keys in order, equal keys in the
    // order they were added.
    std::vector<MetaInstallerInfo*> expected;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      if (c.steps[i].expectedSameAs < 0) expected.push_back(returned[i]);
    }
    std::stable_sort(
        expected.begin(), expected.end(),
        [](const MetaInstallerInfo* x, const MetaInstallerInfo* y) { return x->Key() < y->Key(); });
    std::vector<MetaInstallerInfo*> actual;
    for (const auto& [key, record] : c.set(engine)) actual.push_back(record.get());
    EXPECT_EQ(actual, expected) << c.name;
  }
}

TEST(RulesEngineTest, PackagesAreDeduplicatedByPackageVersionOrder) {
  RulesEngine engine(0);
  const Guid id(L"libexample");
  PackageInfo* first = engine.AddInstallingPackage(id, L"1.0");
  EXPECT_EQ(engine.AddInstallingPackage(id, L"1.00"), first);
  EXPECT_EQ(engine.AddInstallingPackage(Guid(L"LIB-EXAMPLE"), L"0:1.0"), first);
  PackageInfo* revised = engine.AddInstallingPackage(id, L"1.0-1");
  EXPECT_NE(revised, first);
  EXPECT_EQ(engine.InstallingPackages().size(), 2u);
  EXPECT_EQ(first->Type(), ItemType::Package);
  EXPECT_EQ(first->Status(), InstallStatus::Installing);
  EXPECT_EQ(engine.AddAvailablePackage(id, L"1.0")->Status(), InstallStatus::Available);
  EXPECT_EQ(engine.AddInstalledPackage(id, L"1.0")->Status(), InstallStatus::Installed);
}

TEST(RulesEngineTest, ClearCallerItemsKeepsInstalledItems) {
  InventoryFixture inventory;
  inventory.Write(R"(
[product]
UpdateCode = {11111111-0000-0000-0000-000000000000}
UpdateVersion = 1.0
ProductCode = {AAAAAAAA-0000-0000-0000-000000000001}
[distribution]
Guid = {DDDDDDDD-0000-0000-0000-000000000001}
Version = 1.0
)");
  RulesEngine engine(0);
  engine.CollectSystemInformation();
  const Guid key(L"{11111111-0000-0000-0000-000000000000}");
  const VersionNumber version(L"1.0");
  engine.AddInstallingProduct(key, version);
  engine.AddAvailableProduct(key, version);
  engine.AddInstallingDistribution(key, version, L"");
  engine.AddAvailableDistribution(key, version, L"");
  engine.AddInstallingSuite(key, version, L"");
  engine.AddAvailableSuite(key, version, L"");
  engine.AddInstallingPackage(key, L"1.0");
  engine.AddAvailablePackage(key, L"1.0");
  engine.AddInstalledPackage(key, L"1.0");

  engine.ClearCallerItems();
  EXPECT_TRUE(engine.InstallingProducts().empty());
  EXPECT_TRUE(engine.AvailableProducts().empty());
  EXPECT_TRUE(engine.InstallingDistributions().empty());
  EXPECT_TRUE(engine.AvailableDistributions().empty());
  EXPECT_TRUE(engine.InstallingSuites().empty());
  EXPECT_TRUE(engine.AvailableSuites().empty());
  EXPECT_TRUE(engine.InstallingPackages().empty());
  EXPECT_TRUE(engine.AvailablePackages().empty());
  EXPECT_EQ(engine.InstalledProducts().size(), 1u);
  EXPECT_EQ(engine.InstalledDistributions().size(), 1u);
  EXPECT_EQ(engine.InstalledPackages().size(), 1u);
}

// ---- Operating-system data ----

TEST(RulesEngineTest, InitializeCapturesTheRunningSystem) {
  RulesEngine engine(AvailableCountsAsInstalling);
  EXPECT_EQ(engine.GetOptions(), AvailableCountsAsInstalling);
  EXPECT_EQ(engine.GetOsVersionInfo().dwOSVersionInfoSize, sizeof(OSVERSIONINFOEXW));
  EXPECT_GT(engine.GetOsVersionInfo().dwMajorVersion, 0u);
  // Every machine these tests run on has an x86 or x64 processor.
  EXPECT_TRUE(engine.GetBitness() == 32 || engine.GetBitness() == 64) << engine.GetBitness();
  const LANGID ui = GetSystemDefaultUILanguage();
  EXPECT_EQ(engine.GetUiPrimaryLanguage() | (engine.GetUiSubLanguage() << 10), ui);
  const LANGID user = GetUserDefaultLangID();
  EXPECT_EQ(engine.GetUserPrimaryLanguage() | (engine.GetUserSubLanguage() << 10), user);
}

TEST(RulesEngineTest, OptionalSystemFunctionsAreFoundByName) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  for (const char* name : {"GetNativeSystemInfo", "GetProductInfo"}) {
    EXPECT_TRUE(GetProcAddress(kernel, name) != nullptr) << name;
  }
  SetLastError(0);
  EXPECT_TRUE(GetProcAddress(kernel, "NoSuchFunctionHere") == nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(L"no-such-module-here.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  OSVERSIONINFOEXW wrongSize{};
  wrongSize.dwOSVersionInfoSize = sizeof(wrongSize) + 4;
  EXPECT_FALSE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&wrongSize)));
}

// ---- MSI condition batch ----

TEST(MsiConditionCacheTest, EachDistinctTextIsSentToTheLibraryOnce) {
  InventoryFixture inventory;
  inventory.Write(R"(
[condition]
Text = VersionNT >= 600
Evaluate = 1
[condition]
Text = versionnt >= 600
Evaluate = 0
)");
  RulesEngine engine(0);
  MsiConditionCache& msi = engine.MsiConditions();
  EXPECT_EQ(msi.Path(), WsString(L"qvMetaUtils.msm"));
  msi.SetPath(inventory.CreateModule());
  // Three entries use the same condition; another differs only in case.
  for (const wchar_t* text :
       {L"VersionNT >= 600", L"versionnt >= 600", L"VersionNT >= 600", L"VersionNT >= 600"}) {
    msi.Register(text);
  }
  msi.Run();

  EXPECT_EQ(InventoryFixture::CallLog(),
            L"QVPaths_Open(" + msi.Path() +
                L")\n"
                L"QVPaths_AddRequestedPathsFromCondition(VersionNT >= 600)\n"
                L"QVPaths_AddRequestedPathsFromCondition(versionnt >= 600)\n"
                L"QVPaths_Run\n"
                L"QVPaths_EvaluateCondition(VersionNT >= 600)\n"
                L"QVPaths_EvaluateCondition(versionnt >= 600)\n"
                L"QVPaths_Close\n");
  EXPECT_TRUE(msi.Pending().empty());
  EXPECT_TRUE(msi.Result(L"VersionNT >= 600"));
  EXPECT_FALSE(msi.Result(L"versionnt >= 600"));

  // Texts with a result are never queued again; an empty batch calls nothing.
  ZEBTest_ResetCalls();
  msi.Register(L"VersionNT >= 600");
  msi.Run();
  EXPECT_TRUE(msi.Pending().empty());
  EXPECT_EQ(InventoryFixture::CallLog(), L"");
}

TEST(MsiConditionCacheTest, OnlyResultOneReadsTrue) {
  InventoryFixture inventory;
  inventory.Write(R"(
[paths]
Evaluate = 1
[condition]
Text = zero
Evaluate = 0
[condition]
Text = two
Evaluate = 2
[condition]
Text = three
Evaluate = 3
[condition]
Text = negative
Evaluate = -1
[condition]
Text = not registered
Add = 1603
Evaluate = 1
)");
  const struct {
    const wchar_t* text;
    bool result;
  } cases[] = {
      {L"zero", false},          {L"two", false},     {L"three", false},
      {L"negative", false},      {L"unlisted", true},  // the [paths] default
      {L"not registered", true},                       // a failed registration is only logged
  };
  RulesEngine engine(0);
  MsiConditionCache& msi = engine.MsiConditions();
  msi.SetPath(inventory.CreateModule());
  for (const auto& c : cases) msi.Register(c.text);
  msi.Run();
  for (const auto& c : cases) {
    EXPECT_EQ(msi.Result(c.text), c.result) << Narrow(c.text);
    EXPECT_EQ(msi.Results().at(c.text) == 1, c.result) << Narrow(c.text);
  }
  // A text nobody registered reads false and is remembered as 0.
  EXPECT_FALSE(msi.Result(L"never seen"));
  EXPECT_EQ(msi.Results().at(L"never seen"), 0);
}

TEST(MsiConditionCacheTest, MissingModuleMeansNoLibraryCallAndFalse) {
  InventoryFixture inventory;
  inventory.Write("[paths]\nEvaluate = 1\n");
  RulesEngine engine(0);
  MsiConditionCache& msi = engine.MsiConditions();
  msi.SetPath(inventory.MissingModule());
  msi.Register(L"Installed");
  msi.Run();
  EXPECT_EQ(InventoryFixture::CallLog(), L"");
  EXPECT_EQ(msi.Pending().size(), 1u) << "the text stays pending";

  // Once the module is there, the next batch resolves it.
  msi.SetPath(inventory.CreateModule());
  msi.Run();
  EXPECT_EQ(InventoryFixture::Calls(L"QVPaths_EvaluateCondition(Installed)"), 1);
  EXPECT_TRUE(msi.Result(L"Installed"));
}

TEST(MsiConditionCacheTest, OpenAndRunFailuresAbortTheBatch) {
  const struct {
    const char* name;
    const char* inventory;
    uint32_t status;
    const wchar_t* lastCall;
  } cases[] = {
      {"open fails", "[paths]\nOpen = 1\nEvaluate = 1\n", kWsMsiOpen, L"QVPaths_Open"},
      {"run fails", "[paths]\nRun = 0x80004005\nEvaluate = 1\n", kWsMsiRun, L"QVPaths_Run"},
  };
  for (const auto& c : cases) {
    InventoryFixture inventory;
    inventory.Write(c.inventory);
    RulesEngine engine(0);
    MsiConditionCache& msi = engine.MsiConditions();
    msi.SetPath(inventory.CreateModule());
    msi.Register(L"Installed");
    try {
      msi.Run();
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const WsStatus& status) {
      EXPECT_EQ(status.code, c.status) << c.name;
    }
    EXPECT_EQ(InventoryFixture::Calls(L"QVPaths_EvaluateCondition(Installed)"), 0) << c.name;
    const std::wstring log = InventoryFixture::CallLog();
    EXPECT_EQ(log.substr(log.rfind(L'\n', log.size() - 2) + 1).rfind(c.lastCall, 0), 0u) << c.name;
    EXPECT_FALSE(msi.Result(L"Installed")) << c.name;
  }
}

// Occurrences of needle in text.
size_t Count(const std::wstring& text, const std::wstring& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(MsiConditionCacheTest, FailuresOfSingleConditionsAreTracedOnce) {
  TempDir logDir;
  const std::filesystem::path logPath = logDir.path() / "trace.log";
  WsString regPath(logPath.wstring());
  regPath.ReplaceAll(L"\\", L"\\\\");
  ScopedRegistry registry(
      L"Windows Registry Editor Version 5.00\r\n\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\InternalTesting]\r\n"
      L"\"qvwshttplogging\"=\"" +
      regPath + L"\"\r\n");
  InventoryFixture inventory;
  inventory.Write(R"(
[condition]
Text = Error('x')
Evaluate = 3
[condition]
Text = Two
Evaluate = 2
[condition]
Text = Unknown {0} property
Add = 1603
Evaluate = 1
)");

  LogOpen();
  ASSERT_TRUE(IsLogging());
  {
    RulesEngine engine(0);
    MsiConditionCache& msi = engine.MsiConditions();
    msi.SetPath(inventory.CreateModule());
    for (int entry = 0; entry < 3; ++entry) {
      msi.Register(L"Error('x')");
      msi.Register(L"Two");
      msi.Register(L"Unknown {0} property");
    }
    msi.Run();
    msi.Register(L"Error('x')");
    msi.Run();
    EXPECT_FALSE(msi.Result(L"Error('x')"));
    EXPECT_FALSE(msi.Result(L"Two"));
    EXPECT_TRUE(msi.Result(L"Unknown {0} property"));
  }
  LogRelease();

  std::ifstream file(logPath, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::wstring log = FromUtf16LE(bytes.data(), bytes.size());
  EXPECT_EQ(Count(log,
                  L"]: **ERROR: QVPaths_EvaluateCondition returned an error for condition: "
                  L"Error('x')\n"),
            1u)
      << Narrow(log);
  EXPECT_EQ(Count(log,
                  L"]: **ERROR: QVPaths_AddRequestedPathsFromCondition('Unknown {0} "
                  L"property') returned error code 1603\n"),
            1u)
      << Narrow(log);
  EXPECT_EQ(Count(log, L"**ERROR: "), 2u) << Narrow(log);
}

}  // namespace
