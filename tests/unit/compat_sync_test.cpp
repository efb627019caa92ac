// Events, waits and critical sections across the threads the worker starts.

#include <gtest/gtest.h>

#include <vector>

#include "compat/win32.h"

namespace {

TEST(CompatSync, EventsSignalAndResetAsTheirKindSays) {
  struct Case {
    const char* label;
    BOOL manualReset;
    BOOL initialState;
    std::vector<DWORD> waits;  // results of successive zero-time waits
  };
  const Case cases[] = {
      {"auto, unsignalled", FALSE, FALSE, {WAIT_TIMEOUT, WAIT_TIMEOUT}},
      {"auto, signalled", FALSE, TRUE, {WAIT_OBJECT_0, WAIT_TIMEOUT}},
      {"manual, unsignalled", TRUE, FALSE, {WAIT_TIMEOUT}},
      {"manual, signalled", TRUE, TRUE, {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_OBJECT_0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HANDLE event = CreateEventW(nullptr, c.manualReset, c.initialState, nullptr);
    ASSERT_NE(event, nullptr);
    for (DWORD expected : c.waits) EXPECT_EQ(WaitForSingleObject(event, 0), expected);

    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.manualReset ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
  }
}

struct Shared {
  CRITICAL_SECTION section;
  HANDLE go = nullptr;
  long counter = 0;
};

struct Worker {
  Shared* shared = nullptr;
  HANDLE done = nullptr;
};

constexpr int kWorkers = 4;
constexpr int kIncrements = 20000;

void Work(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  Shared& shared = *worker->shared;
  WaitForSingleObject(shared.go, INFINITE);
  for (int i = 0; i < kIncrements; ++i) {
    EnterCriticalSection(&shared.section);
    EnterCriticalSection(&shared.section);  // the owner may enter again
    const long seen = shared.counter;
    shared.counter = seen + 1;
    LeaveCriticalSection(&shared.section);
    LeaveCriticalSection(&shared.section);
  }
  SetEvent(worker->done);
}

// The worker's wait: pump messages, then wait for the event or new input.
bool WaitPumping(HANDLE event, DWORD milliseconds) {
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const DWORD result = MsgWaitForMultipleObjects(1, &event, FALSE, milliseconds, QS_ALLINPUT);
    if (result == WAIT_TIMEOUT) return false;
    if (result != WAIT_OBJECT_0 + 1) return result == WAIT_OBJECT_0;
  }
}

TEST(CompatSync, ThreadsMeetThroughEventsAndCriticalSections) {
  Shared shared;
  InitializeCriticalSection(&shared.section);
  shared.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(shared.go, nullptr);
  Worker workers[kWorkers];
  for (Worker& worker : workers) {
    worker.shared = &shared;
    worker.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(worker.done, nullptr);
    ASSERT_NE(_beginthread(Work, 0, &worker), static_cast<uintptr_t>(-1));
  }
  // Nobody finishes before the manual-reset "go" releases them all.
  EXPECT_FALSE(WaitPumping(workers[0].done, 0));
  ASSERT_TRUE(SetEvent(shared.go));
  for (Worker& worker : workers) {
    EXPECT_TRUE(WaitPumping(worker.done, INFINITE));
    EXPECT_TRUE(CloseHandle(worker.done));
  }
  EXPECT_EQ(shared.counter, long{kWorkers} * kIncrements);
  EXPECT_TRUE(CloseHandle(shared.go));
  DeleteCriticalSection(&shared.section);
}

TEST(CompatSync, StaleHandlesFailAndLocalTimeIsInRange) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_GE(now.wYear, 2020);
  EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12);
  EXPECT_TRUE(now.wDay >= 1 && now.wDay <= 31);
  EXPECT_LE(now.wDayOfWeek, 6);
  EXPECT_LE(now.wHour, 23);
  EXPECT_LE(now.wMilliseconds, 999);
}

}  // namespace
