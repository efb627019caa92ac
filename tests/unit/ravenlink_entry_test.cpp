#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalog/display_name.h"
#include "catalog/ravenlink_entry.h"
#include "packet/xml_helpers.h"
#include "rules_fixture.h"

namespace {

std::string Key(const wchar_t* key) {
  return std::string(key, key + std::wcslen(key));
}

// Holds the document the entry reads, as the session's answer packet does.
struct EntryDocument {
  explicit EntryDocument(const std::string& xml) { document.LoadFromBuffer(xml); }
  WsRavenlinkEntry Entry(uint32_t language = 9) const {
    return WsRavenlinkEntry(document.Root(), language);
  }
  WsXmlDocument document;
};

uint32_t ReadStatus(const std::string& xml) {
  return StatusOf([&] { EntryDocument(xml).Entry(); });
}

std::string Notification(const std::string& attributes, const std::string& body) {
  return "<notification " + attributes + ">" + body + "</notification>";
}

const char* const kStatus = "<status code='live'/>";

TEST(RavenlinkEntryTest, ReadsIdentity) {
  EntryDocument doc(
      "<notification minEngineVersion='17.0.0'><ID>n-1</ID>"
      "<targetApplication>Setup</targetApplication><severity>Critical</severity>"
      "<messageFamily>drivers</messageFamily><status code='live'/><conditions/>"
      "</notification>");
  const WsRavenlinkEntry entry = doc.Entry();
  EXPECT_FALSE(entry.IsUnsupported());
  EXPECT_EQ(entry.Id(), WsString(L"n-1"));
  EXPECT_EQ(entry.TargetApplication(), WsString(L"Setup"));
  EXPECT_EQ(entry.Severity(), 2);
  EXPECT_EQ(entry.MessageFamily(), WsString(L"drivers"));
  EXPECT_EQ(entry.StatusCode(), WsString(L"live"));
  EXPECT_EQ(entry.MinEngineVersion(), WsString(L"17.0.0"));
  EXPECT_TRUE(IsNode(entry.ConditionsElement()));
  // Without messages there are no texts.
  EXPECT_TRUE(entry.Title().empty());
  EXPECT_EQ(entry.DisplayNameCount(), 0u);
}

TEST(RavenlinkEntryTest, Severity) {
  struct Case {
    const char* element;
    int32_t severity;
    uint32_t status;
  };
  const Case cases[] = {
      {"<severity>ServicePack</severity>", 5, 0},
      {"<severity>upgrade</severity>", 4, 0},
      {"<severity>INFO</severity>", 0, 0},
      {"<severity>warning</severity>", 1, 0},
      {"<severity>Critical</severity>", 2, 0},
      {"<severity>fatal</severity>", 3, 0},
      {"<severity>Information</severity>", 0, kWsXmlBadValue},
      {"<severity> Info</severity>", 0, kWsXmlBadValue},
      {"<severity/>", 0, kWsXmlBadValue},
      {"", 0, kWsXmlBadValue},
  };
  for (const Case& c : cases) {
    const std::string xml = Notification("", std::string(c.element) + kStatus);
    EXPECT_EQ(ReadStatus(xml), c.status) << xml;
    if (c.status == 0) {
      EXPECT_EQ(EntryDocument(xml).Entry().Severity(), c.severity) << xml;
    }
  }
}

TEST(RavenlinkEntryTest, EngineVersion) {
  struct Case {
    const char* minimum;
    bool unsupported;
  };
  const Case cases[] = {
      {"", false},      {"17.0.0", false}, {"16.5", false}, {"17", false},
      {"17.0.1", true}, {"18", true},      {"abc", true},   {"17.0.0.1", true},
      {"99.0", true},   {"0", false},      {"17.1", true},  {".", true},
  };
  for (const Case& c : cases) {
    // Severity and status are missing: only a supported entry reads them.
    const std::string xml = Notification(std::string("minEngineVersion='") + c.minimum + "'", "");
    const uint32_t status = ReadStatus(xml);
    if (c.unsupported) {
      EXPECT_EQ(status, 0u) << xml;
      EXPECT_TRUE(EntryDocument(xml).Entry().IsUnsupported()) << xml;
    } else {
      EXPECT_EQ(status, kWsXmlBadValue) << xml;
    }
  }
}

TEST(RavenlinkEntryTest, MissingStatusElement) {
  EXPECT_EQ(ReadStatus(Notification("", "<severity>Info</severity>")), kWsXmlUnknown);
  EXPECT_EQ(ReadStatus(Notification("", "<severity>Info</severity><Status/>")), kWsXmlUnknown);
  EXPECT_EQ(ReadStatus(Notification("", "<severity>Info</severity><status/>")), 0u);
}

TEST(RavenlinkEntryTest, MessageChoiceByLanguage) {
  struct Case {
    std::vector<const char*> langs;  // the "lang" of each message; its title is its position
    uint32_t language;
    const wchar_t* title;  // empty: nothing chosen
  };
  const Case cases[] = {
      {{"9", "7", "7"}, 7, L"2"},
      {{"9", "7", "7"}, 12, L"0"},
      {{"7", "9"}, 12, L"1"},
      {{"9", "9"}, 12, L"0"},
      {{"9", "12"}, 12, L"1"},
      {{"12", "9"}, 12, L"0"},
      {{"0x9"}, 12, L"0"},
      {{"0xC", "9"}, 12, L"0"},
      {{" 9"}, 12, L""},
      {{"9a"}, 12, L""},
      {{""}, 12, L""},
      {{"7"}, 12, L""},
      {{}, 9, L""},
  };
  for (const Case& c : cases) {
    std::string messages = "<messages>";
    for (size_t i = 0; i < c.langs.size(); ++i) {
      messages += std::string("<message lang='") + c.langs[i] + "'><title>" + std::to_string(i) +
                  "</title><body>b" + std::to_string(i) + "</body></message>";
    }
    messages += "<other lang='12'><title>x</title></other></messages>";
    const std::string xml =
        Notification("", std::string("<severity>Info</severity>") + kStatus + messages);
    const WsRavenlinkEntry entry = EntryDocument(xml).Entry(c.language);
    EXPECT_EQ(entry.Title(), WsString(c.title)) << xml << " language " << c.language;
    if (*c.title != 0) {
      EXPECT_EQ(entry.Body(), L"b" + WsString(c.title)) << xml;
    }
  }
}

TEST(RavenlinkEntryTest, MessageTextsGetWindowsLineEnds) {
  const WsRavenlinkEntry entry =
      EntryDocument(Notification("", std::string("<severity>Info</severity>") + kStatus +
                                         "<messages><message lang='9'><title>T</title>"
                                         "<body>line one\nline two\r\nthree</body>"
                                         "<moreInfoUrl>https://example.invalid/x</moreInfoUrl>"
                                         "</message></messages>"))
          .Entry();
  EXPECT_EQ(entry.Body(), WsString(L"line one\r\nline two\r\nthree"));
  EXPECT_EQ(entry.MoreInfoUrl(), WsString(L"https://example.invalid/x"));
}

TEST(RavenlinkEntryTest, DisplayNameTexts) {
  const WsRavenlinkEntry entry =
      EntryDocument(Notification("", std::string("<severity>Info</severity>") + kStatus +
                                         "<messages><message lang='9'><displayNames>"
                                         "<displayName>Plain</displayName>"
                                         "<displayName verMin='1.0' verMax='2.0' guid='{G}' "
                                         "invertedRange='TRUE'>Full</displayName>"
                                         "<displayName invertedRange='yes'/>"
                                         "<other>Ignored</other>"
                                         "</displayNames></message></messages>"))
          .Entry();
  ASSERT_EQ(entry.DisplayNameCount(), 3u);
  EXPECT_EQ(entry.DisplayNameText(0), WsString(L"Plain"));
  EXPECT_EQ(entry.DisplayNameMinimum(0), WsString(L"-1"));
  EXPECT_EQ(entry.DisplayNameMaximum(0), WsString(L"-1"));
  EXPECT_TRUE(entry.DisplayNameGuid(0).empty());
  EXPECT_EQ(entry.DisplayNameFlags(0), 0);
  EXPECT_EQ(entry.DisplayNameText(1), WsString(L"Full"));
  EXPECT_EQ(entry.DisplayNameMinimum(1), WsString(L"1.0"));
  EXPECT_EQ(entry.DisplayNameMaximum(1), WsString(L"2.0"));
  EXPECT_EQ(entry.DisplayNameGuid(1), WsString(L"{G}"));
  EXPECT_EQ(entry.DisplayNameFlags(1), kDisplayNameInvertedRange);
  EXPECT_EQ(entry.DisplayNameFlags(2), 0);
  EXPECT_EQ(&entry.DisplayNameText(3), &EmptyString());
  EXPECT_EQ(&entry.DisplayNameGuid(99), &EmptyString());
  EXPECT_EQ(entry.DisplayNameFlags(3), 0);
  EXPECT_EQ(StatusOf([&] { entry.GetDisplayNames().At(3); }), kWsBadHandle);
}

TEST(DisplayNameTest, GuidTextSplitsAsTheExpressionDoes) {
  const std::wregex pattern(L"(\\{[^\\}]*\\})([^-]*)-(.*)");
  const wchar_t* const texts[] = {
      L"{G}8.5-9.0", L"{G}-",     L"{G}",      L"{G}8.5",    L"G}8.5-9", L"{G8.5-9", L"{a-b}1-2",
      L"{G}1-2-3",   L"{G}\n1-2", L"{G}1-2\n", L"{G}1-2\r3", L"",        L"x{G}1-2", L"{}{}-}",
  };
  for (const wchar_t* text : texts) {
    std::wsmatch match;
    const std::wstring whole(text);
    const bool expected = std::regex_match(whole, match, pattern);
    WsString braced, minimum, maximum;
    EXPECT_EQ(SplitDisplayNameGuid(text, braced, minimum, maximum), expected)
        << std::string(whole.begin(), whole.end());
    if (expected) {
      EXPECT_EQ(braced, WsString(match[1].str()));
      EXPECT_EQ(minimum, WsString(match[2].str()));
      EXPECT_EQ(maximum, WsString(match[3].str()));
    }
  }
}

// An entry attached to the fixture's engine, with its conditions and display names.
struct AttachedEntry {
  AttachedEntry(RulesFixture& fx, const std::string& conditions, const std::string& names)
      : doc(Notification("", std::string("<ID>x</ID><severity>Info</severity>") + kStatus +
                                 conditions + "<messages><message lang='9'><displayNames>" + names +
                                 "</displayNames></message></messages>")),
        entry(doc.Entry()) {
    entry.AttachToSession(nullptr, fx.engine);
  }
  EntryDocument doc;
  WsRavenlinkEntry entry;
};

TEST(DisplayNameTest, ResolveMarksNamesOfTrueProductConditions) {
  const std::string g = Key(kKeyA);
  struct Case {
    std::string conditions;
    std::string guid;
    bool applies;
  };
  auto product = [&](const char* verMin, const char* verMax, const char* extra = "") {
    return "<product upc='" + g + "' status='installed' verMin='" + verMin + "' verMax='" + verMax +
           "' " + extra + "/>";
  };
  const std::vector<Case> cases = {
      {product("8.0", "10.0"), g + "8.5-9.0", true},
      {product("8.6", "10.0"), g + "8.5-9.0", false},
      // An empty maximum reads 0.0.0.0, which every range contains as an upper end.
      {product("8.0", "10.0"), g + "8.5-", true},
      {product("8.0", "10.0"), g + "7.5-", false},
      {product("9.0", "9.0"), g, true},  // a bare guid applies whatever the range
      {product("9.0", "9.0"), Key(kKeyB), false},
      {product("9.0", "9.0"), "", false},
      // A false product does not mark, nor does one under a false branch of a true OR.
      {product("20", "30"), g, false},
      {"<or>" + product("20", "30") + "<operatingSystem os='Windows' verMax='9'/></or>", g, false},
      {"<or>" + product("8", "10") + "<operatingSystem os='Windows' verMax='9'/></or>", g, true},
      // A negated product that is true still marks its names.
      {product("20", "30", "logic='not'"), g + "25-26", true},
      // Other kinds never mark.
      {"<distribution guid='" + g + "' status='installed' verMin='8' verMax='10' lang=''/>", g,
       false},
  };
  for (const Case& c : cases) {
    RulesFixture fx;
    fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"9.0"));
    fx.engine.AddInstalledDistribution(Guid(kKeyA), VersionNumber(L"9.0"), L"");
    AttachedEntry attached(fx, "<conditions>" + c.conditions + "</conditions>",
                           "<displayName guid='" + c.guid + "'>Name</displayName>");
    attached.entry.IsApplicable();
    EXPECT_EQ(attached.entry.DisplayNameFlags(0), c.applies ? kDisplayNameApplies : 0)
        << c.conditions << " guid " << c.guid;
  }
}

