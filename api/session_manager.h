// The handle table: maps the integer handles of the exports to sessions.
// Handles are 1, 2, 3, ... in order of opening across the process and are
// never reused; the session of handle h sits in slot h - 1, which holds null
// once the handle is closed.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "api/export_guard.h"
#include "foundation/critical_section.h"
#include "foundation/ws_status.h"
#include "session/ravenlink_session.h"

template <class Session>
class WsGenericManager {
 public:
  // tableLock guards the slots only; it must outlive the manager.
  explicit WsGenericManager(CriticalSection& tableLock) : tableLock_(tableLock) {}
  // Destroys the sessions still open, in order of their handles. Runs when
  // the library unloads, so it does not take the table lock.
  virtual ~WsGenericManager() {
    for (auto& session : sessions_) session.reset();
  }
  WsGenericManager(const WsGenericManager&) = delete;
  WsGenericManager& operator=(const WsGenericManager&) = delete;

  // Takes the session and returns its new handle. When the table cannot
  // grow the session is destroyed and no handle is used up.
  int Add(std::unique_ptr<Session> session) {
    CriticalSectionLock lock(tableLock_);
    sessions_.push_back(std::move(session));
    return static_cast<int>(sessions_.size());
  }

  // The session of a handle, or null when it was closed. A handle that was
  // never issued raises kWsBadHandle.
  Session* Lookup(int handle) {
    CriticalSectionLock lock(tableLock_);
    if (handle < 1 || static_cast<size_t>(handle) > sessions_.size()) throw WsStatus(kWsBadHandle);
    return sessions_[handle - 1].get();
  }

  // Destroys the session of a handle and empties its slot, under the table
  // lock, so other threads' lookups wait for the destructor. A handle below
  // 1 or already closed is nothing to do; one never issued raises kWsBadHandle.
  void Remove(int handle) {
    CriticalSectionLock lock(tableLock_);
    if (handle < 1) return;
    if (static_cast<size_t>(handle) > sessions_.size()) throw WsStatus(kWsBadHandle);
    sessions_[handle - 1].reset();
  }

  // One export's work: looks the session up, runs op on it with the
  // converted arguments and returns the result code. A closed handle gives 5
  // without touching any session.
  template <Outcome kind = Outcome::kConverted, class R, class... Params, class... Args>
  int Call(int handle, R (Session::*op)(Params...), Args... args) noexcept {
    return Guard<kind>([&]() -> R {
      Session* session = Lookup(handle);
      if (session == nullptr) throw WsStatus(kWsBadHandle);
      return (session->*op)(BoundaryArgument(args)...);
    });
  }

  int Close(int handle) noexcept {
    return Guard([&] { Remove(handle); });
  }

 private:
  CriticalSection& tableLock_;
  std::vector<std::unique_ptr<Session>> sessions_;
};

class WsRavenlinkManager : public WsGenericManager<WsRavenlinkSession> {
 public:
  using WsGenericManager::WsGenericManager;
  ~WsRavenlinkManager() override = default;

  // Open2 with reserved "", ownTargetOnly -1 and flags 0.
  int Open(const wchar_t* swapp, const wchar_t* swappVersion, const wchar_t* wrapperlib,
           const wchar_t* wrapperlibVersion, int languageId, int* handle) noexcept {
    return Open2(swapp, swappVersion, L"", -1, wrapperlib, wrapperlibVersion, languageId, 0,
                 handle);
  }
  // Creates a session for the caller and writes its handle. On failure
  // nothing is written and no handle is used up.
  int Open2(const wchar_t* swapp, const wchar_t* swappVersion, const wchar_t* reserved,
            int ownTargetOnly, const wchar_t* wrapperlib, const wchar_t* wrapperlibVersion,
            int languageId, int flags, int* handle) noexcept;
};

// The one manager of the process: built when the library loads, destroyed
// (with the sessions still open) when it unloads.
WsRavenlinkManager& RavenlinkManager();
