#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rules/condition_installer.h"
#include "rules/condition_operator.h"
#include "rules_fixture.h"

namespace {

std::string Narrow(const wchar_t* text) {
  return std::string(text, text + std::wcslen(text));
}

// <product> for key A over the range [1.0, 2.0].
std::string ProductA(const std::string& status, const std::string& logic = "") {
  std::string xml =
      "<product upc='" + Narrow(kKeyA) + "' status='" + status + "' verMin='1.0' verMax='2.0'";
  if (!logic.empty()) xml += " logic='" + logic + "'";
  return xml + "/>";
}

TEST(ConditionTreeTest, LogicalNodes) {
  struct Case {
    const char* xml;
    bool expected;
  };
  const char* t = "<operatingSystem os='Windows' verMin='6.0' verMax='7.0'/>";
  const char* f = "<operatingSystem os='Windows' verMin='7.0' verMax='8.0'/>";
  const std::vector<std::pair<std::string, bool>> cases = {
      {"<conditions/>", true},
      {"<conditions logic='NOT'/>", false},
      {"<conditions logic='no'/>", true},
      {"<conditions><or/></conditions>", false},
      {"<conditions><or logic='not'/></conditions>", true},
      {"<conditions><and/></conditions>", true},
      {std::string("<conditions>") + t + f + "</conditions>", false},
      {std::string("<conditions>") + t + t + "</conditions>", true},
      {std::string("<conditions logic='not'>") + t + f + "</conditions>", true},
      {std::string("<conditions><or>") + f + t + "</or></conditions>", true},
      {std::string("<conditions><or>") + f + f + "</or></conditions>", false},
      {std::string("<conditions><or logic='Not'>") + f + t + "</or></conditions>", false},
      {std::string("<conditions><and>") + t + "<!-- note -->text" + t + "</and></conditions>",
       true},
  };
  for (const auto& [xml, expected] : cases) {
    RulesFixture fx;
    EXPECT_EQ(fx.Evaluate(xml), expected) << xml;
    EXPECT_EQ(fx.tree->Result(), expected) << xml;
  }
}

TEST(ConditionTreeTest, EveryChildIsEvaluatedAndKeepsItsValue) {
  RulesFixture fx;
  fx.engine.AddAvailableProduct(Guid(kKeyA), VersionNumber(L"1.5"));
  // The first child is false, yet the second still records its required item.
  EXPECT_FALSE(fx.Evaluate("<conditions><operatingSystem os='Other'/>" + ProductA("installing") +
                           "</conditions>"));
  const auto& children = static_cast<OperatorCondition*>(fx.tree->Root())->Children();
  ASSERT_EQ(children.size(), 2u);
  EXPECT_FALSE(children[0]->LastResult());
  EXPECT_FALSE(children[1]->LastResult());
  ASSERT_EQ(fx.tree->RequiredProducts().size(), 1u);
  EXPECT_EQ(fx.tree->RequiredProducts()[0].requirement, kRequirementRequired);

  // A second evaluation starts the lists afresh.
  fx.tree->Evaluate();
  EXPECT_EQ(fx.tree->RequiredProducts().size(), 1u);
}

enum Sets { kNone = 0, kInst = 1, kIng = 2, kAvail = 4 };

TEST(ConditionTreeTest, InstallerStatusesAgainstEngineSets) {
  struct Case {
    const char* status;
    const char* logic;
    int sets;
    uint32_t options;
    bool expected;
    std::vector<int32_t> requirements;
  };
  const Case cases[] = {
      {"installed", "", kInst, 0, true, {}},
      {"Installed", "", kNone, 0, false, {}},
      {"installed", "not", kInst, 0, false, {}},
      {"notInstalled", "", kNone, 0, true, {}},
      {"notInstalled", "", kInst, 0, false, {}},
      {"notInstalled", "NOT", kNone, 0, false, {}},
      {"available", "", kIng, 0, true, {}},
      {"available", "", kAvail, 0, true, {}},
      {"available", "", kInst, 0, false, {}},
      {"available", "not", kAvail, 0, false, {}},
      {"installedOrAvailable", "", kInst, 0, true, {}},
      {"installedOrAvailable", "", kAvail, 0, true, {}},
      {"installedOrAvailable", "", kNone, 0, false, {}},
      {"installing", "", kIng, 0, true, {1}},
      {"installing", "", kIng | kAvail, 0, true, {1}},
      {"installing", "", kAvail, 0, false, {1}},
      {"installing", "", kAvail, 8, true, {1}},
      {"installing", "", kAvail, 0xFFFFFFF7u, false, {1}},
      {"installing", "", kNone, 8, false, {}},
      {"installing", "", kInst, 0, false, {}},
      {"installing", "not", kAvail, 0, true, {2}},
      {"installing", "not", kIng, 0, false, {}},
      {"notInstalling", "", kAvail, 0, true, {2}},
      {"notInstalling", "", kIng | kAvail, 0, false, {}},
      {"notInstalling", "", kNone, 0, true, {}},
      {"notInstalling", "not", kIng, 0, true, {1}},
      {"notInstalling", "not", kAvail, 8, true, {1}},
      {"installedOrInstalling", "", kInst | kAvail, 0, true, {}},
      {"installedOrInstalling", "", kIng, 0, true, {1}},
      {"installedOrInstalling", "", kAvail, 0, false, {1}},
      {"installedOrInstalling", "", kAvail, 8, true, {1}},
      {"installedOrInstalling", "not", kAvail, 0, true, {2}},
      {"installedOrInstalling", "not", kInst, 0, false, {}},
      {"notInstalledOrInstalling", "", kInst, 0, false, {}},
      {"notInstalledOrInstalling", "", kIng, 0, false, {}},
      {"notInstalledOrInstalling", "", kAvail, 0, true, {2}},
      {"notInstalledOrInstalling", "", kNone, 0, true, {}},
      {"notInstalledOrInstalling", "not", kInst, 0, true, {}},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    fx.engine.SetOptions(c.options);
    // Records outside the condition's range never count.
    fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"3.0"));
    fx.engine.AddInstallingProduct(Guid(kKeyA), VersionNumber(L"0.9"));
    fx.engine.AddAvailableProduct(Guid(kKeyA), VersionNumber(L"2.0.0.1"));
    if (c.sets & kInst) fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"1.0"));
    if (c.sets & kIng) fx.engine.AddInstallingProduct(Guid(kKeyA), VersionNumber(L"1.5"));
    if (c.sets & kAvail) fx.engine.AddAvailableProduct(Guid(kKeyA), VersionNumber(L"2.0"));
    const std::string xml = "<conditions>" + ProductA(c.status, c.logic) + "</conditions>";
    EXPECT_EQ(fx.Evaluate(xml), c.expected) << xml << " sets " << c.sets;
    std::vector<int32_t> requirements;
    for (const RequiredItem& item : fx.tree->RequiredProducts()) {
      requirements.push_back(item.requirement);
      EXPECT_EQ(item.record->Status(), item.requirement == 1 && (c.sets & kIng)
                                           ? InstallStatus::Installing
                                           : InstallStatus::Available)
          << xml;
    }
    EXPECT_EQ(requirements, c.requirements) << xml << " sets " << c.sets;
    EXPECT_TRUE(fx.tree->RequiredDistributions().empty());
  }
}

