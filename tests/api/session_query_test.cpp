// The content query a session posts: the packet bytes, the URL and the
// headers, for each kind of caller and each way of narrowing the query.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "session_harness.h"

namespace session_test {
namespace {

const char kG1[] = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const wchar_t kG1w[] = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";

struct TargetCase {
  const char* name;
  OpenArgs open;
  bool useOpen1;  // WsRavenlinkOpen: reserved "", ownTargetOnly -1, flags 0
  ExpectedQuery query;
};

std::vector<TargetCase> TargetCases() {
  const Md content{"contentType", "NOTIFICATION"};
  const Md live{"status", "live"};
  auto args = [](const wchar_t* wrapper, int own, int language) {
    OpenArgs a;
    a.wrapperlib = wrapper;
    a.ownTargetOnly = own;
    a.languageId = language;
    return a;
  };
  auto query = [](Group outer, std::vector<Group> groups, const char* wrapper, const char* locale) {
    ExpectedQuery q;
    q.outer = std::move(outer);
    q.groups = std::move(groups);
    q.wrapperlib = wrapper;
    q.locale = locale;
    return q;
  };
  return {
      {"OwnTargetOnly", args(L"Wrapper", 1, 9), false,
       query({content, {"targetApplication", "Wrapper"}, live}, {{}}, "Wrapper", "en-us")},
      {"AllTargets", args(L"Wrapper", 0, 9), false,
       query({content, live},
             {{{"targetApplication", "Wrapper"},
               {"targetApplication", "UPDATESERVICE"},
               {"targetApplication", "METAINSTALLER"},
               {"targetApplication", "QVINSTALLER"}},
              {}},
             "Wrapper", "en-us")},
      // The meta test comes before ownTargetOnly.
      {"MetaSuiteOwnTarget", args(L"METASUITE", 1, 9), false,
       query({content, live},
             {{{"targetApplication", "METASUITE"}, {"targetApplication", "QVINSTALLER"}}, {}},
             "METASUITE", "en-us")},
      {"MetaInstallerLowerCase", args(L"metainstaller", 0, 9), false,
       query({content, live},
             {{{"targetApplication", "metainstaller"}, {"targetApplication", "QVINSTALLER"}}, {}},
             "metainstaller", "en-us")},
      // A full locale identifier is not the primary language 9.
      {"LocaleOf1033", args(L"Wrapper", 1, 1033), false,
       query({content, {"targetApplication", "Wrapper"}, live}, {{}}, "Wrapper", "xx-xx")},
      {"LocaleOfGerman", args(L"Wrapper", 1, 7), false,
       query({content, {"targetApplication", "Wrapper"}, live}, {{}}, "Wrapper", "xx-xx")},
      // WsRavenlinkOpen passes ownTargetOnly -1, which is nonzero.
      {"OpenOne", args(L"Wrapper", 0, 9), true,
       query({content, {"targetApplication", "Wrapper"}, live}, {{}}, "Wrapper", "en-us")},
  };
}

class QueryTest : public SessionTest {};

TEST_F(QueryTest, PostsTheQueryOfEachKindOfCaller) {
  for (const TargetCase& c : TargetCases()) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(ScriptedResponse::Ok(AnswerXml({})));
    const size_t before = server_.RequestCount();
    int handle = 0;
    if (c.useOpen1) {
      ASSERT_EQ(WsRavenlinkOpen(c.open.swapp.c_str(), c.open.swappVersion.c_str(),
                                c.open.wrapperlib.c_str(), c.open.wrapperlibVersion.c_str(),
                                c.open.languageId, &handle),
                RAVENLINK_OK);
      int result = StartGetNotifications(handle);
      for (int i = 0; result == RAVENLINK_PENDING && i < 600; ++i) {
        result = CheckGetNotifications(handle);
      }
      EXPECT_EQ(result, RAVENLINK_OK);
      EXPECT_EQ(WsRavenlinkClose(handle), RAVENLINK_OK);
    } else {
      Session session(c.open);
      ASSERT_EQ(session.OpenResult(), RAVENLINK_OK);
      EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    }
    ASSERT_EQ(server_.RequestCount(), before + 1);
    const RecordedRequest request = server_.Requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, kQueryTarget);
    EXPECT_EQ(PostedText(request.body), PacketText(c.query));
    const std::string expected = PacketText(c.query);
    EXPECT_EQ(request.body, "\xFF\xFE" + Utf16LE(std::u16string(expected.begin(), expected.end())));
  }
}

