// The fetch as a caller drives it: Start, Check and Cancel in every state,
// answers that fail in every way, and what the session holds afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "session_harness.h"

namespace session_test {
namespace {

using Ids = std::vector<std::wstring>;

// An answer that stops after a few bytes of its body and goes on after a
// pause much longer than any test step, so the fetch is still running when
// the test interrupts it. (The pause ends by itself, because Wine's blocked
// reads do not notice their handles being closed.)
ScriptedResponse Stalled(const std::string& body) {
  ScriptedResponse response = ScriptedResponse::Ok(body);
  response.bodySplit = 10;
  response.delayInBody = std::chrono::seconds(3);
  return response;
}

class FetchTest : public SessionTest {
 protected:
  // Fills the session from a file, without touching its query.
  void Load(const Session& session, const std::vector<Note>& notes) {
    WriteFile("preload.xml", AnswerXml(notes));
    const std::wstring path = PathIn("preload.xml");
    ASSERT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_OK);
  }
};

TEST_F(FetchTest, StartThenCheckCollectsTheAnswerOnce) {
  ScriptedResponse slow = ScriptedResponse::Ok(AnswerXml({{.id = "one"}}));
  slow.delayBeforeStatus = std::chrono::milliseconds(300);
  server_.Enqueue(slow);
  Session session;
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_PENDING);
  int result = RAVENLINK_PENDING;
  for (int i = 0; result == RAVENLINK_PENDING && i < 600; ++i) {
    result = CheckGetNotifications(session);
  }
  EXPECT_EQ(result, RAVENLINK_OK);
  // The outcome is reported once; a later Start sends nothing.
  EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_OK);
  EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(session.Ids(), Ids{L"one"});
}

TEST_F(FetchTest, CheckBeforeStartFails) {
  Session session;
  EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
  Answer({});
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);  // the session is still ready to fetch
  EXPECT_EQ(server_.RequestCount(), 1u);
}

// A second Start while the first exchange runs cancels it and sends again;
// the entries come from the second answer.
TEST_F(FetchTest, StartTwice) {
  const ScriptedResponse stalled = Stalled(AnswerXml({{.id = "first"}}));
  server_.Enqueue(stalled);
  Answer({{.id = "second"}});
  Session session;
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_PENDING);
  ASSERT_TRUE(server_.WaitForRequests(1, std::chrono::seconds(20)));
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  const std::vector<RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].body, requests[0].body);
  EXPECT_EQ(session.Ids(), Ids{L"second"});
}

TEST_F(FetchTest, CancelStopsTheFetchAndDropsTheQuery) {
  const ScriptedResponse stalled = Stalled(AnswerXml({{.id = "never"}}));
  server_.Enqueue(stalled);
  Session session;
  Load(session, {{.id = "loaded"}});
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_PENDING);
  ASSERT_TRUE(server_.WaitForRequests(1, std::chrono::seconds(20)));
  EXPECT_EQ(CancelGetNotifications(session), RAVENLINK_OK);
  EXPECT_EQ(CheckGetNotifications(session), RAVENLINK_FAILED);
  EXPECT_EQ(StartGetNotifications(session), RAVENLINK_OK);
  EXPECT_EQ(CancelGetNotifications(session), RAVENLINK_OK);
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(session.Ids(), Ids{L"loaded"});  // entries already parsed stay
  ExpectIdle();
}

TEST_F(FetchTest, CloseWhileAFetchRuns) {
  const ScriptedResponse stalled = Stalled(AnswerXml({{.id = "never"}}));
  server_.Enqueue(stalled);
  Session session;
  const int handle = session.handle();
  EXPECT_EQ(StartGetNotifications(handle), RAVENLINK_PENDING);
  ASSERT_TRUE(server_.WaitForRequests(1, std::chrono::seconds(20)));
  EXPECT_EQ(session.Close(), RAVENLINK_OK);
  EXPECT_EQ(CheckGetNotifications(handle), RAVENLINK_FAILED);
  int count = kUntouched;
  EXPECT_EQ(GetMessageCount(handle, &count), RAVENLINK_FAILED);
  EXPECT_EQ(count, kUntouched);
  ExpectIdle();
}

