// Handle numbering and unloading, on a freshly loaded copy of the library so
// that the first handle of each test is 1.
#include "ravenlink.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/library_loader.h"

namespace {

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
  EXPECT_EQ(Open(), 1);
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
  EXPECT_EQ(Open(), 1);
}

TEST_F(FreshLibrary, UnloadDestroysOpenSessions) {
  Open();
  Open();
  const int closed = Open();
  Open();
  ASSERT_EQ(close(closed), RAVENLINK_OK);
  // No close for the others: unloading destroys them. A leak shows under the
  // leak checker, a crash here.
  EXPECT_TRUE(library->Unload());

  std::string error;
  auto again = LoadedLibrary::LoadFreshCopy(&error);
  ASSERT_TRUE(again) << error;
  auto openAgain = again->Function<decltype(WsRavenlinkOpen2)>("WsRavenlinkOpen2");
  int handle = -1;
  ASSERT_EQ(openAgain(L"A", L"1", L"", 0, L"W", L"1", 9, 2, &handle), RAVENLINK_OK);
  EXPECT_EQ(handle, 1);
  EXPECT_TRUE(again->Unload());
}

}  // namespace