TEST_F(QueryTest, InternalTestingDropsTheLiveStatus) {
  struct Case {
    const char* registry;
    bool live;
  } cases[] = {
      {"", true},
      {"\"InternalTesting\"=dword:00000000\n", true},
      {"\"InternalTesting\"=dword:00000001\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registry);
    UseRegistry(c.registry);
    server_.Enqueue(ScriptedResponse::Ok(AnswerXml({})));
    Session session;
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    ExpectedQuery q;
    q.outer = {{"contentType", "NOTIFICATION"}, {"targetApplication", "Wrapper"}};
    if (c.live) q.outer.push_back({"status", "live"});
    q.groups = {{}};
    EXPECT_EQ(PostedText(server_.Requests().back().body), PacketText(q));
  }
}

// Each key new to its set adds one criterion with the key exactly as passed;
// the installing and available sets are separate; keys compare as GUIDs.
TEST_F(QueryTest, CriteriaForNewKeysOnly) {
  Session session;
  EXPECT_EQ(SetInstallingProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
  EXPECT_EQ(SetInstallingProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
  EXPECT_EQ(SetInstallingProduct(session, kG1w, L"2.0"), RAVENLINK_OK);
  // The same GUID in lower case and without braces is the same key.
  EXPECT_EQ(SetInstallingProduct(session, L"6b29fc40-ca47-1067-b31d-00dd010662da", L"3"),
            RAVENLINK_OK);
  EXPECT_EQ(SetAvailableProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
  EXPECT_EQ(
      SetInstallingDistribution(session, L"{aaaaaaaa-0000-0000-0000-000000000001}", L"1", L"1033"),
      RAVENLINK_OK);
  EXPECT_EQ(SetAvailableDistribution(session, L"dist-key", L"", L""), RAVENLINK_OK);
  EXPECT_EQ(SetInstallingSuite(session, L"suite-key", L"5.0", L"1031"), RAVENLINK_OK);
  EXPECT_EQ(SetAvailableSuite(session, L"suite-key", L"6.0", L""), RAVENLINK_OK);
  server_.Enqueue(ScriptedResponse::Ok(AnswerXml({})));
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);

  ExpectedQuery q;
  q.outer = {{"contentType", "NOTIFICATION"}, {"targetApplication", "Wrapper"}, {"status", "live"}};
  q.groups = {{{"upc", kG1},
               {"upc", kG1},
               {"guid", "{aaaaaaaa-0000-0000-0000-000000000001}"},
               {"guid", "dist-key"},
               {"guid", "suite-key"},
               {"guid", "suite-key"}}};
  EXPECT_EQ(PostedText(server_.Requests().back().body), PacketText(q));
}

// Once the query is consumed (a completed fetch or a cancel) nothing more is
// sent: items only reach the rules.
TEST_F(QueryTest, NothingIsSentOnceTheQueryIsGone) {
  struct Case {
    const char* name;
    bool cancel;  // cancel before the first fetch instead of completing it
  } cases[] = {{"AfterFetch", false}, {"AfterCancel", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    const size_t before = server_.RequestCount();
    if (c.cancel) {
      EXPECT_EQ(CancelGetNotifications(session), RAVENLINK_OK);
    } else {
      Answer({{.id = "kept"}});
      ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    }
    EXPECT_EQ(SetInstallingProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
    EXPECT_EQ(StartGetNotifications(session), RAVENLINK_OK);
    EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
    EXPECT_EQ(server_.RequestCount(), before + (c.cancel ? 0 : 1));
    EXPECT_EQ(session.Ids(),
              c.cancel ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"kept"});
  }
}

// Flags bit 2: no query; only a loaded answer fills the session.
TEST_F(QueryTest, NoQueryFlag) {
  OpenArgs args;
  args.flags = RAVENLINK_FLAG_NO_QUERY | RAVENLINK_FLAG_SILENT;
  Session session(args);
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_OK);
  EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
  EXPECT_EQ(SetInstallingProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
  EXPECT_EQ(session.Count(), 0);
  EXPECT_EQ(server_.RequestCount(), 0u);

  WriteFile("answer.xml", AnswerXml({{.id = "loaded"}, {.id = "also"}}));
  const std::wstring path = PathIn("answer.xml");
  EXPECT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), (std::vector<std::wstring>{L"also", L"loaded"}));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(QueryTest, HeadersAndServiceUrl) {
  struct Case {
    const char* name;
    std::string settings;    // extra lines under the settings key
    std::string productKey;  // a key of its own for the product "Wrapper", or ""
    const char* path;        // path the request must reach
    bool gzipHeader;
  } cases[] = {
      {"Defaults", "", "", "/qvwp/flumeway", true},
      {"DisableEncodingTrue", "\"DisableEncoding\"=\"TRUE\"\n", "", "/qvwp/flumeway", false},
      {"DisableEncodingOne", "\"DisableEncoding\"=\"1\"\n", "", "/qvwp/flumeway", false},
      {"DisableEncodingZero", "\"DisableEncoding\"=\"0\"\n", "", "/qvwp/flumeway", true},
      {"ProductUrlWins", "", "/product/service", "/product/service", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string extra = c.settings;
    if (!c.productKey.empty()) {
      extra += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway\\Wrapper]\n\"S_URL\"=\"" +
               server_.BaseUrl() + c.productKey + "\"\n";
    }
    UseRegistry(extra);
    server_.Enqueue(ScriptedResponse::Ok(AnswerXml({})));
    Session session;
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    const RecordedRequest request = server_.Requests().back();
    EXPECT_EQ(request.target,
              std::string(c.path) + "?cmd=ContentCmd:QueryDocument&flumeway%5Fversion=2%2E0");
    EXPECT_EQ(request.Header("User-Agent"),
              "QvWebServiceClient (qvwshttp 17.0.0;App 1.0;quillo 17.0.0;Wrapper 2.0;)");
    EXPECT_EQ(request.HasHeader("Accept-Encoding"), c.gzipHeader);
    if (c.gzipHeader) {
      EXPECT_EQ(request.Header("Accept-Encoding"), "gzip");
    }
    EXPECT_FALSE(request.HasHeader("Content-Type"));
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  }
}

// A query that failed in transport stays: the next Start sends the same
// packet again.
TEST_F(QueryTest, AFailedExchangeKeepsTheQuery) {
  Session session;
  EXPECT_EQ(SetInstallingProduct(session, kG1w, L"1.0"), RAVENLINK_OK);
  ScriptedResponse failure;
  failure.status = 503;
  server_.Enqueue(failure);
  EXPECT_EQ(session.Fetch(), RAVENLINK_TRANSPORT_FAILED);
  Answer({{.id = "second"}});
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  const std::vector<RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].body, requests[0].body);
  EXPECT_EQ(requests[1].target, kQueryTarget);
  EXPECT_EQ(session.Ids(), std::vector<std::wstring>{L"second"});
}

}  // namespace
}  // namespace session_test