// Every way an answer can go wrong: the result code, the entries left, and
// whether the query survives for another Start. After each failure a load
// of a good answer still works.
struct FailureCase {
  const char* name;
  ScriptedResponse response;
  int result;
  Ids left;        // the entries after the failure ("loaded" came from a file before)
  bool queryKept;  // a later Start sends again
};

ScriptedResponse Raw(std::string body, int status = 200) {
  ScriptedResponse response = ScriptedResponse::Ok(std::move(body));
  response.status = status;
  return response;
}

std::vector<FailureCase> FailureCases() {
  ScriptedResponse reset = Raw("");
  reset.fault = ServerFault::kResetBeforeStatus;
  const Ids kLoaded{L"loaded"};
  return {
      // The service refuses in the answer's header.
      {"ServerCode300", Raw(AnswerXml({{.id = "x"}}, "300")), 4, kLoaded, false},
      {"ServerCode900", Raw(AnswerXml({{.id = "x"}}, "900")), 4, kLoaded, false},
      {"ServerCode42", Raw(AnswerXml({{.id = "x"}}, "42")), 4, kLoaded, false},
      // Bodies that are not a packet document.
      {"NotXml", Raw("this is not XML <<<"), 4, kLoaded, false},
      {"Empty", Raw(""), 4, kLoaded, false},
      {"Truncated", Raw(AnswerXml({{.id = "x"}}).substr(0, 120)), 4, kLoaded, false},
      // Notifications that cannot be read end the whole parse.
      {"UnknownSeverity",
       Raw(AnswerXml({{.id = "good"}, {.id = "bad", .severity = "Information"}})),
       4,
       {},
       false},
      {"MissingSeverity", Raw(AnswerXml({{.id = "bad", .severity = "-"}})), 4, {}, false},
      {"MissingStatus",
       Raw(AnswerXml({{.id = "good"}, {.id = "bad", .status = false}})),
       4,
       {},
       false},
      {"UnknownConditionElement",
       Raw(AnswerXml({{.id = "bad",
                       .conditions = "<conditions><Product upc=\"a\" status=\"installed\" "
                                     "verMin=\"1\" verMax=\"2\"/></conditions>"}})),
       4,
       {},
       false},
      {"ConditionWithoutVersion",
       Raw(AnswerXml({{.id = "bad",
                       .conditions = "<conditions><product upc=\"a\" status=\"installed\" "
                                     "verMin=\"1\"/></conditions>"}})),
       4,
       {},
       false},
      {"ConditionBadStatus",
       Raw(AnswerXml({{.id = "bad",
                       .conditions = "<conditions><product upc=\"a\" status=\"removed\" "
                                     "verMin=\"1\" verMax=\"2\"/></conditions>"}})),
       4,
       {},
       false},
      {"ConditionBadVersion",
       Raw(AnswerXml({{.id = "bad",
                       .conditions = "<conditions><distribution guid=\"a\" status=\"installed\" "
                                     "verMin=\"x\" verMax=\"2\" lang=\"\"/></conditions>"}})),
       4,
       {},
       false},
      // Without "conditions" a notification has no condition tree to evaluate.
      {"NoConditions",
       Raw(AnswerXml({{.id = "good"}, {.id = "bad", .conditions = ""}})),
       5,
       {L"good"},  // an evaluation error keeps the entries stored before it
       false},
      // Transport failures keep the query for another try.
      {"Http503", Raw("busy", 503), 3, kLoaded, true},
      {"Http500", Raw("oops", 500), 4, kLoaded, true},
      {"Http400", Raw("bad", 400), 3, kLoaded, true},
      {"Http404", Raw("missing", 404), 4, kLoaded, true},
      {"ResetBeforeStatus", reset, 3, kLoaded, true},
      // A silent session never asks for proxy credentials: the request fails.
      {"ProxyChallengeSilent", ScriptedResponse::ProxyChallenge(), 3, kLoaded, true},
  };
}

