// The handle table and CloseHandle.

#include "compat/handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace compat {
namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x100;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives every static destructor
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  uintptr_t value = table.next;
  table.next += 4;  // multiples of four, as Windows hands them out
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

}  // namespace compat

// Closes an event or a file handle. The object goes away once no wait or
// transfer still uses it. Thread values of _beginthread are not handles here
// (the thread detaches itself) and fail with ERROR_INVALID_HANDLE.
extern "C" BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<compat::KernelObject> object;
  {
    compat::HandleTable& table = compat::Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    table.objects.erase(it);
  }
  object.reset();  // destroyed outside the table lock (a file closes its descriptor)
  return TRUE;
}