TEST(ConditionTreeTest, SuitesHaveNoInstalledSet) {
  RulesFixture fx;
  const std::string suite = "<suite guid='" + Narrow(kKeyA) + "' verMin='1' verMax='2' lang=''";
  EXPECT_FALSE(fx.Evaluate("<conditions>" + suite + " status='installed'/></conditions>"));
  EXPECT_TRUE(fx.Evaluate("<conditions>" + suite + " status='notInstalled'/></conditions>"));
  fx.engine.AddInstallingSuite(Guid(kKeyA), VersionNumber(L"1.5"), L"1033");
  EXPECT_TRUE(fx.Evaluate("<conditions>" + suite + " status='installing'/></conditions>"));
  ASSERT_EQ(fx.tree->RequiredSuites().size(), 1u);
  EXPECT_TRUE(fx.tree->RequiredProducts().empty());
}

TEST(ConditionTreeTest, DistributionLanguages) {
  struct Case {
    const char* conditionLang;
    const wchar_t* recordLang;
    bool expected;
  };
  const Case cases[] = {
      {"1033, 1031", L"1031,1033", true},
      {"1033, 1031", L"1033", false},
      {"1033, 1031", L"", false},
      {"", L"1033", true},
      {"", L"", true},
      {"1033", L"1033,1033", false},
      {"0x409", L"1033", true},
      {"1033,1033", L"1033,1031", false},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    fx.engine.AddInstalledDistribution(Guid(kKeyB), VersionNumber(L"5.0"), c.recordLang);
    const std::string xml = "<conditions><distribution guid='" + Narrow(kKeyB) +
                            "' status='installed' verMin='5' verMax='5' lang='" + c.conditionLang +
                            "'/></conditions>";
    EXPECT_EQ(fx.Evaluate(xml), c.expected) << xml;
  }
}