TEST_F(FetchTest, FailedAnswers) {
  WriteFile("good.xml", AnswerXml({{.id = "again"}, {.id = "more"}}));
  const std::wstring good = PathIn("good.xml");
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.name);
    Session session;
    Load(session, {{.id = "loaded"}});
    server_.Enqueue(c.response);
    const size_t before = server_.RequestCount();
    const int result = session.Fetch();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(session.Ids(), c.left);
    int discarded = -1;
    EXPECT_EQ(GetDiscardedNotificationCount(session, &discarded), RAVENLINK_OK);
    EXPECT_EQ(discarded, 0);

    // A failed parse consumed the query; a failed exchange did not.
    if (c.queryKept) Answer({{.id = "retried"}});
    EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(server_.RequestCount(), before + (c.queryKept ? 2 : 1));
    if (c.queryKept) {
      EXPECT_EQ(session.Ids(), Ids{L"retried"});
    }
    EXPECT_EQ(LoadNotificationResponse(session, good.c_str()), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), (Ids{L"again", L"more"}));
  }
}

// Whatever the service sends, the caller gets a result code, the session
// still answers and takes a good answer afterwards, and the next session
// fetches normally.
TEST_F(FetchTest, JunkAnswers) {
  std::string binary;
  unsigned seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245u + 12345u;
    binary += static_cast<char>(seed >> 16);
  }
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<and>";
  for (int i = 0; i < 1000; ++i) deep += "</and>";
  std::vector<Note> many;
  for (int i = 0; i < 300; ++i) many.push_back({.id = "n" + std::to_string(i)});
  const std::string good = AnswerXml({{.id = "x"}});
  std::string oddUtf16 = "\xFF\xFE" + Utf16LE(u"<packet><body/></packet>");
  oddUtf16.pop_back();

  std::vector<ScriptedResponse> answers = {
      Raw(binary),
      Raw("\xEF\xBB\xBF" + good),
      Raw(oddUtf16),
      Raw(GzipEncode(binary)),
      Raw(GzipEncode(good).substr(0, 40)),
      Raw(AnswerXml({{.id = "deep", .conditions = "<conditions>" + deep + "</conditions>"}})),
      Raw(AnswerXml({{.id = std::string(20000, 'i')}})),
      Raw(AnswerXml(many)),
      Raw(AnswerXml({{.id = "x"}}, "99999999999999999999")),
      Raw(AnswerXml({{.id = "x"}}, "-300")),
      Raw(AnswerXml({{.id = "x", .minEngineVersion = "4294967296.1"}})),
      Raw(AnswerXml({{.id = "x", .minEngineVersion = "17.0.0.0.0.0"}})),
      Raw(AnswerXml({{.id = "x",
                      .conditions = "<conditions><operatingSystem os=\"Windows\" "
                                    "verMin=\"0\" verMax=\"99\" bits=\"0xFFFFFFFFFF\"/>"
                                    "<msi>VersionNT &gt; 0</msi></conditions>"}})),
      Raw("<!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
          "<packet><body>&b;</body></packet>"),
  };
  ScriptedResponse saysGzip = Raw(good);
  saysGzip.headers = {{"Content-Encoding", "gzip"}};
  answers.push_back(saysGzip);
  ScriptedResponse cut = Raw(good);
  cut.fault = ServerFault::kCloseInBody;
  cut.bodySplit = 30;
  answers.push_back(cut);
  ScriptedResponse longer = Raw(good);
  longer.contentLength = static_cast<long long>(good.size()) + 100;
  longer.closeAfter = true;
  answers.push_back(longer);
  ScriptedResponse noLength = Raw(good);
  noLength.contentLength = -2;
  answers.push_back(noLength);

  WriteFile("good.xml", AnswerXml({{.id = "good"}}));
  const std::wstring goodPath = PathIn("good.xml");
  for (size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(i);
    server_.Enqueue(answers[i]);
    Session session;
    const int result = session.Fetch();
    EXPECT_TRUE(result == 0 || result == 3 || result == 4 || result == 5) << result;
    EXPECT_GE(session.Count(), 0);
    EXPECT_GE(session.Discarded(), 0);
    EXPECT_EQ(LoadNotificationResponse(session, goodPath.c_str()), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"good"});
  }
  Answer({{.id = "after"}});
  Session session;
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"after"});
}

