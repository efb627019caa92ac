#include "api/session_manager.h"

namespace {

// Built in this order at load and destroyed in reverse at unload: the
// manager goes first, so its lock outlives it.
CriticalSection tableLock;
WsRavenlinkManager manager(tableLock);

}  // namespace

WsRavenlinkManager& RavenlinkManager() {
  return manager;
}

int WsRavenlinkManager::Open2(const wchar_t* swapp, const wchar_t* swappVersion,
                              const wchar_t* reserved, int ownTargetOnly, const wchar_t* wrapperlib,
                              const wchar_t* wrapperlibVersion, int languageId, int flags,
                              int* handle) noexcept {
  return Guard([&] {
    int32_t* out = BoundaryArgument(handle);
    ClientIdentity client;
    client.swapp = BoundaryArgument(swapp);
    client.swappVersion = BoundaryArgument(swappVersion);
    client.reserved = BoundaryArgument(reserved);
    client.ownTargetOnly = ownTargetOnly;
    client.wrapperlib = BoundaryArgument(wrapperlib);
    client.wrapperlibVersion = BoundaryArgument(wrapperlibVersion);
    // Built outside the table lock; destroyed again if Add fails.
    auto session = std::make_unique<WsRavenlinkSession>(client, static_cast<uint32_t>(languageId),
                                                        static_cast<uint32_t>(flags));
    *out = Add(std::move(session));
  });
}
