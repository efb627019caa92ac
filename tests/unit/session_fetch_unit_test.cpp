// The notification session's fetch: the content query it posts for each kind
// of caller, the criteria the caller's items add, and the states of a fetch.
#include <string>

#include <gtest/gtest.h>

#include "foundation/utf16.h"
#include "rules_fixture.h"
#include "rules_inventory_fixture.h"
#include "session/ravenlink_session.h"
#include "support/registry_fixture.h"
#include "support/test_server.h"

namespace {

// The registry sends the session to the test server; `testing` is the
// InternalTesting line, or empty for none.
std::wstring Registry(const TestServer& server, const std::wstring& testing = L"") {
  const std::string url = server.BaseUrl() + "/svc";
  return L"Windows Registry Editor Version 5.00\r\n\r\n"
         L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n\"S_URL\"=\"" +
         std::wstring(url.begin(), url.end()) + L"\"\r\n" + testing;
}

ClientIdentity Client(const wchar_t* wrapperlib, int32_t ownTargetOnly) {
  ClientIdentity client;
  client.swapp = L"App";
  client.swappVersion = L"1.0";
  client.ownTargetOnly = ownTargetOnly;
  client.wrapperlib = wrapperlib;
  client.wrapperlibVersion = L"2.0";
  return client;
}

std::string Answer(const std::string& notifications, const std::string& code = "0") {
  return "<packet><header><server><status code='" + code + "'/></server></header><body>" +
         notifications + "</body></packet>";
}

const std::string kOneNotification = Answer(
    "<notification><ID>n1</ID><severity>Info</severity><status/><conditions/></notification>");

// Start, then Check until the fetch is over.
WsStatus Fetch(WsRavenlinkSession& session) {
  WsStatus status = session.StartGetNotifications();
  while (status == kWsStillRunning) status = session.CheckGetNotifications();
  return status;
}

// The "contentQuery" element the request posted, without its indentation.
std::wstring PostedQuery(const RecordedRequest& request) {
  std::wstring text = FromUtf16LE(request.body.data(), request.body.size());
  std::erase_if(text, [](wchar_t c) { return c == L'\t' || c == L'\r' || c == L'\n'; });
  const size_t begin = text.find(L"<contentQuery>");
  const size_t end = text.find(L"</contentQuery>");
  if (begin == std::wstring::npos || end == std::wstring::npos) return L"(no query) " + text;
  return text.substr(begin + 14, end - begin - 14);
}

std::wstring Meta(const std::wstring& field, const std::wstring& value) {
  return L"<metadata field=\"" + field + L"\">" + value + L"</metadata>";
}

std::wstring Targets(std::initializer_list<const wchar_t*> names) {
  std::wstring out = L"<query type=\"Or\">";
  for (const wchar_t* name : names) out += Meta(L"targetApplication", name);
  return out + L"</query>";
}

class SessionFetchTest : public ::testing::Test {
 protected:
  SessionFetchTest() { inventory.Write(""); }

