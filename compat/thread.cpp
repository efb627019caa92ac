// The C runtime's thread start.

#include <atomic>

#include <limits.h>
#include <pthread.h>

#include <process.h>

namespace {

struct ThreadStart {
  void (*start)(void*);
  void* argument;
};

void* RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.start(start.argument);
  return nullptr;
}

}  // namespace

// Starts a detached thread. The value returned identifies the thread but is
// not a handle: it cannot be waited for or closed (the thread's end is
// observed through an event, as the library does). -1 on failure, with the
// last error set.
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
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
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
  static std::atomic<uintptr_t> started{0};
  return ++started;  // a serial number: never 0 and never -1
}