// The same junk in a file: a load gives 0 or 5 and the session stays usable.
TEST_F(FetchTest, JunkFiles) {
  const std::string good = AnswerXml({{.id = "x"}});
  const std::string files[] = {
      "",
      std::string("\0\0\0\0", 4),
      "\xFF\xFE<",
      "<packet>",
      good.substr(0, good.size() / 2),
      "<packet><body><notification><ID>a</ID></notification></body></packet>",
      "<other><body/></other>",
  };
  WriteFile("good.xml", AnswerXml({{.id = "good"}}));
  const std::wstring goodPath = PathIn("good.xml");
  for (size_t i = 0; i < std::size(files); ++i) {
    SCOPED_TRACE(i);
    const std::string name = "junk" + std::to_string(i) + ".xml";
    WriteFile(name, files[i]);
    Session session;
    const int result = LoadNotificationResponse(session, PathIn(name).c_str());
    EXPECT_TRUE(result == 0 || result == 5) << result;
    EXPECT_GE(session.Count(), 0);
    EXPECT_EQ(LoadNotificationResponse(session, goodPath.c_str()), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"good"});
  }
  // A folder is not a file.
  Session session;
  EXPECT_EQ(LoadNotificationResponse(session, PathIn("").c_str()), RAVENLINK_FAILED);
}

