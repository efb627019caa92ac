// The C runtime's thread start.

#include <atomic>
#include <mutex>
#include <vector>

#include <limits.h>
#include <pthread.h>

#include <process.h>

namespace {

struct ThreadStart {
  void (*start)(void*);
  void* argument;
};

// The threads started here, so that none still runs this module's code when
// the module is unloaded. A thread signals its end to its owner (an event)
// a few instructions before it leaves the module; an owner that sees the
// event can let the module go, and unmapping it then would pull the code from
// under the thread. So threads are joinable: each finished one is joined by
// the next start, and whatever is left is joined when this object goes.
// It is built when the module loads, before any function-local static, so it
// goes last at unload, after the sessions have ended their transfers.
class Threads {
 public:
  ~Threads() {
    std::vector<pthread_t> all;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      all.swap(running_);
      finished_.clear();
    }
    for (pthread_t thread : all) pthread_join(thread, nullptr);
  }

  void Started(pthread_t thread) {
    std::lock_guard<std::mutex> guard(mutex_);
    running_.push_back(thread);
  }

  // Called by a thread as the last thing it does in this module.
  void Finished(pthread_t thread) {
    std::lock_guard<std::mutex> guard(mutex_);
    finished_.push_back(thread);
  }

  // Joins the threads that have said they are finished: they only have their
  // last instructions left.
  void JoinFinished() {
    std::vector<pthread_t> done;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      // A thread can finish before its start is recorded: it waits here for
      // the next round.
      std::vector<pthread_t> early;
      for (pthread_t thread : finished_) {
        bool found = false;
        for (size_t i = 0; i < running_.size() && !found; ++i) {
          if (pthread_equal(running_[i], thread)) {
            running_[i] = running_.back();
            running_.pop_back();
            found = true;
          }
        }
        (found ? done : early).push_back(thread);
      }
      finished_.swap(early);
    }
    for (pthread_t thread : done) pthread_join(thread, nullptr);
  }

 private:
  std::mutex mutex_;
  std::vector<pthread_t> running_;
  std::vector<pthread_t> finished_;
};

Threads threads;

void* RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.start(start.argument);
  threads.Finished(pthread_self());
  return nullptr;
}

}  // namespace

// Starts a thread. The value returned identifies the thread but is not a
// handle: it cannot be waited for or closed (the thread's end is observed
// through an event, as the library does). The thread is joined by a later
// start or when the module is unloaded, never by the caller. -1 on failure,
// with the last error set.
extern "C" uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument) {
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<uintptr_t>(-1);
  }
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<uintptr_t>(-1);
  }
  threads.JoinFinished();
  if (stackSize != 0) {
    size_t size = stackSize < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stackSize;
    pthread_attr_setstacksize(&attributes, size);
  }
  auto* context = new ThreadStart{start, argument};
  pthread_t thread;
  int failed = pthread_create(&thread, &attributes, RunThread, context);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    delete context;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return static_cast<uintptr_t>(-1);
  }
  threads.Started(thread);
  static std::atomic<uintptr_t> started{0};
  return ++started;  // a serial number: never 0 and never -1
}
