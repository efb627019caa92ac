// The session's answer handling and message queries, fed from saved answers:
// the entries kept by a parse, message order, evaluation on demand, the
// per-item indexes and the requirement records.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "rules_fixture.h"
#include "rules_inventory_fixture.h"
#include "session/ravenlink_session.h"
#include "variant_out.h"
#include "support/temp_dir.h"

namespace {

std::string Narrow(const wchar_t* text) {
  return std::string(text, text + std::wcslen(text));
}

std::string Note(const std::string& id, const std::string& conditions,
                 const std::string& title = "", const std::string& attributes = "",
                 const std::string& severity = "Info") {
  return "<notification " + attributes + "><ID>" + id + "</ID><severity>" + severity +
         "</severity><status/><conditions>" + conditions +
         "</conditions><messages><message lang='9'><title>" + (title.empty() ? id : title) +
         "</title></message></messages></notification>";
}

std::string Answer(const std::string& notifications, const std::string& code = "0") {
  return "<packet><header><server><status code='" + code + "'/></server></header><body>" +
         notifications + "</body></packet>";
}

std::string Product(const wchar_t* key, const std::string& status, const std::string& verMin,
                    const std::string& verMax) {
  return "<product upc='" + Narrow(key) + "' status='" + status + "' verMin='" + verMin +
         "' verMax='" + verMax + "'/>";
}

std::string Distribution(const wchar_t* key, const std::string& status,
                         const std::string& lang = "") {
  return "<distribution guid='" + Narrow(key) + "' status='" + status +
         "' verMin='1' verMax='3' lang='" + lang + "'/>";
}

using Out = VariantOut;

class SessionQueriesTest : public ::testing::Test {
 protected:
  SessionQueriesTest() : session(Client(), 9, kSessionNoQuery) {
    inventory.Write("");
    session.SetMetaUtilsPath(inventory.MissingModule());
  }

  static ClientIdentity Client() {
    ClientIdentity client;
    client.wrapperlib = L"Mine";
    return client;
  }

  // Loads the answer from a file, as a caller would.
  void Load(const std::string& answer) {
    const auto path = dir.path() / "answer.xml";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << answer;
    session.LoadNotificationResponse(WsString(path.wstring()));
  }

  int32_t Count() {
    int32_t count = -1;
    session.GetMessageCount(&count);
    return count;
  }

  std::vector<WsString> Ids() {
    std::vector<WsString> ids;
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
      Out id;
      session.GetMessageId(static_cast<uint32_t>(i), &id);
      ids.push_back(id.text());
    }
    return ids;
  }

  WsString Title(const wchar_t* id) {
    Out title;
    session.GetMessageTitle(id, &title);
    return title.text();
  }

  int32_t ProductCount(const wchar_t* key, const wchar_t* version) {
    int32_t count = -1;
    session.GetProductMessageCount(key, version, &count);
    return count;
  }

  rules_test::InventoryFixture inventory;
  TempDir dir;
  WsRavenlinkSession session;
};

TEST_F(SessionQueriesTest, ParseKeepsApplicableEntriesInOrdinalOrder) {
  Load(Answer(Note("b", "") + Note("B", "") + Note("ab", "") + Note("a", "", "first a") +
              Note("new", "", "", "minEngineVersion='99.0'", "Bogus") +
              Note("never", Product(kKeyA, "installed", "1", "2")) + Note("a", "", "second a")));
  // Nothing is listed before the first evaluation.
  Out id;
  EXPECT_EQ(StatusOf([&] { session.GetMessageId(0, &id); }), kWsNotFound);
  EXPECT_EQ(Ids(), (std::vector<WsString>{L"B", L"a", L"ab", L"b"}));
  EXPECT_EQ(Title(L"a"), WsString(L"second a"));
  EXPECT_EQ(StatusOf([&] { Title(L"never"); }), kWsNotFound);  // dropped at parse
  EXPECT_EQ(StatusOf([&] { Title(L"A"); }), kWsNotFound);      // ids are case-sensitive
  int32_t discarded = -1;
  session.GetDiscardedNotificationCount(&discarded);
  EXPECT_EQ(discarded, 1);
  EXPECT_EQ(StatusOf([&] { session.GetMessageId(4, &id); }), kWsNotFound);
  EXPECT_EQ(StatusOf([&] { session.GetMessageId(0xFFFFFFFF, &id); }), kWsNotFound);
}