TEST(ConditionTreeTest, VersionRanges) {
  struct Case {
    const wchar_t* installed;
    const char* verMin;
    const char* verMax;
    bool expected;
  };
  const Case cases[] = {
      {L"1.2.3.100", "1.0", "1.2.4.99", false},  // the fourth field outranks the third
      {L"1.2.4.99", "1.0", "1.2.3.100", true},
      {L"1.0", "1.0", "1.0.0.0", true},
      {L"0.9", "1.0", "2.0", false},
      {L"2.0.0.1", "1.0", "2.0", false},
      {L"2", "1.0", "2.0", true},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(c.installed));
    const std::string xml = "<conditions><product upc='" + Narrow(kKeyA) +
                            "' status='installed' verMin='" + c.verMin + "' verMax='" + c.verMax +
                            "'/></conditions>";
    EXPECT_EQ(fx.Evaluate(xml), c.expected) << xml;
  }
}

TEST(ConditionTreeTest, PackageVersionRanges) {
  struct Case {
    const wchar_t* installed;
    bool expected;
  };
  const Case cases[] = {
      {L"1.0~rc1", false}, {L"1.0", true}, {L"1.5-2", true}, {L"2.0", true}, {L"2.0-1", false},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    fx.engine.AddInstalledPackage(Guid(L"libexample"), PackageVersion(c.installed));
    EXPECT_EQ(fx.Evaluate("<conditions><package id='LibExample' status='installed' verMin='1.0' "
                          "verMax='2.0'/></conditions>"),
              c.expected)
        << "installed " << std::string(c.installed, c.installed + std::wcslen(c.installed));
  }
}

TEST(ConditionTreeTest, LoadErrors) {
  const std::string a = Narrow(kKeyA);
  struct Case {
    std::string body;
    uint32_t status;
  };
  const std::vector<Case> cases = {
      {"<Product upc='" + a + "' status='installed' verMin='1' verMax='2'/>", kWsXmlUnknown},
      {"<unknown/>", kWsXmlUnknown},
      {"<or><and><msi>A</msi><Or/></and></or>", kWsXmlUnknown},
      {"<product upc='" + a + "' status='removed' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<product upc='" + a + "' status='' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<product upc='" + a + "' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<product status='installed' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<product upc='' status='installed' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<product upc='" + a + "' status='installed' verMax='2'/>", kWsXmlUnreadable},
      {"<product upc='" + a + "' status='installed' verMin='1' verMax=''/>", kWsXmlUnreadable},
      {"<product upc='" + a + "' status='installed' verMin='abc' verMax='2'/>", kWsXmlBadValue},
      {"<product upc='" + a + "' status='installed' verMin='1' verMax='.'/>", kWsXmlBadValue},
      {"<distribution guid='" + a + "' status='installed' verMin='1' verMax='2'/>",
       kWsXmlUnreadable},
      {"<suite guid='" + a + "' status='installed' verMin='1' verMax='2'/>", kWsXmlUnreadable},
      {"<suite upc='" + a + "' status='installed' verMin='1' verMax='2' lang=''/>",
       kWsXmlUnreadable},
      {"<distribution guid='" + a + "' status='installed' verMin='x' verMax='2'/>", kWsXmlBadValue},
      {"<package id='" + a + "' status='installed' verMin='' verMax='2'/>", kWsXmlUnreadable},
      {"<operatingSystem os='Windows' verMin='x'/>", kWsXmlBadValue},
      {"<operatingSystem bits='abc'/>", kWsXmlBadValue},
      {"<operatingSystem suiteMask=' 1'/>", kWsXmlBadValue},
      {"<operatingSystem productType=''/>", kWsXmlBadValue},
      // Accepted forms.
      {"<product upc='" + a + "' status='INSTALLEDORAVAILABLE' verMin='1' verMax='2'/>", 0},
      {"<product upc='NotAGuid' status='installed' verMin='1' verMax='2'/>", 0},
      {"<distribution guid='" + a + "' status='installed' verMin='1' verMax='2' lang=''/>", 0},
      {"<package id='pkg' status='installed' verMin='abc' verMax='~'/>", 0},
      {"<operatingSystem/>", 0},
      {"<operatingSystem suiteMask='0x10' bits='64' verMin='' verMax='6.1'/>", 0},
      {"<msi/>", 0},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    const std::string xml = "<conditions>" + c.body + "</conditions>";
    EXPECT_EQ(fx.LoadStatus(xml), c.status) << xml;
  }
}

