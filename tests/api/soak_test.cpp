// Load: many threads open sessions, fetch, read every message, save, load
// and close, round after round; every round must see the same messages and
// the heap must stop growing after the first rounds. Then a library copy is
// unloaded while its sessions are still fetching. Bounded in rounds, not in
// time; the sanitizer builds watch for leaks and races.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "session_harness.h"
#include "support/library_loader.h"
#include "zeb_system_utility.h"

namespace session_test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 8;
constexpr int kWarmUpRounds = 2;
constexpr int kSessionsPerRound = 2;
// How far the heap may grow after the warm-up rounds.
constexpr size_t kHeapAllowance = 128 * 1024;

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

  // Rounds of kThreads threads, each opening kSessionsPerRound sessions with
  // args that fetch, read everything, save and close, each followed by a
  // session that loads the saved answer and reads everything again. Every
  // read must equal the first one, which must contain mustContain.
  void RunRounds(const OpenArgs& args, const std::wstring& mustContain) {
    std::wstring expected;
    {
      Session first(args);
      ASSERT_EQ(first.Fetch(), RAVENLINK_OK);
      expected = ReadEverything(first);
    }
    ASSERT_NE(expected.find(mustContain), std::wstring::npos) << "first read:\n"
                                                              << Narrow(expected);
    server_.ClearRequests();

    std::vector<int> lastHandle(kThreads, 0);
    std::vector<size_t> heapAfterRound;
    for (int round = 0; round < kRounds; ++round) {
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          SCOPED_TRACE("thread " + std::to_string(t) + ", round " + std::to_string(round));
          const std::wstring saved = PathIn("saved-" + std::to_string(t) + ".xml");
          for (int s = 0; s < kSessionsPerRound; ++s) {
            Session fetched(args);
            // Handles are never reused: each thread sees them grow.
            EXPECT_GT(fetched.handle(), lastHandle[t]);
            lastHandle[t] = fetched.handle();
            ASSERT_EQ(fetched.Fetch(), RAVENLINK_OK);
            EXPECT_EQ(ReadEverything(fetched), expected);
            EXPECT_EQ(SaveNotificationResponse(fetched, saved.c_str()), RAVENLINK_OK);
            EXPECT_EQ(fetched.Close(), RAVENLINK_OK);

            OpenArgs noQuery = args;
            noQuery.flags |= RAVENLINK_FLAG_NO_QUERY;
            Session loaded(noQuery);
            EXPECT_GT(loaded.handle(), lastHandle[t]);
            lastHandle[t] = loaded.handle();
            EXPECT_EQ(LoadNotificationResponse(loaded, saved.c_str()), RAVENLINK_OK);
            EXPECT_EQ(ReadEverything(loaded), expected);
          }
        });
      }
      for (std::thread& thread : threads) thread.join();
      // What the tests' own helpers record grows with every call; it is
      // emptied so that only the library's memory is left to compare.
      requests_ += server_.ClearRequests();
      ZEBTest_ResetCalls();
      heapAfterRound.push_back(HeapBytesInUse());
    }

    // Memory is steady once the first rounds have filled the caches of the
    // runtime and the internet client: a leak of even a few KiB per session
    // would add more than the allowance over the later rounds.
    ASSERT_NE(heapAfterRound[kWarmUpRounds - 1], size_t{0}) << "heap use cannot be measured here";
    const size_t settled = heapAfterRound[kWarmUpRounds - 1];
    size_t highest = settled;
    for (int round = kWarmUpRounds; round < kRounds; ++round) {
      highest = std::max(highest, heapAfterRound[round]);
      EXPECT_LE(heapAfterRound[round], settled + kHeapAllowance)
          << "after round " << round + 1 << " of " << kRounds;
    }
    RecordProperty("rounds", kRounds);
    RecordProperty("sessions", kThreads * kRounds * kSessionsPerRound * 2);
    RecordProperty("heapGrowthBytes", static_cast<int>(highest - settled));
  }

  static std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
  }

  size_t requests_ = 0;  // requests the test server answered during the rounds
};

TEST_F(SoakTest, ThreadsOpenFetchReadSaveLoadAndClose) {
  RunRounds(OpenArgs(), L"soak39|Title soak39|Body of 39|");
  EXPECT_EQ(requests_, size_t{kThreads * kRounds * kSessionsPerRound});
  ExpectIdle();
}

// The same rounds against the reference service serving the sample
// notifications, when the test run started one: RAVENLINK_TEST_SERVICE_URL
// names it and RAVENLINK_TEST_SERVICE_INVENTORY the inventory file the
// samples are written for.
TEST_F(SoakTest, AgainstReferenceService) {
  const char* url = std::getenv("RAVENLINK_TEST_SERVICE_URL");
  const char* inventory = std::getenv("RAVENLINK_TEST_SERVICE_INVENTORY");
  if (url == nullptr || inventory == nullptr) {
    GTEST_SKIP() << "no reference service was started for this run";
  }
  std::ifstream in(inventory, std::ios::binary);
  ASSERT_TRUE(in) << inventory;
  WriteInventory(std::string(std::istreambuf_iterator<char>(in), {}));
  const std::string text = std::string(
                               "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\n"
                               "\"S_URL\"=\"") +
                           url + "\"\n";
  registry_->Replace(std::wstring(text.begin(), text.end()));
  OpenArgs studio;
  studio.swapp = L"Quorvane Studio";
  studio.swappVersion = L"8.6.2";
  studio.ownTargetOnly = 0;
  studio.wrapperlib = L"QVSTUDIO";
  studio.wrapperlibVersion = L"8.6.2";
  RunRounds(studio, L"QN-2026-0101|Security update for Quorvane Studio|");
}

// A private copy of the library is unloaded while its sessions wait for
// answers that stall: unloading ends every exchange instead of crashing or
// hanging, and the server sees every connection end. The Windows internet
// client does not end a read blocked on a silent server when its handle is
// closed, so there the answers never end instead: closing ends the exchange
// at its next read.
TEST_F(SoakTest, UnloadWhileSessionsFetch) {
  ScriptedResponse stalled = ScriptedResponse::Ok(AnswerXml({{.id = "never"}}));
  stalled.fault = TestsRunOnWindows() ? ServerFault::kEndlessBody : ServerFault::kStallInBody;
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