// Sessions on different threads are independent: each fetches, reads and
// closes its own while the others do the same.
TEST_F(FetchTest, SessionsOnSeveralThreads) {
  server_.SetDefault(ScriptedResponse::Ok(AnswerXml({{.id = "b"}, {.id = "a"}})));
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (size_t t = 0; t < failures.size(); ++t) {
    threads.emplace_back([&failures, t] {
      for (int round = 0; round < 3; ++round) {
        Session session;
        if (session.Fetch() != RAVENLINK_OK || session.Ids() != Ids{L"a", L"b"} ||
            session.Title(L"b") != L"Title b") {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(server_.RequestCount(), 12u);
}

TEST_F(FetchTest, GzipAnswerIsDecoded) {
  ScriptedResponse zipped = ScriptedResponse::Ok(AnswerXml({{.id = "zipped"}}));
  zipped.gzip = true;
  server_.Enqueue(zipped);
  Session session;
  EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
  EXPECT_EQ(session.Ids(), Ids{L"zipped"});
}

// Which notifications of one answer the session keeps.
TEST_F(FetchTest, EntriesKeptFromAnAnswer) {
  const std::string never = "<conditions logic=\"not\"/>";  // false
  struct Case {
    const char* name;
    std::vector<Note> notes;
    Ids ids;
    std::vector<std::wstring> titles;  // of the ids, in order
    int discarded;
  } cases[] = {
      {"EngineVersions",
       {{.id = "a", .minEngineVersion = "99.0"},
        {.id = "b"},
        {.id = "c", .minEngineVersion = "17.0.0"},
        {.id = "d", .minEngineVersion = "16.5"},
        {.id = "e", .minEngineVersion = "17.0.1"},
        // Unsupported entries are not read further, bad severity included.
        {.id = "f", .severity = "Information", .minEngineVersion = "abc"}},
       {L"b", L"c", L"d"},
       {L"Title b", L"Title c", L"Title d"},
       3},
      {"FalseConditionsAreDroppedNotDiscarded",
       {{.id = "yes"}, {.id = "no", .conditions = never}, {.id = "old", .minEngineVersion = "18"}},
       {L"yes"},
       {L"Title yes"},
       1},
      {"DuplicateIdsLastApplicableWins",
       {{.id = "dup", .title = "first"},
        {.id = "dup", .title = "second"},
        {.id = "one", .title = "kept"},
        {.id = "one", .conditions = never, .title = "dropped"}},
       {L"dup", L"one"},
       {L"second", L"kept"},
       0},
      {"OrderedByCodeUnit",
       {{.id = "b"}, {.id = "a10"}, {.id = "B"}, {.id = "a1"}, {.id = "Z"}, {.id = "a"}},
       {L"B", L"Z", L"a", L"a1", L"a10", L"b"},
       {L"Title B", L"Title Z", L"Title a", L"Title a1", L"Title a10", L"Title b"},
       0},
      {"EmptyBody", {}, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Answer(c.notes);
    Session session;
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), c.ids);
    for (size_t i = 0; i < c.ids.size(); ++i) EXPECT_EQ(session.Title(c.ids[i]), c.titles[i]);
    EXPECT_EQ(session.Discarded(), c.discarded);
    // The next parse starts both over.
    WriteFile("empty.xml", AnswerXml({}));
    EXPECT_EQ(LoadNotificationResponse(session, PathIn("empty.xml").c_str()), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{});
    EXPECT_EQ(session.Discarded(), 0);
  }
}

// Answers that look odd but are readable: what the session makes of them.
TEST_F(FetchTest, OddButReadableAnswers) {
  auto packet = [](const std::string& header, const std::string& inner) {
    return "<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\"><header>" + header +
           "</header>" + inner + "</packet>";
  };
  const std::string plain = NotificationXml({.id = "top"});
  // The answer in UTF-16LE, with an e-acute for the '@'.
  const std::string ascii = AnswerXml({{.id = "wide", .title = "caf@"}});
  std::u16string wide = u"\uFEFF";
  for (const char c : ascii.substr(ascii.find("<packet"))) {
    wide += c == '@' ? u'\u00E9' : static_cast<char16_t>(c);
  }
  struct Case {
    const char* name;
    std::string answer;
    Ids ids;
    std::wstring firstTitle;
  } cases[] = {
      {"Utf16WithByteOrderMark", Utf16LE(wide), {L"wide"}, L"caf\u00E9"},
      {"NoBody", packet("", ""), {}, L""},
      {"NoHeader", "<packet><body>" + plain + "</body></packet>", {L"top"}, L"Title top"},
      {"StatusWithoutDigits",
       packet("<server><status code=\"none\">fine</status></server>", "<body>" + plain + "</body>"),
       {L"top"},
       L"Title top"},
      {"NestedNotificationIgnored",
       packet("", "<body><group>" + NotificationXml({.id = "deep"}) + "</group><other/>" + plain +
                      "</body>"),
       {L"top"},
       L"Title top"},
      {"CdataAndEntities",
       AnswerXml({{.id = "x", .title = "<![CDATA[a < b]]>", .body = "fish &amp; chips"}}),
       {L"x"},
       L"a < b"},
      {"NoMessages",
       packet("",
              "<body><notification><ID>bare</ID><severity>Fatal</severity><status/>"
              "<conditions/></notification></body>"),
       {L"bare"},
       L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(ScriptedResponse::Ok(c.answer));
    Session session;
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), c.ids);
    if (!c.ids.empty()) {
      EXPECT_EQ(session.Title(c.ids[0]), c.firstTitle);
    }
  }
}

// The message text chosen for the session's language: an exact match, the
// last one among several, else the first English one.
TEST_F(FetchTest, MessageLanguage) {
  const std::string messages =
      "<messages><message lang=\"9\"><title>en</title></message>"
      "<message lang=\"7\"><title>de1</title></message>"
      "<message lang=\"0x7\"><title>de2</title></message>"
      "<message lang=\"9\"><title>en2</title></message>"
      "<message lang=\" 12\"><title>fr</title></message></messages>";
  const std::string answer =
      "<packet><body><notification><ID>m</ID><severity>Info</severity><status/><conditions/>" +
      messages + "</notification></body></packet>";
  const struct {
    int languageId;
    const wchar_t* title;
  } cases[] = {{7, L"de2"}, {9, L"en2"}, {12, L"en"}, {1031, L"en"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.languageId);
    server_.Enqueue(ScriptedResponse::Ok(answer));
    OpenArgs args;
    args.languageId = c.languageId;
    Session session(args);
    ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Title(L"m"), c.title);
  }
}

// Ids beyond ASCII are ordered by their UTF-16 code units on every build:
// U+FF61 sorts after a surrogate pair although its code point is lower.
TEST_F(FetchTest, OrderOfIdsBeyondAscii) {
  Answer({{.id = "\xEF\xBD\xA1", .title = "halfwidth"},   // U+FF61
          {.id = "\xF0\x9F\x98\x80", .title = "smiley"},  // U+1F600
          {.id = "\xC3\xA9", .title = "e-acute"},         // U+00E9
          {.id = "z", .title = "z"}});
  Session session;
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  ASSERT_EQ(session.Count(), 4);
  std::vector<std::wstring> titles;
  for (int i = 0; i < 4; ++i) {
    Variant title;
    EXPECT_EQ(GetMessageInfo(session, i, L"", title.get(), nullptr, nullptr), RAVENLINK_OK);
    titles.push_back(title.Text());
  }
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"z", L"e-acute", L"smiley", L"halfwidth"}));
}

