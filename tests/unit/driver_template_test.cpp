#include <string>

#include <gtest/gtest.h>

#include "rules/driver_template.h"
#include "rules_fixture.h"

namespace {

std::string Key(const wchar_t* key) {
  return std::string(key, key + std::wcslen(key));
}

std::string Product(const wchar_t* key, const char* status, const char* extra = "") {
  return "<product upc='" + Key(key) + "' status='" + status + "' verMin='1' verMax='2' " + extra +
         "/>";
}

struct Expected {
  bool found;
  bool first;
  bool second;
  bool third;
  std::wstring text;
};

void ExpectAnalysis(RulesFixture& fx, const std::string& body, const Expected& expected) {
  fx.Evaluate("<conditions>" + body + "</conditions>");
  DriverTemplateInfo info;
  info.text = L"stale";
  AnalyzeDriverTemplate(*fx.tree, info);
  EXPECT_EQ(info.found, expected.found) << body;
  EXPECT_EQ(info.first, expected.first) << body;
  EXPECT_EQ(info.second, expected.second) << body;
  EXPECT_EQ(info.third, expected.third) << body;
  EXPECT_EQ(info.text, expected.text) << body;
}

// A installed at 1.5, B installing, D installed, C neither.
void Machine(RulesFixture& fx) {
  fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"1.5"));
  fx.engine.AddInstalledProduct(Guid(kKeyD), VersionNumber(L"1.5"));
  fx.engine.AddInstallingProduct(Guid(kKeyB), VersionNumber(L"1.5"));
}

TEST(DriverTemplateTest, NoProductUnderTrueOperators) {
  RulesFixture fx;
  Machine(fx);
  ExpectAnalysis(fx, "<operatingSystem os='Windows' verMax='10'/>",
                 {true, false, false, false, L""});
  // A product under a false OR is not looked at.
  ExpectAnalysis(fx,
                 "<or><or logic='not'>" + Product(kKeyA, "installed") + "</or>" +
                     "<operatingSystem os='Windows' verMax='10'/></or>",
                 {true, false, false, false, L""});
}

TEST(DriverTemplateTest, ShapeTwo) {
  RulesFixture fx;
  Machine(fx);
  // C names A's key, is not installing and so accepts A's installed record.
  const std::string notInstallingA =
      "<product upc='" + Key(kKeyA) + "' status='notInstalling' verMin='1' verMax='2'/>";
  ExpectAnalysis(fx, Product(kKeyA, "installed") + Product(kKeyB, "installing") + notInstallingA,
                 {true, true, true, false, kKeyB});
  // A not-installing product for another key: first false, second from availability.
  ExpectAnalysis(
      fx,
      Product(kKeyA, "installed") + Product(kKeyB, "installing") + Product(kKeyC, "notInstalling"),
      {true, false, false, false, kKeyB});
  fx.engine.AddAvailableProduct(Guid(kKeyC), VersionNumber(L"1.2"));
  ExpectAnalysis(fx,
                 Product(kKeyA, "installed") + Product(kKeyB, "installing") +
                     Product(kKeyC, "installing", "logic='not'"),
                 {true, false, true, false, kKeyB});
}

TEST(DriverTemplateTest, ShapeTwoWithSeveralAnchors) {
  RulesFixture fx;
  Machine(fx);
  ExpectAnalysis(fx,
                 "<and>" + Product(kKeyA, "installed") + Product(kKeyB, "installing") +
                     Product(kKeyC, "notInstalling") + "</and>" + Product(kKeyD, "installed"),
                 {true, false, false, true, kKeyB});
}

TEST(DriverTemplateTest, ShapeOne) {
  RulesFixture fx;
  Machine(fx);
  ExpectAnalysis(
      fx, Product(kKeyA, "installed") + Product(kKeyD, "installed") + Product(kKeyB, "installing"),
      {true, true, false, true, kKeyD});
  // Second installed products taken from an OR child, joined with ";".
  fx.engine.AddInstalledProduct(Guid(kKeyC), VersionNumber(L"1.5"));
  ExpectAnalysis(fx,
                 Product(kKeyA, "installed") + Product(kKeyB, "installing") + "<or>" +
                     Product(kKeyD, "installed") + Product(kKeyC, "installed") + "</or>",
                 {true, true, false, true, std::wstring(kKeyD) + L";" + kKeyC});
}

TEST(DriverTemplateTest, OnlyThreeChildrenUnlessANotInstalledProductWasSeen) {
  RulesFixture fx;
  Machine(fx);
  // The fourth child (D) is classified only after a true not-installed product.
  ExpectAnalysis(fx,
                 Product(kKeyC, "notInstalled") + Product(kKeyA, "installed") +
                     Product(kKeyB, "installing") + Product(kKeyD, "installed"),
                 {true, true, false, true, kKeyD});
  ExpectAnalysis(fx,
                 Product(kKeyC, "installed", "logic='not'") + Product(kKeyA, "installed") +
                     Product(kKeyB, "installing") + Product(kKeyD, "installed"),
                 {true, true, false, true, kKeyD});
  ExpectAnalysis(fx,
                 Product(kKeyA, "available", "logic='not'") + Product(kKeyA, "installed") +
                     Product(kKeyB, "installing") + Product(kKeyD, "installed"),
                 {false, false, false, false, L""});
}

}  // namespace
