#include "api/session_manager.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A session that records what reaches it and fails as told.
struct FakeSession {
  explicit FakeSession(std::vector<int>* destroyed, int id) : destroyed(destroyed), id(id) {}
  ~FakeSession() {
    if (destroyed) destroyed->push_back(id);
  }

  WsStatus Returns(uint32_t status) { return WsStatus(status); }
  void Raises(uint32_t status) { throw WsStatus(status); }
  void RaisesOther(int which) {
    if (which == 0) throw std::bad_alloc();
    if (which == 1) throw std::out_of_range("slot");
    throw 42;
  }
  void Text(const WsString& a, const WsString& b) { texts = a + L"|" + b; }
  void Count(int32_t* out) { *out = id; }
  void Index(uint32_t index) { lastIndex = index; }

  std::vector<int>* destroyed;
  int id;
  WsString texts;
  uint32_t lastIndex = 0;
};

using Manager = WsGenericManager<FakeSession>;

class ManagerTest : public ::testing::Test {
 protected:
  int Open() {
    ++opened;
    return manager.Add(std::make_unique<FakeSession>(&destroyed, opened));
  }

  CriticalSection lock;
  std::vector<int> destroyed;
  int opened = 0;
  Manager manager{lock};
};

TEST_F(ManagerTest, HandlesCountUpAndAreNeverReused) {
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(Open(), 3);
  EXPECT_EQ(manager.Close(2), 0);
  EXPECT_EQ(destroyed, std::vector<int>{2});
  EXPECT_EQ(Open(), 4);
  EXPECT_EQ(manager.Lookup(2), nullptr);
  EXPECT_EQ(manager.Lookup(1)->id, 1);
  EXPECT_EQ(manager.Lookup(4)->id, 4);
}

