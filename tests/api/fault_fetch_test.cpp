// A service that misbehaves on purpose: broken connections, lying lengths,
// stalls, bad gzip, huge or hostile answers and saved files that cannot be
// read. Each fault gives its result code, and the session stays usable: a
// retried fetch or a later load succeeds, and no connection is left open.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "session_harness.h"

namespace session_test {
namespace {

using Ids = std::vector<std::wstring>;
using std::chrono::seconds;

ScriptedResponse Faulty(std::string body, ServerFault fault, size_t split = 0) {
  ScriptedResponse response = ScriptedResponse::Ok(std::move(body));
  response.fault = fault;
  response.bodySplit = split;
  return response;
}

// An answer whose body claims gzip encoding; the bytes are sent as given.
ScriptedResponse ClaimsGzip(std::string bytes) {
  ScriptedResponse response = ScriptedResponse::Ok(std::move(bytes));
  response.headers.push_back({"Content-Encoding", "gzip"});
  return response;
}

// count copies of one gzip member that inflates to a MiB of blanks: a body of
// a few hundred KiB that decodes to count MiB.
std::string GzipBomb(size_t count) {
  const std::string member = GzipEncode(std::string(size_t{1} << 20, ' '));
  std::string bomb;
  bomb.reserve(member.size() * count);
  for (size_t i = 0; i < count; ++i) bomb += member;
  return bomb;
}

// Conditions nested depth levels deep (counting "conditions" itself).
std::string NestedConditions(int depth) {
  std::string xml = "<conditions>";
  for (int i = 1; i < depth; ++i) xml += "<conditions logic=\"or\">";
  for (int i = 1; i < depth; ++i) xml += "</conditions>";
  return xml + "</conditions>";
}

class FaultTest : public SessionTest {
 protected:
  // Fills the session from a good file.
  void LoadGood(const Session& session) {
    WriteFile("good.xml", AnswerXml({{.id = "good"}}));
    const std::wstring path = PathIn("good.xml");
    ASSERT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"good"});
  }
};

// Faults of the exchange itself: the fetch fails, the query is kept and a
// retry on the same session succeeds.
TEST_F(FaultTest, BrokenExchanges) {
  const std::string answer = AnswerXml({{.id = "x"}, {.id = "y"}});
  ScriptedResponse longer = ScriptedResponse::Ok(answer);
  longer.contentLength = static_cast<long long>(answer.size()) + 100;
  longer.closeAfter = true;
  // The Windows internet client handles a connection reset after the status
  // line on its own (it may send the request again or end the body early),
  // so those rows pin the Linux platform layer only.
  struct Case {
    const char* name;
    ScriptedResponse response;
    int result;
    bool platformLayerOnly;
  } cases[] = {
      {"ResetBeforeStatus", Faulty(answer, ServerFault::kResetBeforeStatus),
       RAVENLINK_TRANSPORT_FAILED, false},
      {"ResetInHeaders", Faulty(answer, ServerFault::kResetInHeaders), RAVENLINK_TRANSPORT_FAILED,
       true},
      {"ResetInBody", Faulty(answer, ServerFault::kResetInBody, 40), RAVENLINK_TRANSPORT_FAILED,
       true},
      {"ClosedInBody", Faulty(answer, ServerFault::kCloseInBody, 40), RAVENLINK_TRANSPORT_FAILED,
       false},
      {"LengthAboveBody", longer, RAVENLINK_TRANSPORT_FAILED, false},
  };
  RecordProperty("cases", static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    if (c.platformLayerOnly && TestsRunOnWindows()) continue;
    SCOPED_TRACE(c.name);
    server_.Enqueue(c.response);
    Session session;
    EXPECT_EQ(session.Fetch(), c.result);
    EXPECT_EQ(session.Ids(), Ids{});
    Answer({{.id = "retried"}});
    EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"retried"});
    ExpectIdle();
  }
}