TEST(RavenlinkEntryTest, ApplicabilityIsEvaluatedOnceAndCopied) {
  RulesFixture fx;
  AttachedEntry attached(fx,
                         "<conditions><product upc='" + Key(kKeyA) +
                             "' status='installed' verMin='1' verMax='2'/></conditions>",
                         "<displayName guid='" + Key(kKeyA) + "'/>");
  WsRavenlinkEntry& entry = attached.entry;
  EXPECT_FALSE(entry.IsEvaluated());
  EXPECT_FALSE(entry.IsApplicable());
  EXPECT_TRUE(entry.IsEvaluated());
  // The verdict is cached: a change of the machine is not seen.
  fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"1.5"));
  EXPECT_FALSE(entry.IsApplicable());

  const WsRavenlinkEntry copy(entry);
  EXPECT_TRUE(copy.IsEvaluated());
  EXPECT_NE(&copy.GetConditionTree(), &entry.GetConditionTree());
  EXPECT_TRUE(copy.GetConditionTree().Evaluate());

  // An unattached entry has no tree.
  const WsRavenlinkEntry unattached = attached.doc.Entry();
  EXPECT_EQ(StatusOf([&] { unattached.GetConditionTree(); }), kWsMissingData);
  WsRavenlinkEntry unattachedCopy(unattached);
  EXPECT_EQ(StatusOf([&] { unattachedCopy.IsApplicable(); }), kWsMissingData);
  EXPECT_EQ(StatusOf([&] { unattached.ConcernsProduct(Guid(kKeyA), VersionNumber(1, 0)); }),
            kWsMissingData);
}