  rules_test::InventoryFixture inventory;
  TestServer server;
};

TEST_F(SessionFetchTest, QueryNamesTheTargetsAndTheStatus) {
  const std::wstring type = Meta(L"contentType", L"NOTIFICATION");
  const std::wstring live = Meta(L"status", L"live");
  const std::wstring items = L"<query type=\"Or\" />";  // indented text spaces empty elements
  const struct {
    const char* name;
    const wchar_t* wrapperlib;
    int32_t ownTargetOnly;
    std::wstring testing;
    std::wstring expected;
  } rows[] = {
      {"every target of the maker", L"Mine", 0, L"",
       type + live + Targets({L"Mine", L"UPDATESERVICE", L"METAINSTALLER", L"QVINSTALLER"}) +
           items},
      {"own target only", L"Mine", -1, L"",
       type + Meta(L"targetApplication", L"Mine") + live + items},
      {"meta suite ignores own target only", L"METASUITE", 1, L"",
       type + live + Targets({L"METASUITE", L"QVINSTALLER"}) + items},
      {"meta installer in lower case", L"metainstaller", 0, L"",
       type + live + Targets({L"metainstaller", L"QVINSTALLER"}) + items},
      {"testing switch zero", L"Mine", 1, L"\"InternalTesting\"=dword:00000000\r\n",
       type + Meta(L"targetApplication", L"Mine") + live + items},
      {"testing switch set", L"Mine", 1, L"\"InternalTesting\"=dword:00000001\r\n",
       type + Meta(L"targetApplication", L"Mine") + items},
  };
  for (const auto& row : rows) {
    ScopedRegistry registry(Registry(server, row.testing));
    server.Enqueue(ScriptedResponse::Ok(kOneNotification));
    const size_t before = server.RequestCount();
    WsRavenlinkSession session(Client(row.wrapperlib, row.ownTargetOnly), 9, 0);
    EXPECT_EQ(Fetch(session), kWsOk) << row.name;
    ASSERT_EQ(server.RequestCount(), before + 1) << row.name;
    EXPECT_EQ(PostedQuery(server.Requests().back()),
              L"<query type=\"And\">" + row.expected + L"</query>")
        << row.name;
  }
}

TEST_F(SessionFetchTest, CallerItemsNarrowTheQueryOncePerKeyAndSet) {
  ScopedRegistry registry(Registry(server));
  server.Enqueue(ScriptedResponse::Ok(kOneNotification));
  WsRavenlinkSession session(Client(L"Mine", 1), 9, 0);
  const std::wstring lowerA = L"{aaaaaaaa-0000-0000-0000-000000000001}";
  session.SetInstallingProduct(lowerA, L"1.0");
  session.SetInstallingProduct(kKeyA, L"1.0");  // same key, same version: nothing new
  session.SetInstallingProduct(kKeyA, L"2.0");  // same key: a record, no criterion
  session.SetAvailableProduct(kKeyA, L"1.0");   // another set: another criterion
  session.SetInstallingDistribution(L"plain key", L"3", L"1033");
  session.SetAvailableSuite(kKeyB, L"4", L"");

  EXPECT_EQ(session.Rules().InstallingProducts().count(Guid(kKeyA)), 2u);
  EXPECT_EQ(session.Rules().AvailableProducts().count(Guid(kKeyA)), 1u);
  ASSERT_EQ(Fetch(session), kWsOk);
  EXPECT_EQ(PostedQuery(server.Requests().back()),
            L"<query type=\"And\">" + Meta(L"contentType", L"NOTIFICATION") +
                Meta(L"targetApplication", L"Mine") + Meta(L"status", L"live") +
                L"<query type=\"Or\">" + Meta(L"upc", lowerA) + Meta(L"upc", kKeyA) +
                Meta(L"guid", L"plain key") + Meta(L"guid", kKeyB) + L"</query></query>");

  // The query is gone: later items only reach the rules engine.
  EXPECT_EQ(session.Query(), nullptr);
  session.SetInstallingSuite(kKeyC, L"1", L"");
  EXPECT_EQ(session.Rules().InstallingSuites().count(Guid(kKeyC)), 1u);
}

TEST_F(SessionFetchTest, StatesOfAFetch) {
  ScopedRegistry registry(Registry(server));
  WsRavenlinkSession session(Client(L"Mine", 1), 9, 0);
  EXPECT_EQ(session.CheckGetNotifications(), kWsNoTransfer);  // nothing sent yet

  // A failed exchange is raised and keeps the query: the next Start sends again.
  ScriptedResponse missing;
  missing.status = 404;
  server.Enqueue(missing);
  EXPECT_EQ(StatusOf([&] { Fetch(session); }), kWsHttpNotFound);
  EXPECT_NE(session.Query(), nullptr);

  // A refusal of the service ends the fetch: the query is consumed.
  server.Enqueue(ScriptedResponse::Ok(Answer("", "300")));
  EXPECT_EQ(Fetch(session), WsStatus(0x80008004));
  EXPECT_EQ(session.Query(), nullptr);
  EXPECT_EQ(server.RequestCount(), 2u);

  // Over: Check has nothing to collect and Start sends nothing.
  EXPECT_EQ(session.CheckGetNotifications(), kWsNoTransfer);
  EXPECT_EQ(session.StartGetNotifications(), kWsOk);
  EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(SessionFetchTest, CancelAndNoQuerySessionsSendNothing) {
  ScopedRegistry registry(Registry(server));
  const struct {
    const char* name;
    uint32_t flags;
    bool cancel;
  } rows[] = {{"cancelled", 0, true}, {"opened without a query", kSessionNoQuery, false}};
  for (const auto& row : rows) {
    WsRavenlinkSession session(Client(L"Mine", 1), 9, row.flags);
    if (row.cancel) {
      EXPECT_EQ(session.CancelGetNotifications(), kWsOk) << row.name;
    }
    session.SetInstallingProduct(kKeyA, L"1");
    EXPECT_EQ(session.StartGetNotifications(), kWsOk) << row.name;
    EXPECT_EQ(session.CheckGetNotifications(), kWsNoTransfer) << row.name;
    int32_t count = -1;
    session.GetMessageCount(&count);
    EXPECT_EQ(count, 0) << row.name;
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SessionFetchTest, SecondStartCancelsTheFirstExchange) {
  ScopedRegistry registry(Registry(server));
  ScriptedResponse slow = ScriptedResponse::Ok(kOneNotification);
  slow.fault = ServerFault::kStallInBody;
  slow.bodySplit = 10;
  server.Enqueue(slow);
  server.Enqueue(ScriptedResponse::Ok(kOneNotification));
  WsRavenlinkSession session(Client(L"Mine", 1), 9, 0);
  EXPECT_EQ(session.StartGetNotifications(), kWsStillRunning);
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  WsStatus status = session.StartGetNotifications();
  while (status == kWsStillRunning) status = session.CheckGetNotifications();
  EXPECT_EQ(status, kWsOk);
  EXPECT_EQ(server.RequestCount(), 2u);
  // Both requests carried the same query, closed once.
  const auto requests = server.Requests();
  EXPECT_EQ(PostedQuery(requests[0]), PostedQuery(requests[1]));
  int32_t count = 0;
  session.GetMessageCount(&count);
  EXPECT_EQ(count, 1);
}

TEST_F(SessionFetchTest, DestroyedWhileTheExchangeRuns) {
  ScopedRegistry registry(Registry(server));
  ScriptedResponse slow = ScriptedResponse::Ok(kOneNotification);
  slow.fault = ServerFault::kStallInBody;
  slow.bodySplit = 10;
  server.Enqueue(slow);
  {
    WsRavenlinkSession session(Client(L"Mine", 1), 9, 0);
    EXPECT_EQ(session.StartGetNotifications(), kWsStillRunning);
    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  }
  EXPECT_TRUE(server.WaitForIdle(std::chrono::seconds(10)));
}

TEST_F(SessionFetchTest, PingJudgesTheAnswerOnlyWithATimeLimit) {
  ScopedRegistry registry(Registry(server));
  const struct {
    int32_t timeoutMs;
    const char* code;
    bool ok;
  } rows[] = {{0, "300", true}, {5000, "300", false}, {5000, "0", true}};
  for (const auto& row : rows) {
    ScriptedResponse answer = ScriptedResponse::Ok(Answer("", row.code));
    // Without a time limit the answer is left unjudged only when the ping
    // is still running once started; a slow answer makes sure it is.
    if (row.timeoutMs == 0) answer.delayBeforeStatus = kNotWaitedForDelay;
    server.Enqueue(answer);
    WsRavenlinkSession session(Client(L"Mine", 1), 9, 0);
    EXPECT_EQ(session.PingServer(row.timeoutMs) == kWsOk, row.ok)
        << row.timeoutMs << " " << row.code;
    EXPECT_EQ(server.Requests().back().method, "GET");
    // The request that held the ping settings has no answer to save.
    EXPECT_NE(StatusOf([&] { session.SaveNotificationResponse(L"unused.xml"); }), 0u);
  }
}

}  // namespace
