// Handle numbering and unloading, on a freshly loaded copy of the library so
// that the first handle of each test is 1.
#include "ravenlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/library_loader.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

namespace {

// The lines of a UTF-16LE text file, as ASCII ('?' for anything else).
std::vector<std::string> ReadUtf16Lines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines(1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit =
        static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (unit == 0xFEFF && i == 0) continue;
    if (unit == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
  }
  return lines;
}

size_t CountEndingWith(const std::vector<std::string>& lines, const std::string& tail) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  });
}

class FreshLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    library = LoadedLibrary::LoadFreshCopy(&error);
    ASSERT_TRUE(library) << error;
    open = library->Function<decltype(WsRavenlinkOpen)>("WsRavenlinkOpen");
    open2 = library->Function<decltype(WsRavenlinkOpen2)>("WsRavenlinkOpen2");
    close = library->Function<decltype(WsRavenlinkClose)>("WsRavenlinkClose");
    discarded =
        library->Function<decltype(GetDiscardedNotificationCount)>("GetDiscardedNotificationCount");
    ASSERT_TRUE(open && open2 && close && discarded);
  }

  // The first session of a copy also creates the module's lasting state.
  int OpenFirst() {
    LeakCheckPause pause;
    return Open();
  }

  int Open() {
    int handle = -1;
    EXPECT_EQ(open(L"LifetimeTest", L"1.0", L"TESTWRAP", L"2.0", 9, &handle), RAVENLINK_OK);
    return handle;
  }
  int Query(int handle) {
    int count = -1;
    return discarded(handle, &count);
  }

  std::unique_ptr<LoadedLibrary> library;
  decltype(WsRavenlinkOpen)* open = nullptr;
  decltype(WsRavenlinkOpen2)* open2 = nullptr;
  decltype(WsRavenlinkClose)* close = nullptr;
  decltype(GetDiscardedNotificationCount)* discarded = nullptr;
};

TEST_F(FreshLibrary, HandlesCountFromOneAndAreNeverReused) {
  EXPECT_EQ(OpenFirst(), 1);
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(Open(), 3);
  EXPECT_EQ(close(2), RAVENLINK_OK);
  EXPECT_EQ(Open(), 4);

  const struct {
    int handle, query, close;
  } expected[] = {{1, 0, 0}, {2, 5, 0}, {3, 0, 0}, {4, 0, 0}, {5, 5, 5}, {0, 5, 0}};
  for (const auto& e : expected) EXPECT_EQ(Query(e.handle), e.query) << e.handle;
  for (const auto& e : expected) EXPECT_EQ(close(e.handle), e.close) << e.handle;
  // Everything is closed now; the next handle still continues the count.
  EXPECT_EQ(Open(), 5);
}

TEST_F(FreshLibrary, FailedOpenUsesNoHandle) {
  int handle = -1;
  EXPECT_EQ(open2(nullptr, L"1", L"", -1, L"W", L"1", 9, 0, &handle), RAVENLINK_FAILED);
  EXPECT_EQ(open(L"A", L"1", L"W", nullptr, 9, &handle), RAVENLINK_FAILED);
  EXPECT_EQ(handle, -1);
  EXPECT_EQ(OpenFirst(), 1);
}

TEST_F(FreshLibrary, UnloadDestroysOpenSessions) {
  OpenFirst();
  Open();
  const int closed = Open();
  Open();
  ASSERT_EQ(close(closed), RAVENLINK_OK);
  // No close for the others: unloading destroys them. Sessions left behind
  // show under the leak checker of the sanitizer build; a crash shows here.
  EXPECT_TRUE(library->Unload());

  std::string error;
  auto again = LoadedLibrary::LoadFreshCopy(&error);
  ASSERT_TRUE(again) << error;
  auto openAgain = again->Function<decltype(WsRavenlinkOpen2)>("WsRavenlinkOpen2");
  int handle = -1;
  {
    LeakCheckPause pause;
    ASSERT_EQ(openAgain(L"A", L"1", L"", 0, L"W", L"1", 9, 2, &handle), RAVENLINK_OK);
  }
  EXPECT_EQ(handle, 1);
  EXPECT_TRUE(again->Unload());
}

TEST_F(FreshLibrary, UnloadWithTracingDestroysEverySession) {
  TempDir dir;
  const auto log = dir.path() / "trace.log";
  ScopedRegistry registry(TracingRegistryText(log));

  OpenFirst();
  Open();
  ASSERT_EQ(close(Open()), RAVENLINK_OK);
  Open();
  ASSERT_TRUE(library->Unload());

  const auto lines = ReadUtf16Lines(log);
  EXPECT_EQ(CountEndingWith(lines, "<WsRavenlinkSession::WsRavenlinkSession>"), 4u);
  EXPECT_EQ(CountEndingWith(lines, "</WsRavenlinkSession::~WsRavenlinkSession>"), 4u);
}

// The last session, destroyed at unload, closes the log with its summary
// block, whose separators are intact although function-local statics are
// gone by then.
TEST_F(FreshLibrary, UnloadWithTracingWritesAnIntactSummary) {
  TempDir dir;
  const auto log = dir.path() / "trace.log";
  ScopedRegistry registry(TracingRegistryText(log));
  OpenFirst();
  ASSERT_TRUE(library->Unload());

  const auto lines = ReadUtf16Lines(log);
  ASSERT_EQ(CountEndingWith(lines, "***SUMMARY***"), 1u);
  for (const std::string& line : lines) {
    if (line.find("---") != std::string::npos) {
      EXPECT_EQ(line, std::string(48, '-'));
    }
  }
}

}  // namespace