TEST(ConditionTreeTest, NestingIsLimited) {
  auto nested = [](int levels) {
    std::string xml = "<conditions>";
    for (int i = 1; i < levels; ++i) xml += "<and>";
    for (int i = 1; i < levels; ++i) xml += "</and>";
    return xml + "</conditions>";
  };
  RulesFixture fx;
  EXPECT_EQ(fx.LoadStatus(nested(ConditionTree::kMaxDepth)), 0u);
  EXPECT_TRUE(fx.tree->Evaluate());
  EXPECT_EQ(fx.LoadStatus(nested(ConditionTree::kMaxDepth + 1)), kWsXmlUnreadable);
  EXPECT_EQ(fx.LoadStatus(nested(100000)), kWsXmlUnreadable);
  // The depth count unwinds after an error: a tree at the limit builds again.
  EXPECT_EQ(fx.LoadStatus(nested(ConditionTree::kMaxDepth)), 0u);
}

TEST(ConditionTreeTest, TreeWithoutRoot) {
  RulesFixture fx;
  ConditionTree tree(&fx.engine, pugi::xml_node());
  EXPECT_EQ(StatusOf([&] { tree.Evaluate(); }), kWsInternal);
  EXPECT_EQ(StatusOf([&] { (void)tree.Result(); }), kWsInternal);
  EXPECT_TRUE(tree.LeafRecords(kConditionProduct).empty());
}

TEST(ConditionTreeTest, OperatingSystem) {
  struct Case {
    const char* attributes;
    bool expected;
  };
  // The fixture's machine: 6.1 SP 1.0, workstation, 64-bit, UI 9/1, user 7/1.
  const Case cases[] = {
      {"os='windows' verMin='0'", false},  // verMax absent reads 0.0.0.0
      {"os='Windows' verMin='5.1' verMax='6.3'", true},
      {"verMin='5.1' verMax='6.3'", false},
      {"os='Linux' verMin='5.1' verMax='6.3'", false},
      {"os='WINDOWS' verMin='6.1' verMax='6.1'", true},
      {"os='Windows' verMin='6.2' verMax='6.3'", false},
      {"os='Windows' verMin='6.1' verMax='6.1' logic='not'", false},
      {"os='Windows' verMin='6.2' verMax='6.3' logic='not'", true},
      {"os='Windows' verMax='10' productType='1'", true},
      {"os='Windows' verMax='10' productType='3'", false},
      {"os='Windows' verMax='10' servicePackMajor='1' servicePackMinor='0'", true},
      {"os='Windows' verMax='10' servicePackMajor='2'", false},
      {"os='Windows' verMax='10' servicePackMinor='1'", false},
      {"os='Windows' verMax='10' bits='64'", true},
      {"os='Windows' verMax='10' bits='0x40'", true},
      {"os='Windows' verMax='10' bits='32'", false},
      {"os='Windows' verMax='10' primaryLang='9' subLang='1'", true},
      {"os='Windows' verMax='10' primaryLang='7'", false},
      {"os='Windows' verMax='10' subLang='2'", false},
      {"os='Windows' verMax='10' userPrimaryLocale='7' userSubLocale='1'", true},
      {"os='Windows' verMax='10' userPrimaryLocale='9'", false},
      {"os='Windows' verMax='10' userSubLocale='0'", false},
      // Values from 0x80000000 up count as not given.
      {"os='Windows' verMax='10' bits='4294967295' productType='0x80000000'", true},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    const std::string xml =
        std::string("<conditions><operatingSystem ") + c.attributes + "/></conditions>";
    EXPECT_EQ(fx.Evaluate(xml), c.expected) << xml;
  }
}

