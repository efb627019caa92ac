// Critical sections, events, waits, the tick count and Sleep.
//
// All events share one mutex and one condition variable: a wait on several
// events then needs no per-event bookkeeping, and the library has only a
// handful of events alive at a time.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <time.h>

#include "compat/handles.h"

namespace {

std::mutex& EventLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

std::condition_variable& EventChanged() {
  static std::condition_variable* changed = new std::condition_variable;
  return *changed;
}

class Event : public compat::KernelObject {
 public:
  Event(bool manualReset, bool signalled) : manualReset(manualReset), signalled(signalled) {}
  const bool manualReset;
  bool signalled;  // guarded by EventLock()
};

std::recursive_mutex* SectionMutex(LPCRITICAL_SECTION section) {
  return static_cast<std::recursive_mutex*>(section->impl);
}

}  // namespace

// A recursive mutex: the owning thread may enter again and leaves as often.
extern "C" void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  section->impl = new std::recursive_mutex;
}

extern "C" void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  delete SectionMutex(section);
  section->impl = nullptr;
}

extern "C" void EnterCriticalSection(LPCRITICAL_SECTION section) {
  SectionMutex(section)->lock();
}

extern "C" void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  SectionMutex(section)->unlock();
}

// Unnamed events only: a name or security attributes fail with
// ERROR_INVALID_PARAMETER (nothing here is shared between processes).
extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                               BOOL initialState, LPCWSTR name) {
  if (attributes != nullptr || name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HANDLE handle = compat::RegisterHandle(std::make_shared<Event>(manualReset, initialState));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

namespace {

BOOL SetSignalled(HANDLE handle, bool signalled) {
  auto event = compat::LookupHandleAs<Event>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(EventLock());
    event->signalled = signalled;
  }
  if (signalled) EventChanged().notify_all();
  return TRUE;
}

}  // namespace

extern "C" BOOL SetEvent(HANDLE event) {
  return SetSignalled(event, true);
}

extern "C" BOOL ResetEvent(HANDLE event) {
  return SetSignalled(event, false);
}

namespace compat {

// Waiting for all: returns only when every event is signalled at the same
// moment, and then resets the auto-reset ones together. An auto-reset event
// that satisfies a wait is reset by it.
DWORD WaitForEvents(DWORD count, const HANDLE* handles, bool waitAll, DWORD milliseconds) {
  if (count > 64 || (count > 0 && handles == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Event>> events;
  for (DWORD i = 0; i < count; ++i) {
    auto event = LookupHandleAs<Event>(handles[i]);
    if (!event) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    events.push_back(std::move(event));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> guard(EventLock());
  for (;;) {
    if (waitAll) {
      bool all = count > 0;
      for (const auto& event : events) all = all && event->signalled;
      if (all) {
        for (auto& event : events) {
          if (!event->manualReset) event->signalled = false;
        }
        return WAIT_OBJECT_0;
      }
    } else {
      for (DWORD i = 0; i < count; ++i) {
        if (events[i]->signalled) {
          if (!events[i]->manualReset) events[i]->signalled = false;
          return WAIT_OBJECT_0 + i;
        }
      }
    }
    if (milliseconds == INFINITE) {
      EventChanged().wait(guard);
    } else {
      if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
      EventChanged().wait_until(guard, deadline);
    }
  }
}

}  // namespace compat

// Waits for an event. Files, threads and other objects are not waitable here:
// they fail with WAIT_FAILED and ERROR_INVALID_HANDLE.
extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return compat::WaitForEvents(1, &handle, false, milliseconds);
}

// Milliseconds of a monotonic clock, wrapping at 2^32 like the Windows count.
extern "C" DWORD GetTickCount(void) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

// Sleep(0) gives up the rest of the time slice; INFINITE never returns.
extern "C" void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
