// Small helpers shared by the transport tests.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/ws_status.h"
#include "foundation/ws_string.h"
#include "support/test_server.h"

// ASCII text of the test server as a WsString.
inline WsString Wide(const std::string& text) {
  return WsString(std::wstring(text.begin(), text.end()));
}

inline WsString ServerUrl(const TestServer& server, const std::string& pathAndQuery) {
  return Wide(server.BaseUrl() + pathAndQuery);
}

// Runs the call and gives the status it raised, or 0 when it returned.
template <class Call>
uint32_t RaisedStatus(Call&& call) {
  try {
    call();
    return kWsOk;
  } catch (const WsStatus& status) {
    return status.code;
  }
}

inline std::string HexStatus(uint32_t status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", status);
  return text;
}