TEST(ConditionTreeTest, OnlyAnNtPlatformIsWindows) {
  RulesFixture fx;
  const char* kAnyWindows = "<conditions><operatingSystem os='Windows' verMax='99'/></conditions>";
  ASSERT_TRUE(fx.Evaluate(kAnyWindows));
  OSVERSIONINFOEXW os = fx.engine.GetOsVersionInfo();
  for (DWORD platform : {DWORD{0}, DWORD{1}, DWORD{10}}) {
    os.dwPlatformId = platform;
    fx.engine.SetOsVersionInfo(os);
    EXPECT_FALSE(fx.Evaluate(kAnyWindows)) << "platform id " << platform;
  }
}

TEST(ConditionTreeTest, SuiteMaskBeforeAndFromVersionSix) {
  RulesFixture fx;
  OSVERSIONINFOEXW os = fx.engine.GetOsVersionInfo();
  os.dwMajorVersion = 5;
  os.wSuiteMask = 0x300;
  fx.engine.SetOsVersionInfo(os);
  EXPECT_TRUE(
      fx.Evaluate("<conditions><operatingSystem os='Windows' verMax='10' "
                  "suiteMask='0x300'/></conditions>"));
  EXPECT_FALSE(
      fx.Evaluate("<conditions><operatingSystem os='Windows' verMax='10' "
                  "suiteMask='0x100'/></conditions>"));

  // From 6 on the value is the edition number, whatever the suite mask holds.
  os.dwMajorVersion = 6;
  fx.engine.SetOsVersionInfo(os);
  DWORD edition = 0;
  ASSERT_TRUE(GetProductInfo(6, 1, 1, 0, &edition));
  const std::string withEdition =
      "<conditions><operatingSystem os='Windows' verMax='10' "
      "suiteMask='" +
      std::to_string(edition) + "'/></conditions>";
  EXPECT_TRUE(fx.Evaluate(withEdition));
  if (edition != 0x300) {
    EXPECT_FALSE(
        fx.Evaluate("<conditions><operatingSystem os='Windows' verMax='10' "
                    "suiteMask='0x300'/></conditions>"));
  }
}

TEST(ConditionTreeTest, MsiConditionsAreRegisteredOnce) {
  RulesFixture fx;
  fx.Build(
      "<conditions><msi>VersionNT &gt;= 600</msi><or><msi>VersionNT &gt;= 600</msi>"
      "<msi logic='not'>Installed</msi></or></conditions>");
  EXPECT_EQ(fx.engine.MsiConditions().Pending().size(), 2u);
  EXPECT_EQ(fx.engine.MsiConditions().Pending().count(L"VersionNT >= 600"), 1u);
  // Unresolved texts read false; the negated one is therefore true.
  EXPECT_FALSE(fx.tree->Evaluate());
  const auto& children = static_cast<OperatorCondition*>(fx.tree->Root())->Children();
  EXPECT_FALSE(children[0]->LastResult());
  EXPECT_TRUE(children[1]->LastResult());
}

TEST(ConditionTreeTest, LeafRecordsInDocumentOrder) {
  RulesFixture fx;
  const std::string a = Narrow(kKeyA), b = Narrow(kKeyB), c = Narrow(kKeyC);
  fx.Build("<conditions><product upc='" + a +
           "' status='installed' verMin='1' verMax='2'/><or><operatingSystem/>"
           "<suite guid='" +
           b +
           "' status='installed' verMin='1' verMax='2' lang=''/></or><msi>x</msi>"
           "<distribution guid='" +
           c + "' status='installed' verMin='1' verMax='2' lang='1033'/></conditions>");
  fx.tree->Evaluate();
  const InstallerRecords& records = fx.tree->LeafRecords(kConditionDistribution);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]->Key(), Guid(kKeyA));
  EXPECT_EQ(records[1]->Key(), Guid(kKeyB));
  EXPECT_EQ(records[2]->Key(), Guid(kKeyC));
  EXPECT_EQ(records[2]->Type(), ItemType::Distribution);
  EXPECT_EQ(records[2]->Languages(), WsString(L"1033"));
  EXPECT_EQ(fx.tree->LeafRecords(kConditionProduct).size(), 3u);
}

}  // namespace
