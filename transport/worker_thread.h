// CWorkerThread<T>: runs one member function of its owner on a thread of its
// own and lets the caller wait for it while the caller's window messages keep
// flowing. One worker serves one transfer.
//
// The owner may let this module go as soon as it has seen the done event
// (a session closed, or destroyed at unload, and the module freed at once).
// A thread that set the event itself would still have the way back out of
// this module's code ahead of it, and on Windows nothing in the loader waits
// for that: thread ends are held up by the loader lock that an unload holds.
// So on Windows the routine runs on the system thread pool, which sets the
// event only after the routine has returned into the pool's own code. The
// platform layer's _beginthread instead keeps the module until its threads
// have been joined.
#pragma once

#include <cstdint>

#include "compat/win32.h"

template <class T>
class CWorkerThread {
 public:
  // Thrown by value; the owner turns it into a status or swallows it.
  enum ExceptionType {
    CreateEventFailed = 0,
    CreateThreadFailed = 1,
    AlreadyStarted = 2,
    NotStarted = 3
  };

  // The routine runs on the worker thread and calls SignalDone() as its very
  // last action: the worker may be destroyed as soon as the event is set.
  typedef void (T::*Routine)(CWorkerThread* worker);

  static constexpr uintptr_t kNoThread = ~static_cast<uintptr_t>(0);
  static constexpr DWORD kNoLimit = 0xFFFFFFFFu;

  explicit CWorkerThread(T* owner) : owner_(owner) {}
  ~CWorkerThread() { CloseDoneEvent(); }
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Starts the thread and waits up to timeoutMs; true if the routine has
  // ended within that time.
  bool Start(Routine routine, DWORD timeoutMs) {
    if (thread_ != kNoThread) throw AlreadyStarted;
    doneEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (doneEvent_ == nullptr) throw CreateEventFailed;
    routine_ = routine;
#ifdef _WIN32
    thread_ = TrySubmitThreadpoolCallback(&CWorkerThread::PoolEntry, this, nullptr) ? kPoolThread
                                                                                    : kNoThread;
#else
    thread_ = _beginthread(&CWorkerThread::Entry, 0, this);
#endif
    if (thread_ == kNoThread) {
      CloseDoneEvent();
      throw CreateThreadFailed;
    }
    return Wait(timeoutMs);
  }

  // True once the routine has ended (its end is then observed: the thread
  // value goes back to kNoThread and the event is closed); false on time-out.
  // Window messages of the calling thread are dispatched while it waits.
  bool Wait(DWORD timeoutMs) {
    if (thread_ == kNoThread) throw NotStarted;
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      const DWORD result = MsgWaitForMultipleObjects(1, &doneEvent_, FALSE, timeoutMs, QS_ALLINPUT);
      if (result == WAIT_TIMEOUT) return false;
      if (result == WAIT_OBJECT_0 + 1) continue;  // new input: dispatch, full time again
      thread_ = kNoThread;
      CloseDoneEvent();
      return true;
    }
  }

  // Waits without limit and without dispatching messages for a routine whose
  // end has not been observed yet, then forgets the thread.
  void WaitForEnd() {
    if (thread_ != kNoThread && doneEvent_ != nullptr) {
      WaitForSingleObject(doneEvent_, INFINITE);
    }
    thread_ = kNoThread;
    CloseDoneEvent();
  }

  // The routine's last action: the done event is set (on Windows, by the
  // thread pool once the routine has returned).
  void SignalDone() {
#ifdef _WIN32
    SetEventWhenCallbackReturns(instance_, doneEvent_);
#else
    SetEvent(doneEvent_);
#endif
  }

  bool IsRunning() const {
    return thread_ != kNoThread;
  }

 private:
#ifdef _WIN32
  // Stands for the thread while the routine runs on the pool.
  static constexpr uintptr_t kPoolThread = 1;

  static void CALLBACK PoolEntry(PTP_CALLBACK_INSTANCE instance, void* argument) {
    auto* worker = static_cast<CWorkerThread*>(argument);
    worker->instance_ = instance;
    CallbackMayRunLong(instance);  // a transfer can block for minutes
    (worker->owner_->*(worker->routine_))(worker);
  }
  PTP_CALLBACK_INSTANCE instance_ = nullptr;
#else
  static void Entry(void* argument) {
    // Nothing may touch the worker after the routine returns: it signalled
    // the done event, and the owner may already have deleted the worker.
    auto* worker = static_cast<CWorkerThread*>(argument);
    (worker->owner_->*(worker->routine_))(worker);
  }
#endif

  void CloseDoneEvent() {
    if (doneEvent_ != nullptr) {
      CloseHandle(doneEvent_);
      doneEvent_ = nullptr;
    }
  }

  T* owner_;
  HANDLE doneEvent_ = nullptr;
  uintptr_t thread_ = kNoThread;
  Routine routine_ = nullptr;
};
