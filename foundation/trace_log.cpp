#include "foundation/trace_log.h"

#include <cstdio>
#include <string>

#include "foundation/critical_section.h"
#include "foundation/registry.h"
#include "foundation/utf16.h"

namespace {

// The shared log and its users. The lock is never destroyed: sessions that
// are destroyed while the library unloads still release the log through it.
struct SharedLog {
  CriticalSection lock;
  WsLog* log = nullptr;
  int32_t users = 0;
};

SharedLog& Shared() {
  static SharedLog* shared = new SharedLog;
  return *shared;
}

WsString Timestamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char buffer[64];
  int written = std::snprintf(
      buffer, sizeof buffer, "[%02u/%02u/%02u %02u:%02u:%02u]: ", static_cast<unsigned>(now.wMonth),
      static_cast<unsigned>(now.wDay), static_cast<unsigned>(now.wYear % 100),
      static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
      static_cast<unsigned>(now.wSecond));
  if (written < 0) return WsString();
  return WsString(std::wstring(buffer, buffer + written));
}

// The shared log named by the registry switch, or null when tracing is off.
WsLog* CreateFromRegistry() {
  static const WsString kKey = MakerRegistryKey() + L"\\InternalTesting";
  static const WsString kValue(L"qvwshttplogging");
  static const WsString kTitle(L"WsHttp Library");
  if (!RegKeyExists(kKey, HKEY_LOCAL_MACHINE)) return nullptr;
  if (!RegValueExists(kKey, kValue, HKEY_LOCAL_MACHINE)) return nullptr;
  WsString path;
  if (!RegReadString(kKey, kValue, path, HKEY_LOCAL_MACHINE)) return nullptr;
  WsLog* log = new WsLog(path);
  log->SetTimestamps(true);
  log->SetEnabled(true);
  log->SetSummary(true);
  log->Start(kTitle, true);
  return log;
}

}  // namespace

FileWriter::FileWriter(const WsString& path) : path_(path) {}

FileWriter::~FileWriter() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

bool FileWriter::Open(bool append) {
  FileWriter::Close();  // a second Open does not leak the first handle
  file_ = CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) return true;
  static const unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(file_, kByteOrderMark, sizeof kByteOrderMark, &written, nullptr);
  return true;
}

void FileWriter::Close() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

void FileWriter::WriteLine(const WsString& text) {
  if (file_ == INVALID_HANDLE_VALUE) return;
  std::string bytes = ToUtf16LE(text + L"\n");
  DWORD written = 0;
  if (WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    FlushFileBuffers(file_);
}

void FileWriter::WriteSeparator() {
  static const WsString kSeparator(L"------------------------------------------------");
  WriteLine(kSeparator);
}

WsLog::WsLog(const WsString& path) : FileWriter(path) {}

WsLog::~WsLog() = default;

void WsLog::Close() {
  if (summary_) {
    WriteSeparator();
    WriteEntry(L"***SUMMARY***");
    WriteSeparator();
  }
  FileWriter::Close();
}

void WsLog::Start(const WsString& title, bool append) {
  Open(append);
  WriteLine(title);
  WriteSeparator();
}

void WsLog::WriteEntry(const WsString& text) {
  if (timestamps_) {
    WriteLine(Timestamp() + text);
  } else {
    WriteLine(text);
  }
}

void WsLog::WriteError(const WsString& text) {
  WriteEntry(L"**ERROR: " + text);
}

void LogOpen() {
  SharedLog& shared = Shared();
  CriticalSectionLock lock(shared.lock);
  if (shared.log == nullptr) shared.log = CreateFromRegistry();
  ++shared.users;
}

void LogRelease() {
  SharedLog& shared = Shared();
  CriticalSectionLock lock(shared.lock);
  int32_t before = shared.users--;
  if (shared.log != nullptr && before == 1) {
    shared.log->Close();
    delete shared.log;
    shared.log = nullptr;
  }
}

void LogWrite(const WsString& text) {
  SharedLog& shared = Shared();
  CriticalSectionLock lock(shared.lock);
  if (shared.log != nullptr && shared.log->IsEnabled()) shared.log->WriteEntry(text);
}

void LogError(const WsString& text) {
  SharedLog& shared = Shared();
  CriticalSectionLock lock(shared.lock);
  if (shared.log != nullptr && shared.log->IsEnabled()) shared.log->WriteError(text);
}

bool IsLogging() {
  SharedLog& shared = Shared();
  CriticalSectionLock lock(shared.lock);
  return shared.log != nullptr && shared.log->IsEnabled();
}
