// Kernel-object handles of the platform layer: events and open files live in
// one table, so CloseHandle and the waits can tell a live handle from a stale
// or foreign one (ERROR_INVALID_HANDLE) instead of dereferencing it.
#pragma once

#include <memory>

#include <windows.h>

namespace compat {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Enters the object into the table and returns its new handle (never null and
// never INVALID_HANDLE_VALUE; values are not reused).
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The live object behind a handle, or null. The object stays alive while the
// caller holds the result, even if another thread closes the handle meanwhile.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Waits for events (sync.cpp): any one of them, or all at once; returns
// WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
DWORD WaitForEvents(DWORD count, const HANDLE* handles, bool waitAll, DWORD milliseconds);

}  // namespace compat