TEST_F(SessionQueriesTest, FailedParsesAndTheirEffectOnStoredEntries) {
  Load(Answer(Note("kept", "")));
  ASSERT_EQ(Count(), 1);
  const struct {
    const char* name;
    std::string answer;
    uint32_t status;
    bool entriesKept;
  } rows[] = {
      {"service refused", Answer(Note("x", ""), "10"), 0x80008006, true},
      {"unknown severity", Answer(Note("x", "", "", "", "Information")), kWsXmlBadValue, false},
      {"missing status", Answer("<notification><ID>x</ID><severity>Info</severity></notification>"),
       kWsXmlUnknown, false},
      {"unreadable file", "<packet><body>", kWsXmlUnreadable, true},
  };
  for (const auto& row : rows) {
    Load(Answer(Note("kept", "")));
    EXPECT_EQ(StatusOf([&] { Load(row.answer); }), row.status) << row.name;
    EXPECT_EQ(Count(), row.entriesKept ? 1 : 0) << row.name;
  }
  // An unsupported entry is not read, so its bad severity does no harm.
  Load(Answer(Note("x", "", "", "minEngineVersion='17.0.1'", "Information") + Note("y", "")));
  EXPECT_EQ(Ids(), (std::vector<WsString>{L"y"}));
}

TEST_F(SessionQueriesTest, VerdictsStayUntilResetConditions) {
  session.SetInstallingProduct(kKeyA, L"1.0");
  Load(Answer(Note("always", "") + Note("inst", Product(kKeyA, "installing", "1", "2"))));
  EXPECT_EQ(Ids(), (std::vector<WsString>{L"always", L"inst"}));
  EXPECT_EQ(ProductCount(kKeyA, L"1.5"), 1);

  // Clearing the inputs leaves every cached verdict and the product results.
  session.ClearInstallingInfo();
  EXPECT_EQ(Ids(), (std::vector<WsString>{L"always", L"inst"}));
  EXPECT_EQ(ProductCount(kKeyA, L"1.5"), 1);

  // Reset evaluates the stored entries again; a failing one can still be read by id.
  session.ResetConditions(0);
  EXPECT_EQ(ProductCount(kKeyA, L"1.5"), 0);
  EXPECT_EQ(Ids(), (std::vector<WsString>{L"always"}));
  EXPECT_EQ(Title(L"inst"), WsString(L"inst"));

  // New inputs count only after the next reset.
  session.SetAvailableProduct(kKeyA, L"1.0");
  EXPECT_EQ(Count(), 1);
  session.ResetConditions(kSessionAvailableInstalling);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(session.Flags(), kSessionAvailableInstalling);
}

