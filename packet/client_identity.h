// ClientIdentity: who is asking. The caller's and this library's names and
// versions, written into every packet header and the user agent.
#pragma once

#include <cstdint>

#include "foundation/ws_string.h"

// This library's client id and version, the same in every request.
inline constexpr const wchar_t* kCorelibName = L"quillo";
inline constexpr const wchar_t* kCorelibVersion = L"17.0.0";

struct ClientIdentity {
  WsString swapp;              // calling application's name
  WsString swappVersion;       // calling application's version
  WsString reserved;           // stored, never written to a packet
  int32_t ownTargetOnly = -1;  // nonzero: only notifications for wrapperlib; never written
  WsString wrapperlib;         // component that wraps the library; also the target application
  WsString wrapperlibVersion;  // its version
  WsString corelib = kCorelibName;
  WsString corelibVersion = kCorelibVersion;
};