TEST_F(ManagerTest, LookupAndCloseOutsideTheTable) {
  Open();
  Open();
  for (int handle : {0, -1, 3, 1000, INT32_MIN}) {
    EXPECT_THROW(manager.Lookup(handle), WsStatus) << handle;
  }
  try {
    manager.Lookup(3);
  } catch (const WsStatus& status) {
    EXPECT_EQ(status.code, kWsBadHandle);
  }
  // Close: below 1 is nothing to do, beyond the table fails, closed twice is fine.
  const struct {
    int handle;
    int expected;
  } closes[] = {{0, 0}, {-1, 0}, {INT32_MIN, 0}, {3, 5}, {1, 0}, {1, 0}};
  for (const auto& c : closes) EXPECT_EQ(manager.Close(c.handle), c.expected) << c.handle;
  EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST_F(ManagerTest, LockIsLeftWhenLookupRaises) {
  // Another thread must get the lock after a raising lookup.
  EXPECT_THROW(manager.Lookup(5), WsStatus);
  bool entered = false;
  std::thread other([&] {
    CriticalSectionLock hold(lock);
    entered = true;
  });
  other.join();
  EXPECT_TRUE(entered);
}

TEST_F(ManagerTest, CallConvertsOutcomes) {
  const int h = Open();
  const struct {
    uint32_t status;
    int converted, pingVerdict;
  } returned[] = {
      {0, 0, 0}, {0x40001002, 1, 4}, {0x40001001, 5, 4}, {0x80008003, 4, 4}, {0x80002011, 3, 4},
  };
  for (const auto& r : returned) {
    EXPECT_EQ(manager.Call(h, &FakeSession::Returns, r.status), r.converted)
        << std::hex << r.status;
    EXPECT_EQ(manager.Call<Outcome::kPingVerdict>(h, &FakeSession::Returns, r.status),
              r.pingVerdict)
        << std::hex << r.status;
  }
  const struct {
    uint32_t status;
    int converted;
  } raised[] = {{0x80002008, 3}, {0x80004002, 4}, {0x80001001, 5}, {0x40001002, 1}};
  for (const auto& r : raised) {
    EXPECT_EQ(manager.Call(h, &FakeSession::Raises, r.status), r.converted);
    EXPECT_EQ(manager.Call<Outcome::kPingVerdict>(h, &FakeSession::Raises, r.status), r.converted);
    EXPECT_EQ(manager.Call<Outcome::kAnyFailureIs5>(h, &FakeSession::Raises, r.status), 5);
  }
  for (int which : {0, 1, 2}) {
    EXPECT_EQ(manager.Call(h, &FakeSession::RaisesOther, which), 5);
    EXPECT_EQ(manager.Call<Outcome::kAnyFailureIs5>(h, &FakeSession::RaisesOther, which), 5);
  }
}

TEST_F(ManagerTest, CallPassesArgumentsAndRefusesNulls) {
  const int h = Open();
  FakeSession* session = manager.Lookup(h);

  EXPECT_EQ(manager.Call(h, &FakeSession::Text, L"a", L""), 0);
  EXPECT_EQ(session->texts, WsString(L"a|"));
  EXPECT_EQ(manager.Call(h, &FakeSession::Text, static_cast<const wchar_t*>(nullptr), L"b"), 5);
  EXPECT_EQ(session->texts, WsString(L"a|"));

  int32_t count = -7;
  EXPECT_EQ(manager.Call(h, &FakeSession::Count, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(manager.Call(h, &FakeSession::Count, static_cast<int32_t*>(nullptr)), 5);

  // A negative index reaches the session as a very large one.
  EXPECT_EQ(manager.Call(h, &FakeSession::Index, -1), 0);
  EXPECT_EQ(session->lastIndex, 0xFFFFFFFFu);
}

TEST_F(ManagerTest, CallOnBadHandleTouchesNoSession) {
  const int h = Open();
  manager.Close(h);
  int32_t count = -7;
  for (int handle : {0, -1, h, h + 1}) {
    EXPECT_EQ(manager.Call(handle, &FakeSession::Count, &count), 5) << handle;
  }
  EXPECT_EQ(count, -7);
}

TEST(ManagerLifetime, DestructorDestroysOpenSessionsInHandleOrder) {
  CriticalSection lock;
  std::vector<int> destroyed;
  {
    Manager manager(lock);
    for (int id = 1; id <= 4; ++id) manager.Add(std::make_unique<FakeSession>(&destroyed, id));
    manager.Close(3);
  }
  EXPECT_EQ(destroyed, (std::vector<int>{3, 1, 2, 4}));
}

}  // namespace

namespace {

class RavenlinkManagerTest : public ::testing::Test {
 protected:
  CriticalSection lock;
  WsRavenlinkManager manager{lock};
};

TEST_F(RavenlinkManagerTest, OpenIsOpen2WithTheSubstituteArguments) {
  int first = 0, second = 0;
  ASSERT_EQ(manager.Open(L"Setup", L"4.2", L"WRAP", L"1.0", 9, &first), 0);
  ASSERT_EQ(manager.Open2(L"Setup", L"4.2", L"", -1, L"WRAP", L"1.0", 9, 0, &second), 0);
  const WsRavenlinkSession* a = manager.Lookup(first);
  const WsRavenlinkSession* b = manager.Lookup(second);
  ASSERT_TRUE(a && b);
  for (const WsRavenlinkSession* s : {a, b}) {
    const ClientIdentity& c = s->Client();
    EXPECT_EQ(c.swapp, WsString(L"Setup"));
    EXPECT_EQ(c.swappVersion, WsString(L"4.2"));
    EXPECT_EQ(c.reserved, WsString(L""));
    EXPECT_EQ(c.ownTargetOnly, -1);
    EXPECT_EQ(c.wrapperlib, WsString(L"WRAP"));
    EXPECT_EQ(c.wrapperlibVersion, WsString(L"1.0"));
    EXPECT_EQ(c.corelib, WsString(L"quillo"));
    EXPECT_EQ(c.corelibVersion, WsString(L"17.0.0"));
    EXPECT_EQ(s->LanguageId(), 9u);
    EXPECT_EQ(s->Flags(), 0u);
  }
}

TEST_F(RavenlinkManagerTest, Open2KeepsEveryArgument) {
  int h = 0;
  ASSERT_EQ(manager.Open2(L"a", L"b", L"c", 0, L"d", L"e", 1033, 14, &h), 0);
  const WsRavenlinkSession* s = manager.Lookup(h);
  EXPECT_EQ(s->Client().reserved, WsString(L"c"));
  EXPECT_EQ(s->Client().ownTargetOnly, 0);
  EXPECT_EQ(s->Client().wrapperlib, WsString(L"d"));
  EXPECT_EQ(s->LanguageId(), 1033u);
  EXPECT_EQ(s->Flags(), 14u);
}

TEST_F(RavenlinkManagerTest, FailedOpenWritesNothingAndUsesNoHandle) {
  const wchar_t* const ok = L"x";
  const wchar_t* const null = nullptr;
  const struct {
    const wchar_t *swapp, *swappVersion, *reserved, *wrapperlib, *wrapperlibVersion;
  } refused[] = {
      {null, ok, ok, ok, ok}, {ok, null, ok, ok, ok}, {ok, ok, null, ok, ok},
      {ok, ok, ok, null, ok}, {ok, ok, ok, ok, null},
  };
  for (const auto& r : refused) {
    int h = -7;
    EXPECT_EQ(manager.Open2(r.swapp, r.swappVersion, r.reserved, 0, r.wrapperlib,
                            r.wrapperlibVersion, 9, 0, &h),
              5);
    EXPECT_EQ(h, -7);
  }
  EXPECT_EQ(manager.Open(ok, ok, ok, ok, 9, nullptr), 5);
  int h = 0;
  ASSERT_EQ(manager.Open(ok, ok, ok, ok, 9, &h), 0);
  EXPECT_EQ(h, 1);
}

}  // namespace