TEST_F(FaultTest, ConnectionRefused) {
  const uint16_t closedPort = UnusedLoopbackPort();
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\n"
      "\"S_URL\"=\"http://127.0.0.1:" +
      std::to_string(closedPort) + "/qvwp/flumeway\"\n";
  registry_->Replace(std::wstring(text.begin(), text.end()));
  RecordProperty("cases", 1);
  Session session;
  EXPECT_EQ(session.Fetch(), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(PingServer(session, 2000), RAVENLINK_TRANSPORT_FAILED);
  // The service is back: the same session fetches with the query it kept.
  UseRegistry("");
  Answer({{.id = "back"}});
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"back"});
}

// Answers that arrive whole but cannot be parsed: the parse fails with the
// refusal code and a later load still works.
TEST_F(FaultTest, UnreadableAnswers) {
  const std::string answer = AnswerXml({{.id = "x"}});
  ScriptedResponse shorter = ScriptedResponse::Ok(answer);
  shorter.contentLength = static_cast<long long>(answer.size()) - 30;
  const std::string zipped = GzipEncode(answer);
  // The Windows internet client may hand over bytes past a Content-Length
  // below the body when they arrived together with the headers; then the
  // whole answer is read and accepted, which the row allows there.
  struct Case {
    const char* name;
    ScriptedResponse response;
    int result;
    bool windowsMayReadPastLength = false;
  } cases[] = {
      {"LengthBelowBody", shorter, RAVENLINK_REFUSED, true},
      {"GzipCorrupt",
       ClaimsGzip(zipped.substr(0, 10) + std::string(zipped.size() - 18, 'Z') +
                  zipped.substr(zipped.size() - 8)),
       RAVENLINK_REFUSED},
      {"GzipTruncated", ClaimsGzip(zipped.substr(0, zipped.size() / 2)), RAVENLINK_REFUSED},
      {"GzipClaimedButPlain", ClaimsGzip(answer), RAVENLINK_REFUSED},
      // Decoding stops at kGunzipMaxDecodedSize (256 MiB) instead of
      // inflating the whole 300 MiB.
      {"DecompressionBomb", ClaimsGzip(GzipBomb(300)), RAVENLINK_REFUSED},
      {"ConditionsTooDeep",
       ScriptedResponse::Ok(AnswerXml({{.id = "deep", .conditions = NestedConditions(65)}})),
       RAVENLINK_REFUSED},
      {"ConditionsFarTooDeep",
       ScriptedResponse::Ok(AnswerXml({{.id = "deep", .conditions = NestedConditions(200000)}})),
       RAVENLINK_REFUSED},
  };
  RecordProperty("cases", static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(c.response);
    Session session;
    const int result = session.Fetch();
    if (c.windowsMayReadPastLength && TestsRunOnWindows() && result == RAVENLINK_OK) {
      EXPECT_EQ(session.Ids(), Ids{L"x"});
    } else {
      EXPECT_EQ(result, c.result);
      EXPECT_EQ(session.Ids(), Ids{});
    }
    LoadGood(session);
    ExpectIdle();
  }
}

// Large but well-formed answers are read in full.
TEST_F(FaultTest, LargeAnswers) {
  std::vector<Note> many;
  for (int i = 0; i < 5000; ++i) many.push_back({.id = "n" + std::to_string(100000 + i)});
  std::string deepBody = AnswerXml({{.id = "deep", .conditions = NestedConditions(64)}});
  // Unknown elements nested far deeper than any condition outside the
  // notifications are skipped without recursion.
  std::string nestedJunk;
  for (int i = 0; i < 100000; ++i) nestedJunk += "<j>";
  for (int i = 0; i < 100000; ++i) nestedJunk += "</j>";
  std::string junkBody = AnswerXml({{.id = "after-junk"}});
  junkBody.insert(junkBody.find("<body>") + 6, nestedJunk);
  struct Case {
    const char* name;
    std::string body;
    int count;
  } cases[] = {
      {"ManyNotifications", AnswerXml(many), 5000},
      {"DeepestConditionsAccepted", deepBody, 1},
      {"DeeplyNestedUnknownElements", junkBody, 1},
  };
  RecordProperty("cases", static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(c.body);
    response.gzip = true;
    server_.Enqueue(response);
    Session session;
    EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Count(), c.count);
  }
}