TEST_F(SessionQueriesTest, ItemMessagesFollowTheConditionsThatNameTheItem) {
  session.SetInstallingProduct(kKeyA, L"1.0");
  Load(Answer(Note("p1", Product(kKeyA, "installing", "1", "2")) +
              Note("p2", "<or>" + Product(kKeyA, "installed", "1.5", "5") +
                             Product(kKeyA, "installing", "1", "2") + "</or>") +
              Note("d", "<or>" + Distribution(kKeyD, "notInstalled") +
                            Distribution(kKeyD, "installed") + "</or>") +
              Note("dl", Distribution(kKeyD, "notInstalled", "1033")) +
              Note("s", "<suite guid='" + Narrow(kKeyC) +
                            "' status='notInstalled' verMin='1' verMax='3' lang=''/>")));
  const struct {
    const char* name;
    int kind;  // 0 product, 1 distribution, 2 suite
    const wchar_t* key;
    const wchar_t* version;
    std::vector<WsString> ids;
  } rows[] = {
      {"product in both ranges", 0, kKeyA, L"1.5", {L"p1", L"p2"}},
      {"product above the first range", 0, kKeyA, L"3", {L"p2"}},
      {"product below every range", 0, kKeyA, L"0.5", {}},
      {"unknown product", 0, kKeyB, L"1.5", {}},
      {"distribution named twice is listed once", 1, kKeyD, L"2", {L"d"}},
      {"distribution outside the range", 1, kKeyD, L"4", {}},
      {"suite", 2, kKeyC, L"2", {L"s"}},
      {"a distribution key is no suite", 2, kKeyD, L"2", {}},
  };
  for (const auto& row : rows) {
    int32_t count = -1;
    if (row.kind == 0) session.GetProductMessageCount(row.key, row.version, &count);
    if (row.kind == 1) session.GetDistributionMessageCount(row.key, row.version, L"1033", &count);
    if (row.kind == 2) session.GetSuiteMessageCount(row.key, row.version, L"", &count);
    ASSERT_EQ(count, static_cast<int32_t>(row.ids.size())) << row.name;
    for (uint32_t i = 0; i <= row.ids.size(); ++i) {
      Out id;
      auto read = [&] {
        if (row.kind == 0) session.GetProductMessageId(row.key, row.version, i, &id);
        if (row.kind == 1) session.GetDistributionMessageId(row.key, row.version, L"", i, &id);
        if (row.kind == 2) session.GetSuiteMessageId(row.key, row.version, L"", i, &id);
      };
      if (i == row.ids.size()) {
        EXPECT_EQ(StatusOf(read), kWsNotFound) << row.name;
      } else {
        read();
        EXPECT_EQ(id.text(), row.ids[i]) << row.name << " " << i;
      }
    }
  }
}

