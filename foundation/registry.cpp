#include "foundation/registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/version_number.h"

namespace {

constexpr DWORD kQueryBufferSize = 1024;

// An open key, closed when the holder goes out of scope.
class OpenKey {
 public:
  OpenKey(HKEY root, const WsString& subKey) {
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  bool IsOpen() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Queries into a buffer of the given size; size receives the data size.
LONG Query(HKEY key, const WsString& valueName, std::vector<BYTE>& buffer, DWORD& size) {
  size = static_cast<DWORD>(buffer.size());
  return RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, buffer.data(), &size);
}

}  // namespace

bool RegKeyExists(const WsString& subKey, HKEY root) {
  return OpenKey(root, subKey).IsOpen();
}

bool RegValueExists(const WsString& subKey, const WsString& valueName, HKEY root) {
  OpenKey key(root, subKey);
  if (!key.IsOpen()) return false;
  std::vector<BYTE> buffer(kQueryBufferSize);
  DWORD size;
  LONG result = Query(key.Get(), valueName, buffer, size);
  return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}

bool RegReadDword(const WsString& subKey, const WsString& valueName, uint32_t& out, HKEY root) {
  OpenKey key(root, subKey);
  if (!key.IsOpen()) return false;
  // Zeroed, so data shorter than four bytes reads with zero high bytes.
  std::vector<BYTE> buffer(kQueryBufferSize);
  DWORD size;
  if (Query(key.Get(), valueName, buffer, size) == ERROR_SUCCESS && size > 0) {
    // The first four bytes, little-endian, as the data lies in memory.
    out = static_cast<uint32_t>(buffer[0]) | (static_cast<uint32_t>(buffer[1]) << 8) |
          (static_cast<uint32_t>(buffer[2]) << 16) | (static_cast<uint32_t>(buffer[3]) << 24);
  }
  return true;
}

bool RegReadBool(const WsString& subKey, const WsString& valueName, bool& out, HKEY root) {
  uint32_t number = 0;
  if (!RegReadDword(subKey, valueName, number, root)) return false;
  out = number != 0;
  return true;
}

bool RegReadString(const WsString& subKey, const WsString& valueName, WsString& out, HKEY root) {
  OpenKey key(root, subKey);
  if (!key.IsOpen()) return false;
  std::vector<BYTE> buffer(kQueryBufferSize);
  for (;;) {
    DWORD size;
    LONG result = Query(key.Get(), valueName, buffer, size);
    if (result == ERROR_MORE_DATA) {
      // The size reported plus some room, in case the value grew meanwhile.
      buffer.assign(static_cast<size_t>(size) + kQueryBufferSize, 0);
      continue;
    }
    if (result == ERROR_SUCCESS && size > 0) {
      size_t units = std::min<size_t>(size, buffer.size()) / sizeof(wchar_t);
      std::vector<wchar_t> text(units);
      std::memcpy(text.data(), buffer.data(), units * sizeof(wchar_t));
      size_t length = 0;
      while (length < units && text[length] != L'\0') ++length;
      out = WsString(std::wstring(text.data(), length));
    }
    return true;
  }
}

const WsString& MakerRegistryKey() {
  static const WsString key(L"SOFTWARE\\Quorvane");
  return key;
}

WsString InternetExplorerVersion() {
  static const WsString key(L"SOFTWARE\\Microsoft\\Internet Explorer");
  static const WsString value(L"Version");
  WsString version;
  if (!RegReadString(key, value, version)) return EmptyString();
  return version;
}

bool IsInternetExplorer7OrLater() {
  return IsMajorVersionAtLeast(InternetExplorerVersion(), 7);
}

bool IsInternetExplorer8OrLater() {
  return IsMajorVersionAtLeast(InternetExplorerVersion(), 8);
}

bool IsMajorVersionAtLeast(const WsString& version, uint32_t major) {
  if (version.empty()) return false;
  return VersionNumber(version).First() >= major;
}
