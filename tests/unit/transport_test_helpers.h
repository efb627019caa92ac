// Small helpers shared by the transport tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/utf16.h"
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

// The entries of a trace log, without their "[date time]: " prefix; the
// elapsed time, which varies, becomes "N".
inline std::vector<std::wstring> TraceEntries(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::wstring text = FromUtf16LE(bytes.data(), bytes.size());
  std::vector<std::wstring> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    const size_t prefixEnd = line.find(L"]: ");
    if (line.empty() || line[0] != L'[' || prefixEnd == std::wstring::npos) continue;
    line.erase(0, prefixEnd + 3);
    const std::wstring elapsed = L"Time elapsed: ";
    const size_t at = line.find(elapsed);
    if (at != std::wstring::npos) line = line.substr(0, at + elapsed.size()) + L"N";
    entries.push_back(line);
  }
  return entries;
}
