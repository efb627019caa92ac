// Load: many threads open sessions, fetch, read every message, save, load
// and close, round after round, and every round must see the same messages;
// then a library copy is unloaded while its sessions are still fetching.
// Bounded in rounds, not in time; the sanitizer builds watch for leaks and
// races.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "session_harness.h"
#include "support/library_loader.h"

namespace session_test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 6;
constexpr int kSessionsPerRound = 2;

// What a caller reads of one session: every message's id, title, body, URL
// and severity, in the library's order, as one text.
std::wstring ReadEverything(const Session& session) {
  std::wstring text;
  for (const std::wstring& id : session.Ids()) {
    Variant title, body, url;
    int severity = -1;
    EXPECT_EQ(GetMessageBody(session, id.c_str(), body.get()), RAVENLINK_OK);
    EXPECT_EQ(GetMessageUrl(session, id.c_str(), url.get()), RAVENLINK_OK);
    EXPECT_EQ(GetMessageSeverity(session, id.c_str(), &severity), RAVENLINK_OK);
    text += id + L"|" + session.Title(id) + L"|" + body.Text() + L"|" + url.Text() + L"|" +
            std::to_wstring(severity) + L"\n";
  }
  return text;
}

class SoakTest : public SessionTest {
 protected:
  SoakTest() {
    std::vector<Note> notes;
    const char* severities[] = {"Info", "Warning", "Critical"};
    for (int i = 0; i < 40; ++i) {
      notes.push_back({.id = "soak" + std::to_string(i),
                       .severity = severities[i % 3],
                       .body = "Body of " + std::to_string(i)});
    }
    ScriptedResponse answer = ScriptedResponse::Ok(AnswerXml(notes));
    answer.gzip = true;
    server_.SetDefault(answer);
  }
};

TEST_F(SoakTest, ThreadsOpenFetchReadSaveLoadAndClose) {
  std::vector<std::vector<std::wstring>> seen(kThreads);
  std::vector<std::vector<int>> handles(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::wstring saved = PathIn("saved-" + std::to_string(t) + ".xml");
      for (int round = 0; round < kRounds; ++round) {
        for (int s = 0; s < kSessionsPerRound; ++s) {
          Session fetched;
          handles[t].push_back(fetched.handle());
          if (fetched.Fetch() != RAVENLINK_OK) {
            seen[t].push_back(L"<fetch failed>");
            continue;
          }
          seen[t].push_back(ReadEverything(fetched));
          EXPECT_EQ(SaveNotificationResponse(fetched, saved.c_str()), RAVENLINK_OK);
          EXPECT_EQ(fetched.Close(), RAVENLINK_OK);

          OpenArgs noQuery;
          noQuery.flags |= RAVENLINK_FLAG_NO_QUERY;
          Session loaded(noQuery);
          handles[t].push_back(loaded.handle());
          EXPECT_EQ(LoadNotificationResponse(loaded, saved.c_str()), RAVENLINK_OK);
          seen[t].push_back(ReadEverything(loaded));
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  RecordProperty("rounds", kRounds);
  RecordProperty("sessions", kThreads * kRounds * kSessionsPerRound * 2);

  const std::wstring& first = seen[0][0];
  EXPECT_NE(first.find(L"soak39|Title soak39|Body of 39|"), std::wstring::npos);
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    ASSERT_EQ(seen[t].size(), size_t{kRounds * kSessionsPerRound * 2});
    for (const std::wstring& text : seen[t]) EXPECT_EQ(text, first);
    // Handles are never reused: each thread sees them grow.
    for (size_t i = 1; i < handles[t].size(); ++i) EXPECT_GT(handles[t][i], handles[t][i - 1]);
  }
  EXPECT_EQ(server_.RequestCount(), size_t{kThreads * kRounds * kSessionsPerRound});
  // The Windows internet client keeps finished connections open for reuse.
  if (!TestsRunOnWindows()) {
    EXPECT_TRUE(server_.WaitForIdle(std::chrono::seconds(30)));
  }
}

// A private copy of the library is unloaded while its sessions wait for
// answers that stall: unloading ends every exchange instead of crashing or
// hanging, and the server sees every connection end.
TEST_F(SoakTest, UnloadWhileSessionsFetch) {
  if (TestsRunOnWindows()) {
    // Wine's internet client does not end a read blocked on the server when
    // its handle is closed, so each unload would wait out the stalled server.
    GTEST_SKIP() << "a blocked read is not interrupted by the Windows internet client here";
  }
  ScriptedResponse stalled = ScriptedResponse::Ok(AnswerXml({{.id = "never"}}));
  stalled.fault = ServerFault::kStallInBody;
  stalled.bodySplit = 10;
  server_.SetDefault(stalled);
  constexpr int kCopies = 3;
  constexpr int kSessions = 4;
  for (int copy = 0; copy < kCopies; ++copy) {
    SCOPED_TRACE(copy);
    std::string error;
    auto library = LoadedLibrary::LoadFreshCopy(&error);
    ASSERT_TRUE(library) << error;
    auto open = library->Function<decltype(WsRavenlinkOpen2)>("WsRavenlinkOpen2");
    auto start = library->Function<decltype(StartGetNotifications)>("StartGetNotifications");
    auto check = library->Function<decltype(CheckGetNotifications)>("CheckGetNotifications");
    ASSERT_TRUE(open && start && check);
    const size_t before = server_.RequestCount();
    std::vector<std::thread> threads;
    std::atomic<int> pending{0};
    {
      // The copy's lasting state is made by its first session and its first
      // wait for a worker.
      LeakCheckPause pause;
      int handle = -1;
      ASSERT_EQ(
          open(L"Soak", L"1.0", L"", 1, L"Wrapper", L"2.0", 9, RAVENLINK_FLAG_SILENT, &handle),
          RAVENLINK_OK);
      if (start(handle) == RAVENLINK_PENDING) ++pending;
      EXPECT_EQ(check(handle), RAVENLINK_PENDING);
    }
    for (int s = 1; s < kSessions; ++s) {
      threads.emplace_back([&] {
        int handle = -1;
        if (open(L"Soak", L"1.0", L"", 1, L"Wrapper", L"2.0", 9, RAVENLINK_FLAG_SILENT, &handle) !=
            RAVENLINK_OK)
          return;
        if (start(handle) == RAVENLINK_PENDING) ++pending;
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(pending.load(), kSessions);
    ASSERT_TRUE(server_.WaitForRequests(before + kSessions, std::chrono::seconds(30)));
    EXPECT_TRUE(library->Unload());
    EXPECT_TRUE(server_.WaitForIdle(std::chrono::seconds(30)));
  }
}

}  // namespace
}  // namespace session_test