// After a new answer the index-based reads wait for a count.
TEST_F(FetchTest, MessageIdBeforeMessageCount) {
  Answer({{.id = "m"}});
  Session session;
  ASSERT_EQ(session.Fetch(), RAVENLINK_OK);
  Variant id, title;
  EXPECT_EQ(GetMessageId(session, 0, id.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetMessageInfo(session, 0, L"", title.get(), nullptr, nullptr),
            RAVENLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(id.Untouched());
  EXPECT_TRUE(title.Untouched());
  EXPECT_EQ(session.Count(), 1);
  EXPECT_EQ(GetMessageId(session, 0, id.get()), RAVENLINK_OK);
  EXPECT_EQ(id.Text(), L"m");

  // A load is a new parse: the list is empty again until counted.
  WriteFile("other.xml", AnswerXml({{.id = "n"}}));
  const std::wstring path = PathIn("other.xml");
  ASSERT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_OK);
  id.Reset();
  EXPECT_EQ(GetMessageId(session, 0, id.get()), RAVENLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(id.Untouched());
  EXPECT_EQ(session.Ids(), Ids{L"n"});
}

TEST_F(FetchTest, SaveThenLoadGivesTheSameMessages) {
  Answer({{.id = "b", .title = "two\nlines"}, {.id = "a"}, {.id = "C"}});
  Session fetched;
  ASSERT_EQ(fetched.Fetch(), RAVENLINK_OK);
  const std::wstring path = PathIn("new/folder/saved.xml");
  EXPECT_EQ(SaveNotificationResponse(fetched, path.c_str()), RAVENLINK_OK);
  const std::string text = PostedText(ReadFile("new/folder/saved.xml"));
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>\n<packet xmlns=", 0), 0u) << text;
  EXPECT_NE(text.find("<notification>"), std::string::npos) << text;

  OpenArgs noQuery;
  noQuery.flags = RAVENLINK_FLAG_NO_QUERY;
  Session loaded(noQuery);
  EXPECT_EQ(LoadNotificationResponse(loaded, path.c_str()), RAVENLINK_OK);
  EXPECT_EQ(loaded.Ids(), fetched.Ids());
  EXPECT_EQ(loaded.Ids(), (Ids{L"C", L"a", L"b"}));
  EXPECT_EQ(loaded.Title(L"b"), L"two\r\nlines");
  EXPECT_EQ(fetched.Title(L"b"), L"two\r\nlines");

  // Saving what was loaded writes the same file again.
  const std::wstring again = PathIn("again.xml");
  EXPECT_EQ(SaveNotificationResponse(loaded, again.c_str()), RAVENLINK_OK);
  EXPECT_EQ(PostedText(ReadFile("again.xml")), text);
}

// When there is no successful answer to save, nothing is written and the
// result is still 0, except after a ping on a session that never fetched.
TEST_F(FetchTest, SaveWithNothingToSave) {
  struct Case {
    const char* name;
    int result;
  } cases[] = {{"Fresh", 0}, {"RefusedAnswer", 0}, {"SecondStart", 0}, {"AfterPing", 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    const std::string name(c.name);
    if (name == "RefusedAnswer") {
      Answer({{.id = "x"}}, "300");
      EXPECT_EQ(session.Fetch(), RAVENLINK_REFUSED);
    } else if (name == "SecondStart") {
      Answer({{.id = "x"}});
      EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
      EXPECT_EQ(StartGetNotifications(session), RAVENLINK_OK);  // drops the kept answer
      EXPECT_EQ(session.Ids(), Ids{L"x"});
    } else if (name == "AfterPing") {
      Answer({});
      EXPECT_EQ(PingServer(session, 5000), RAVENLINK_OK);
    }
    const std::wstring path = PathIn(name + ".xml");
    EXPECT_EQ(SaveNotificationResponse(session, path.c_str()), c.result);
    EXPECT_FALSE(std::filesystem::exists(HostPath(name + ".xml")));
  }
}

// A file that cannot be loaded gives 5 and leaves the entries alone.
TEST_F(FetchTest, LoadFailures) {
  struct Case {
    const char* name;
    std::string content;  // empty: no file at all
  } cases[] = {
      {"Missing", ""},
      {"NotXml", "plain text"},
      {"RefusedPacket", AnswerXml({{.id = "x"}}, "300")},
      {"BadSeverity", AnswerXml({{.id = "x", .severity = "Loud"}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    Load(session, {{.id = "loaded"}});
    const std::wstring path = PathIn(std::string(c.name) + ".xml");
    if (!c.content.empty()) WriteFile(std::string(c.name) + ".xml", c.content);
    EXPECT_EQ(LoadNotificationResponse(session, path.c_str()), RAVENLINK_FAILED);
    if (std::string(c.name) != "BadSeverity") {
      EXPECT_EQ(session.Ids(), Ids{L"loaded"});
    }
    // The query was not touched: a fetch still goes out.
    Answer({{.id = "fetched"}});
    EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"fetched"});
  }
}

TEST_F(FetchTest, Ping) {
  struct Case {
    const char* name;
    int timeoutMs;
    std::string statusCode;
    int result;
  } cases[] = {
      {"Judged", 5000, "", 0},           {"JudgedZero", 5000, "0", 0},
      {"JudgedRefused", 5000, "900", 4}, {"JudgedOther", 5000, "42", 4},
      {"NotJudged", 0, "900", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse answer = ScriptedResponse::Ok(AnswerXml({}, c.statusCode));
    // A ping not waited for must still be running when it is handed over.
    if (c.timeoutMs == 0) answer.delayBeforeStatus = kNotWaitedForDelay;
    server_.Enqueue(answer);
    Session session;
    const size_t before = server_.RequestCount();
    EXPECT_EQ(PingServer(session, c.timeoutMs), c.result);
    ASSERT_EQ(server_.RequestCount(), before + 1);
    const RecordedRequest request = server_.Requests().back();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, kPingTarget);
    EXPECT_EQ(request.body, "");
    EXPECT_FALSE(request.HasHeader("Accept-Encoding"));
    EXPECT_EQ(request.Header("User-Agent"), "QvWebServiceClient (qvwshttp 17.0.0;App 1.0;)");
    // The ping leaves the query alone.
    Answer({{.id = "after"}});
    EXPECT_EQ(session.Fetch(), RAVENLINK_OK);
    EXPECT_EQ(session.Ids(), Ids{L"after"});
  }
}

TEST_F(FetchTest, PingTimesOut) {
  const ScriptedResponse stalled = Stalled(AnswerXml({}));
  server_.Enqueue(stalled);
  Session session;
  EXPECT_EQ(PingReachingServer(session, 200), RAVENLINK_TRANSPORT_FAILED);
  Answer({});
  EXPECT_EQ(PingServer(session, 5000), RAVENLINK_OK);
}

}  // namespace
}  // namespace session_test