TEST_F(SessionQueriesTest, RequirementRecords) {
  session.SetInstallingProduct(kKeyA, L"1.2");
  session.SetAvailableDistribution(kKeyD, L"2", L"1033");
  Load(Answer(
      Note("r", Product(kKeyA, "installing", "1", "2") + Distribution(kKeyD, "notInstalling"))));
  ASSERT_EQ(Count(), 1);

  // The stored copy keeps the verdict of the parse but records requirements
  // only when it is evaluated again.
  int32_t count = -1;
  session.GetProductRequiredCount(L"r", &count);
  EXPECT_EQ(count, 0);
  session.ResetConditions(0);
  ASSERT_EQ(Count(), 1);
  session.GetProductRequiredCount(L"r", &count);
  EXPECT_EQ(count, 1);
  Out key, version, language;
  int32_t kind = -1, value = -1;
  session.GetProductRequired(L"r", 0, &key, &version, &kind, &value);
  EXPECT_EQ(key.text(), WsString(kKeyA));
  EXPECT_EQ(version.text(), WsString(L"1.2"));
  EXPECT_EQ(kind, kRequirementRequired);
  EXPECT_EQ(value, static_cast<int32_t>(InstallStatus::Installing));

  session.GetDistributionRequiredCount(L"r", &count);
  EXPECT_EQ(count, 1);
  session.GetDistributionRequired(L"r", 0, &key, &version, &language, &kind, &value);
  EXPECT_EQ(key.text(), WsString(kKeyD));
  EXPECT_EQ(version.text(), WsString(L"2"));
  EXPECT_EQ(language.text(), WsString(L"1033"));
  EXPECT_EQ(kind, kRequirementExcluded);
  EXPECT_EQ(value, static_cast<int32_t>(InstallStatus::Available));

  // Cleared inputs stay readable as the last evaluation recorded them.
  session.ClearInstallingInfo();
  session.GetProductRequired(L"r", 0, &key, &version, &kind, &value);
  EXPECT_EQ(version.text(), WsString(L"1.2"));
  EXPECT_EQ(value, static_cast<int32_t>(InstallStatus::Installing));

  session.GetSuiteRequiredCount(L"r", &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(StatusOf([&] {
              session.GetSuiteRequired(L"r", 0, &key, &version, &language, &kind, &value);
            }),
            kWsNotFound);
  EXPECT_EQ(StatusOf([&] { session.GetProductRequiredCount(L"none", &count); }), kWsNotFound);
}

TEST_F(SessionQueriesTest, MessageTextsAndDisplayNames) {
  Load(Answer(
      "<notification><ID>m</ID><targetApplication>Mine</targetApplication>"
      "<severity>servicepack</severity><status/><conditions/><messages>"
      "<message lang='9'><title>T</title><body>line1\nline2</body><moreInfoUrl>U</moreInfoUrl>"
      "<displayNames><displayName guid='{X}' verMin='8.5' verMax='9' invertedRange='true'>"
      "Shown</displayName><displayName>Plain</displayName></displayNames>"
      "</message></messages></notification>"));
  ASSERT_EQ(Count(), 1);
  Out title, body, url;
  session.GetMessageInfo(0, L"ignored", &title, &body, &url);
  EXPECT_EQ(title.text(), WsString(L"T"));
  EXPECT_EQ(body.text(), WsString(L"line1\r\nline2"));
  EXPECT_EQ(url.text(), WsString(L"U"));
  session.GetMessageInfo(0, L"", nullptr, nullptr, nullptr);  // nothing asked, nothing fails
  Out target;
  session.GetTargetApplication(L"m", &target);
  EXPECT_EQ(target.text(), WsString(L"Mine"));
  int32_t severity = -1;
  session.GetMessageSeverity(L"m", &severity);
  EXPECT_EQ(severity, 5);

  int32_t count = -1;
  session.GetDisplayNameCount(L"m", &count);
  EXPECT_EQ(count, 2);
  const struct {
    uint32_t index;
    const wchar_t* name;
    const wchar_t* verMin;
    const wchar_t* verMax;
    const wchar_t* guid;
    int32_t flags;
  } rows[] = {
      {0, L"Shown", L"8.5", L"9", L"{X}", 1},
      {1, L"Plain", L"-1", L"-1", L"", 0},
      {2, L"", L"", L"", L"", 0},  // beyond the records: empty, not an error
  };
  for (const auto& row : rows) {
    Out name, verMin, verMax, guid;
    int32_t flags = -1;
    session.GetDisplayNameInfo(L"m", row.index, &name, &verMin, &verMax, &guid, &flags);
    EXPECT_EQ(name.text(), WsString(row.name)) << row.index;
    EXPECT_EQ(verMin.text(), WsString(row.verMin)) << row.index;
    EXPECT_EQ(verMax.text(), WsString(row.verMax)) << row.index;
    EXPECT_EQ(guid.text(), WsString(row.guid)) << row.index;
    EXPECT_EQ(flags, row.flags) << row.index;
  }
}

TEST_F(SessionQueriesTest, SavedAnswerLoadsBackToTheSameMessages) {
  // Nothing to save before any answer.
  const auto saved = dir.path() / "sub" / "saved.xml";
  const WsString savedPath = WsString(dir.path().wstring()) + L"\\sub\\saved.xml";
  session.SaveNotificationResponse(savedPath);
  EXPECT_FALSE(std::filesystem::exists(saved));

  Load(Answer(Note("z", "") + Note("Y", "") + Note("x", "", "", "minEngineVersion='18'")));
  const std::vector<WsString> before = Ids();
  session.SaveNotificationResponse(savedPath);
  ASSERT_TRUE(std::filesystem::exists(saved));
  std::ifstream file(saved, std::ios::binary);
  char bom[2] = {};
  file.read(bom, 2);
  EXPECT_EQ(std::string(bom, 2), std::string("\xFF\xFE"));

  WsRavenlinkSession other(Client(), 9, kSessionNoQuery);
  other.LoadNotificationResponse(savedPath);
  int32_t count = -1;
  other.GetMessageCount(&count);
  ASSERT_EQ(count, static_cast<int32_t>(before.size()));
  for (int32_t i = 0; i < count; ++i) {
    Out id;
    other.GetMessageId(static_cast<uint32_t>(i), &id);
    EXPECT_EQ(id.text(), before[i]);
  }
  int32_t discarded = -1;
  other.GetDiscardedNotificationCount(&discarded);
  EXPECT_EQ(discarded, 1);
}

}  // namespace
