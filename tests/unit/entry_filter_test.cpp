#include <string>

#include <gtest/gtest.h>

#include "catalog/content_catalog.h"
#include "catalog/entry_filter.h"
#include "rules_fixture.h"

namespace {

std::string Key(const wchar_t* key) {
  return std::string(key, key + std::wcslen(key));
}

// A notification whose conditions hold exactly when product A is installed.
std::string Notification(const std::string& id, const std::string& title,
                         const std::string& attributes = "", const std::string& severity = "Info") {
  return "<notification " + attributes + "><ID>" + id + "</ID><severity>" + severity +
         "</severity><status code='1'/><conditions><product upc='" + Key(kKeyA) +
         "' status='installed' verMin='1' verMax='2'/><msi logic='not'>Installed</msi></conditions>"
         "<messages><message lang='9'><title>" +
         title + "</title><displayNames><displayName guid='" + Key(kKeyA) +
         "'>A</displayName></displayNames></message></messages></notification>";
}

struct Answer {
  explicit Answer(const std::string& body) { document.LoadFromBuffer("<body>" + body + "</body>"); }
  WsXmlDocument document;
};

uint32_t Filter(RulesFixture& fx, const std::string& body, RavenlinkEntryMap& entries) {
  Answer answer(body);
  // As a session reads it: messages only for the entries kept.
  WsContentCatalog<WsRavenlinkEntry> catalog(answer.document.Root(), 9,
                                             WsRavenlinkEntry::kReadMessageIfKept);
  return CreateEntries(nullptr, fx.engine, catalog, entries);
}

RulesFixture& InstalledA(RulesFixture& fx) {
  fx.engine.MsiConditions().SetPath(L"no-such-dir/none.msm");
  fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"1.5"));
  return fx;
}

TEST(EntryFilterTest, KeepsApplicableEntriesAndCountsUnsupportedOnes) {
  RulesFixture fx;
  RavenlinkEntryMap entries;
  InstalledA(fx);
  const std::string notInstalled =
      "<notification><ID>false</ID><severity>Info</severity><status/><conditions>"
      "<product upc='" +
      Key(kKeyB) + "' status='installed' verMin='1' verMax='2'/></conditions></notification>";
  const uint32_t discarded =
      Filter(fx,
             Notification("new", "N", "minEngineVersion='99.0'", "Bogus") + notInstalled +
                 Notification("b", "first b") + "<other/>" + Notification("a", "A") +
                 Notification("b", "second b") + "<wrap>" + Notification("deep", "D") + "</wrap>",
             entries);
  EXPECT_EQ(discarded, 1u);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries.begin()->first, WsString(L"a"));
  const WsRavenlinkEntry& b = *entries.at(L"b");
  EXPECT_EQ(b.Title(), WsString(L"second b"));
  // The stored copy keeps the verdict and the resolved display names, with a tree of its own.
  EXPECT_TRUE(b.IsEvaluated());
  EXPECT_EQ(b.DisplayNameFlags(0), kDisplayNameApplies);
  EXPECT_NO_THROW(b.GetConditionTree());
  // ...and that tree reads as never evaluated, whatever the verdict says.
  EXPECT_FALSE(b.GetConditionTree().Result());
  EXPECT_TRUE(b.GetConditionTree().RequiredProducts().empty());
  // The MSI text was registered once and stays unresolved without the module.
  EXPECT_EQ(fx.engine.MsiConditions().Pending().size(), 1u);
}

TEST(EntryFilterTest, CatalogErrors) {
  struct Case {
    std::string body;
    uint32_t status;
  };
  const Case cases[] = {
      {"", 0},
      {Notification("x", "X", "", "Information"), kWsXmlBadValue},
      {Notification("x", "X", "minEngineVersion='18'", "Information"), 0},
      {Notification("x", "X") + "<notification><severity>Info</severity></notification>",
       kWsXmlUnknown},
      {Notification("x", "X") + "<notification><severity>Info</severity><status/><conditions>"
                                "<product/></conditions></notification>",
       kWsXmlUnreadable},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    RavenlinkEntryMap entries;
    EXPECT_EQ(StatusOf([&] { Filter(InstalledA(fx), c.body, entries); }), c.status) << c.body;
    // A failure stores nothing, as trees are all built before any evaluation.
    if (c.status != 0) {
      EXPECT_TRUE(entries.empty()) << c.body;
    }
  }
}

TEST(EntryFilterTest, CatalogIndexOutOfRange) {
  Answer answer(Notification("x", "X"));
  const WsContentCatalog<WsRavenlinkEntry> catalog(answer.document.Root(), 9);
  ASSERT_EQ(catalog.Count(), 1u);
  EXPECT_EQ(catalog.At(0).Id(), WsString(L"x"));
  EXPECT_EQ(StatusOf([&] { catalog.At(1); }), kWsNotFound);
}

}  // namespace