TEST(RavenlinkEntryTest, ConcernsQueries) {
  RulesFixture fx;
  const std::string a = Key(kKeyA), b = Key(kKeyB), c = Key(kKeyC);
  AttachedEntry attached(
      fx,
      "<conditions><or><product upc='" + a +
          "' status='installed' verMin='1.0' verMax='2.0'/>"
          "<distribution guid='" +
          b +
          "' status='notInstalled' verMin='1.0' verMax='2.0' lang=''/></or>"
          "<distribution guid='" +
          c +
          "' status='notInstalled' verMin='1.0' verMax='2.0' lang='1033'/>"
          "<suite guid='" +
          c + "' status='notInstalled' verMin='3.0' verMax='4.0' lang=''/></conditions>",
      "");
  WsRavenlinkEntry& entry = attached.entry;
  entry.IsApplicable();
  struct Case {
    int kind;  // 0 product, 1 distribution, 2 suite
    const wchar_t* key;
    const wchar_t* version;
    bool expected;
  };
  const Case cases[] = {
      {0, kKeyA, L"1.5", true},  {0, kKeyA, L"2.0", true},  {0, kKeyA, L"2.0.0.1", false},
      {0, kKeyB, L"1.5", false}, {1, kKeyB, L"1.0", true},  {1, kKeyA, L"1.5", false},
      {1, kKeyC, L"1.5", false},  // names languages
      {2, kKeyC, L"3.5", true},  {2, kKeyC, L"1.5", false}, {1, kKeyC, L"3.5", false},
  };
  for (const Case& q : cases) {
    const Guid key(q.key);
    const VersionNumber version(q.version);
    const bool result = q.kind == 0   ? entry.ConcernsProduct(key, version)
                        : q.kind == 1 ? entry.ConcernsDistribution(key, version)
                                      : entry.ConcernsSuite(key, version);
    EXPECT_EQ(result, q.expected) << q.kind << " "
                                  << std::string(q.version, q.version + std::wcslen(q.version));
  }
}