// Stalled and endless bodies end with a cancel, a close or a ping's time
// limit; the session then fetches again.
TEST_F(FaultTest, StalledAndEndlessBodies) {
  const std::string answer = AnswerXml({{.id = "never"}});
  struct Case {
    const char* name;
    ServerFault fault;
    bool closeInstead;  // close the session instead of cancelling
  } cases[] = {
      {"StallCancelled", ServerFault::kStallInBody, false},
      {"EndlessCancelled", ServerFault::kEndlessBody, false},
      {"EndlessClosed", ServerFault::kEndlessBody, true},
  };
  RecordProperty("cases", static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(Faulty(answer, c.fault, 10));
    const size_t before = server_.RequestCount();
    Session session;
    ASSERT_EQ(StartGetNotifications(session), RAVENLINK_PENDING);
    ASSERT_TRUE(server_.WaitForRequests(before + 1, seconds(20)));
    if (c.closeInstead) {
      EXPECT_EQ(session.Close(), RAVENLINK_OK);
      ExpectIdle();
      continue;
    }
    EXPECT_EQ(CancelGetNotifications(session), RAVENLINK_OK);
    EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
    ExpectIdle();
    LoadGood(session);
    Session next;
    Answer({{.id = "next"}});
    EXPECT_EQ(next.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(next.Ids(), Ids{L"next"});
  }

  // A ping with a time limit against a body that never ends.
  server_.Enqueue(Faulty(AnswerXml({}), ServerFault::kEndlessBody, 10));
  Session pinged;
  EXPECT_EQ(PingReachingServer(pinged, 2000), RAVENLINK_TRANSPORT_FAILED);
  ExpectIdle();
  Answer({{.id = "after-ping"}});
  EXPECT_EQ(pinged.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(pinged.Ids(), Ids{L"after-ping"});
}

// A proxy demand for credentials on every request: a silent session never
// asks, and the fetch ends instead of retrying for ever.
TEST_F(FaultTest, EndlessProxyChallenge) {
  RecordProperty("cases", 1);
  server_.SetDefault(ScriptedResponse::ProxyChallenge());
  Session session;
  EXPECT_EQ(session.Fetch(), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_LE(server_.RequestCount(), 3u);
  server_.SetDefault(ScriptedResponse::Ok(AnswerXml({{.id = "through"}})));
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"through"});
  ExpectIdle();
}

// Saved answers that cannot be loaded: 5, the entries kept, and the session
// still loads a good file afterwards.
TEST_F(FaultTest, UnloadableSavedAnswers) {
  const std::string answer = AnswerXml({{.id = "x"}});
  struct Case {
    const char* name;
    std::string content;
    bool directory;  // the path names a folder, which cannot be read as a file
  } cases[] = {
      {"Empty", "", false},
      {"Truncated", answer.substr(0, answer.size() / 2), false},
      {"NotXml", "\x01\x02 binary \xFF\xFE\x00 junk", false},
      {"OnlyAByteOrderMark", "\xFF\xFE", false},
      {"Unreadable", "", true},
  };
  RecordProperty("cases", static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = std::string("saved-") + c.name + ".xml";
    if (c.directory) {
      std::filesystem::create_directories(HostPath(name));
    } else {
      WriteFile(name, c.content);
    }
    const std::wstring path = PathIn(name);
    Session session;
    LoadGood(session);
    EXPECT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_FAILED);
    EXPECT_EQ(session.Ids(), Ids{L"good"});
    LoadGood(session);
  }
}

}  // namespace
}  // namespace session_test