TEST(RavenlinkEntryTest, ConditionLoadErrorsPropagateFromAttach) {
  RulesFixture fx;
  EntryDocument doc(Notification("", std::string("<severity>Info</severity>") + kStatus +
                                         "<conditions><product upc='x' status='gone' verMin='1' "
                                         "verMax='2'/></conditions>"));
  WsRavenlinkEntry entry = doc.Entry();
  EXPECT_EQ(StatusOf([&] { entry.AttachToSession(nullptr, fx.engine); }), kWsXmlUnreadable);
  // Without a "conditions" element the tree has no root and cannot be evaluated.
  EntryDocument bare(Notification("", std::string("<severity>Info</severity>") + kStatus));
  WsRavenlinkEntry bareEntry = bare.Entry();
  bareEntry.AttachToSession(nullptr, fx.engine);
  EXPECT_EQ(StatusOf([&] { bareEntry.IsApplicable(); }), kWsInternal);
}

// Malformed and hostile documents raise statuses and never crash; the ASan
// build runs these.
TEST(RavenlinkEntryTest, MalformedDocumentsNeverCrash) {
  std::string deep = "<notification><severity>Info</severity><status/><conditions>";
  for (int i = 0; i < 20000; ++i) deep += "<or>";
  for (int i = 0; i < 20000; ++i) deep += "</or>";
  deep += "</conditions></notification>";
  std::string longGuid =
      "<notification><severity>Info</severity><status/><messages>"
      "<message lang='9'><displayNames><displayName guid='{";
  longGuid += std::string(200000, 'a') + "}1-" + std::string(200000, '9') +
              "'/></displayNames></message></messages><conditions><product upc='" + Key(kKeyA) +
              "' status='installed' verMin='1' verMax='2' logic='not'/>"
              "</conditions></notification>";
  const std::vector<std::string> documents = {
      "<notification>",
      "<notification><severity>Info</severity><status/><conditions><and></conditions>",
      "<notification><severity>Info</severity><status/><conditions><product/></conditions>"
      "</notification>",
      "<notification><severity>Info</severity><status/><conditions><msi><msi/></msi>"
      "<operatingSystem os='Windows' verMin='99999999999999999999'/></conditions>"
      "</notification>",
      "<notification><severity>Info</severity><status/><conditions><suite guid='{' "
      "status='available' verMin='4294967296' verMax='-1' lang=',,,'/></conditions>"
      "</notification>",
      "<notification><severity>Info</severity><status/><messages><message lang='0xFFFFFFFFFF'>"
      "<displayNames><displayName guid='{}-'/><displayName guid='{x}--'/></displayNames>"
      "</message></messages><conditions/></notification>",
      "<notification minEngineVersion='4294967295'/>",
      deep,
      longGuid,
  };
  for (const std::string& xml : documents) {
    RulesFixture fx;
    fx.engine.AddInstalledProduct(Guid(kKeyA), VersionNumber(L"1.5"));
    fx.engine.AddAvailableSuite(Guid(L"{"), VersionNumber(L"1"), L",,,");
    try {
      WsXmlDocument document;
      document.LoadFromBuffer(xml);
      WsRavenlinkEntry entry(document.Root(), 9);
      entry.AttachToSession(nullptr, fx.engine);
      entry.IsApplicable();
      entry.ConcernsSuite(Guid(L"{"), VersionNumber(L"1"));
    } catch (const WsStatus&) {
    }
  }
}

}  // namespace
