#include "transport/http_session.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "foundation/critical_section.h"
#include "foundation/registry.h"
#include "foundation/trace_log.h"
#include "foundation/utf16.h"
#include "transport/gzip.h"

const WsString kUserAgentClient = L"QvWebServiceClient";
const WsString kUserAgentModule = L"qvwshttp";
const WsString kUserAgentVersion = L"17.0.0";

namespace {

// Serialises the closing of the root handle when an exchange is aborted
// from another thread.
// Created when the library loads, before the session manager, so it is still
// usable when sessions left open are destroyed at unload.
CriticalSection gAbortLock;

CriticalSection& AbortLock() {
  return gAbortLock;
}

const WsString kGzip = L"gzip";
const WsString kHttps = L"https://";
const wchar_t kGzipHeader[] = L"Accept-Encoding: gzip\r\n";

// Every read asks for one block. The answer's tail is made room for in
// larger steps (the rest of the announced length within these bounds), so
// that it is sized once per step rather than once per block.
constexpr DWORD kReadBlockSize = 16384;
constexpr DWORD kMinTailGrowth = kReadBlockSize;
constexpr DWORD kMaxTailGrowth = 1024 * 1024;
// The most room made for an answer up front on the word of its Content-Length.
constexpr uint64_t kMaxAnswerReservation = uint64_t{64} * 1024 * 1024;
constexpr DWORD kOneHourMs = 3600000;
constexpr DWORD kUrlPartCapacity = 2084;
constexpr DWORD kFirstInternetError = 12001;
constexpr DWORD kLastInternetError = 12174;

// "0x" and upper-case hexadecimal digits without leading zeros.
WsString Hex(uint32_t value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%X", static_cast<unsigned>(value));
  return text;
}

WsString Decimal(uint64_t value) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%llu", static_cast<unsigned long long>(value));
  return text;
}

// An error line: the text followed by the thread's last error code.
void LogLastError(const wchar_t* text, DWORD error) {
  if (IsLogging()) LogError(text + Hex(error));
}

}  // namespace

WsHttpSession::WsHttpSession() {
  LogOpen();
  LogWrite(L"<WsHttpSession::WsHttpSession>");
}

WsHttpSession::~WsHttpSession() {
  Close(kWsClosedAborted);
  LogWrite(L"</WsHttpSession::~WsHttpSession>");
  LogRelease();
}

void WsHttpSession::AddUserAgentToken(const WsString& token) {
  if (!token.empty()) userAgentTokens_.push_back(token);
}

WsString WsHttpSession::UserAgent() const {
  WsString agent = kUserAgentClient + L" (" + kUserAgentModule + L" " + kUserAgentVersion + L";";
  for (const WsString& token : userAgentTokens_) agent += token + L";";
  agent += L")";
  return agent;
}

void WsHttpSession::Submit(const WsString& url, const WsString& postData, std::string& response) {
  LogWrite(L"<WsHttpSession::Submit>");
  Close(kWsClosedReset);
  try {
    LogWrite(L"\t[Submit]: Opening the session...");
    OpenSession();
    response.clear();

    LogWrite(L"\t[Submit]: Cracking the URL...");
    WsString host;
    WsString path;
    INTERNET_PORT port = 0;
    if (!CrackUrl(url, host, path, port)) throw WsStatus(kWsBadUrl);

    LogWrite(L"\t[Submit]: Opening the connection...");
    OpenConnection(host, port);

    const DWORD flags =
        url.FindNoCase(kHttps) != WsString::npos ? kSecureRequestFlags : kPlainRequestFlags;

    LogWrite(L"\t[Submit]: Sending the request...");
    for (;;) {
      if (!postData.empty()) {
        SendPostRequest(path, postData, flags);
      } else {
        SendGetRequest(path, flags);
      }
      if (CheckStatusCode(false) != kWsHttpRetry) break;
      LogWrite(L"\t[Submit]: Proxy authentication required...");
      if (!AskForAuthentication()) throw WsStatus(kWsHttpRetry);
    }

    LogWrite(L"\t[Submit]: Getting total data size...");
    GetTotalDataSize();
    // Every content type is accepted for an answer read into memory.
    LogWrite(L"\t[Submit]: Checking the content type...");

    lastTick_ = GetTickCount();
    if (total_ == 0 || received_ < total_) {
      LogWrite(L"\tStarting download...");
      ReserveForAnswer(response);
      // Each block is read straight into the answer's own tail, which grows
      // whenever less than a block is left and is trimmed to what arrived
      // after the last read.
      size_t filled = response.size();
      for (;;) {
        if (response.size() - filled < kReadBlockSize) response.resize(filled + NextTailGrowth());
        DWORD count = 0;
        // A successful read leaves the error at zero, so what remains after
        // the loop is the error the last read ended with.
        SetLastError(0);
        if (!InternetReadFile(request_, response.data() + filled, kReadBlockSize, &count) ||
            count == 0)
          break;
        filled += count;
        received_ += count;
        const DWORD now = GetTickCount();
        elapsed_ += now - lastTick_;
        lastTick_ = now;
      }
      lastError_ = GetLastError();
      response.resize(filled);
      if (IsLogging()) LogWrite(L"\tDownload complete.  Time elapsed: " + Decimal(elapsed_));
      if (lastError_ != ERROR_INSUFFICIENT_BUFFER) {
        EvaluateInternetErrorCode(lastError_, kWsHttpIncomplete);
      }
      if (lastError_ != 0 && lastError_ != ERROR_INSUFFICIENT_BUFFER) {
        throw WsStatus(kWsHttpSendFailed);
      }
      if (internet_.load() != nullptr && received_ < total_) {
        LogError(L"\tConnection error detected.  Response is incomplete.");
        throw WsStatus(kWsHttpIncomplete);
      }
      const WsString encoding = GetContentEncoding();
      if (!encoding.empty()) {
        if (encoding.EqualsNoCase(kGzip)) {
          GunzipResponse(response);
        } else if (IsLogging()) {
          LogError(L"Unsupported content encoding on response: " + encoding);
        }
      }
    }

    Close(internet_.load() != nullptr ? kWsClosedCompleted : kWsClosedAborted);
    ClearAbort();
    LogWrite(L"</WsHttpSession::Submit>");
  } catch (const WsStatus& status) {
    Close(status);
    ClearAbort();
    throw;
  } catch (...) {
    LogError(L"\tSubmit failed for unknown reason.");
    Close(kWsInternal);
    ClearAbort();
    throw WsStatus(kWsInternal);
  }
}

void WsHttpSession::OpenSession() {
  LogWrite(L"<WsHttpSession::OpenSession>");
  if (HINTERNET old = internet_.exchange(nullptr)) InternetCloseHandle(old);
  const WsString agent = UserAgent();
  if (IsLogging()) LogWrite(L"\tUserAgent: " + agent);
  HINTERNET handle =
      InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (handle == nullptr) {
    LogLastError(L"Failed to create the internet session: ", GetLastError());
    throw WsStatus(kWsNoInternet);
  }
  {
    // An abort that came before the handle existed still ends this exchange.
    CriticalSectionLock lock(AbortLock());
    if (!abortRequested_) {
      internet_.store(handle);
      handle = nullptr;
    }
  }
  if (handle != nullptr) {
    InternetCloseHandle(handle);
    LogError(L"\tThe exchange was aborted.");
    throw WsStatus(kWsHttpIncomplete);
  }
  LogWrite(L"</WsHttpSession::OpenSession>");
}

bool WsHttpSession::CrackUrl(const WsString& url, WsString& host, WsString& path,
                             INTERNET_PORT& port) {
  LogWrite(L"<WsHttpSession::CrackUrl>");
  if (IsLogging()) LogWrite(L"\tURL: " + url);
  std::vector<wchar_t> hostBuffer(kUrlPartCapacity, L'\0');
  std::vector<wchar_t> pathBuffer(kUrlPartCapacity, L'\0');
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = hostBuffer.data();
  parts.dwHostNameLength = kUrlPartCapacity;
  parts.lpszUrlPath = pathBuffer.data();
  parts.dwUrlPathLength = kUrlPartCapacity;
  if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    LogLastError(L"Failed to crack the URL: ", GetLastError());
    LogWrite(L"</WsHttpSession::CrackUrl>");
    return false;
  }
  host.assign(hostBuffer.data(), parts.dwHostNameLength);
  path.assign(pathBuffer.data(), parts.dwUrlPathLength);
  port = parts.nPort;
  if (IsLogging()) {
    LogWrite(L"\tCracked host: " + host);
    LogWrite(L"\tCracked URL: " + path);
    LogWrite(L"\tCracked port: " + Decimal(port));
  }
  LogWrite(L"</WsHttpSession::CrackUrl>");
  return true;
}

void WsHttpSession::OpenConnection(const WsString& host, INTERNET_PORT port) {
  LogWrite(L"<WsHttpSession::OpenConnection>");
  if (IsLogging()) {
    LogWrite(L"\tHost: " + host);
    LogWrite(L"\tPort: " + Decimal(port));
  }
  if (connection_ != nullptr) {
    InternetCloseHandle(connection_);
    connection_ = nullptr;
  }
  connection_ = InternetConnectW(internet_.load(), host.c_str(), port, nullptr, nullptr,
                                 INTERNET_SERVICE_HTTP, 0, 1);
  if (connection_ == nullptr) {
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_TIMEOUT) {
      LogError(L"Connection timed out.");
      throw WsStatus(kWsHttpConnectTimeout);
    }
    LogLastError(L"Failed to open the internet connection: ", error);
    throw WsStatus(kWsHttpIncomplete);
  }
  DWORD timeout = kOneHourMs;
  InternetSetOptionW(connection_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
  InternetSetOptionW(connection_, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
  InternetSetOptionW(connection_, INTERNET_OPTION_IGNORE_OFFLINE, nullptr, 0);
  BOOL decoding = TRUE;
  InternetSetOptionW(connection_, INTERNET_OPTION_HTTP_DECODING, &decoding, sizeof(decoding));
  LogWrite(L"</WsHttpSession::OpenConnection>");
}

void WsHttpSession::CloseRequestHandle() {
  if (request_ != nullptr) {
    InternetCloseHandle(request_);
    request_ = nullptr;
  }
}

void WsHttpSession::OpenRequest(const wchar_t* verb, const WsString& path, DWORD flags) {
  // A request left from an earlier round (proxy authentication) is replaced.
  CloseRequestHandle();
  request_ = HttpOpenRequestW(connection_, verb, path.c_str(), nullptr, nullptr, nullptr, flags, 1);
  if (request_ == nullptr) {
    LogLastError(L"Could not open the request: ", GetLastError());
    throw WsStatus(kWsHttpOpenRequest);
  }
  if (requestGzip_ && !HttpAddRequestHeadersW(request_, kGzipHeader, static_cast<DWORD>(-1),
                                              HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
    LogLastError(L"Could not set encoding: ", GetLastError());
  }
}

bool WsHttpSession::EvaluateSendError(DWORD error, bool isPost, bool& retried, DWORD flags) {
  lastError_ = error;
  LogLastError(L"Failed to send the request: ", error);
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
      throw WsStatus(kWsHttpConnectTimeout);
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      throw WsStatus(kWsHttpCertDate);
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      throw WsStatus(kWsHttpCertName);
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED: {
      if (retried) throw WsStatus(kWsHttpSecure);
      retried = true;
      // The flag word of a secure request holds the bit that turns the
      // revocation check off.
      DWORD securityFlags = flags;
      InternetSetOptionW(request_, INTERNET_OPTION_SECURITY_FLAGS, &securityFlags,
                         sizeof(securityFlags));
      return true;
    }
    case ERROR_HTTP_INVALID_HEADER:
      throw WsStatus(IsInternetExplorer8OrLater() ? kWsHttpInvalidHeader : kWsHttpTooLarge);
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      throw WsStatus(kWsHttpIncomplete);
    default:
      throw WsStatus(isPost ? kWsHttpInvalidHeader : kWsHttpIncomplete);
  }
}

void WsHttpSession::SendGetRequest(const WsString& path, DWORD flags) {
  LogWrite(L"<WsHttpSession::SendGetRequest>");
  if (IsLogging()) {
    LogWrite(L"\tURL: " + path);
    LogWrite(L"\tFlags: " + Hex(flags));
  }
  OpenRequest(L"GET", path, flags);
  bool retried = false;
  while (!HttpSendRequestW(request_, nullptr, 0, nullptr, 0)) {
    EvaluateSendError(GetLastError(), false, retried, flags);
  }
  LogWrite(L"</WsHttpSession::SendGetRequest>");
}

void WsHttpSession::SendPostRequest(const WsString& path, const WsString& postData, DWORD flags) {
  LogWrite(L"<WsHttpSession::SendPostRequest>");
  if (IsLogging()) {
    LogWrite(L"\tURL: " + path);
    LogWrite(L"\tFlags: " + Hex(flags));
    LogWrite(L"\t***POST DATA***");
    LogWrite(postData);
  }
  OpenRequest(L"POST", path, flags);

  // The body is the text's UTF-16LE code units, without a terminating zero.
  std::string body = ToUtf16LE(postData);
  const DWORD length = static_cast<DWORD>(body.size());
  INTERNET_BUFFERSW buffers{};
  buffers.dwStructSize = sizeof(buffers);
  buffers.dwBufferTotal = length;
  bool retried = false;
  while (!HttpSendRequestExW(request_, &buffers, nullptr, 0, 0)) {
    EvaluateSendError(GetLastError(), true, retried, flags);
  }

  try {
    LogWrite(L"\tCalling InternetWriteFile");
    DWORD written = 0;
    if (!InternetWriteFile(request_, body.data(), length, &written)) {
      LogLastError(L"Failed to post the request data to the server: ", GetLastError());
      throw WsStatus(kWsHttpInvalidHeader);
    }
    LogWrite(L"\tInternetWriteFile complete, calling HttpEndRequest");
    if (!HttpEndRequestW(request_, nullptr, 0, 0)) {
      const DWORD error = GetLastError();
      if (IsLogging()) LogWrite(L"HttpEndRequest failed: " + Hex(error));
    }
    LogWrite(L"\tHttpEndRequest complete");
  } catch (const WsStatus&) {
    // An error status the server has already sent wins over the write failure.
    CheckStatusCode(true);
    throw;
  }
  LogWrite(L"</WsHttpSession::SendPostRequest>");
}

WsStatus WsHttpSession::CheckStatusCode(bool mustNotReturn) {
  LogWrite(L"<WsHttpSession::CheckStatusCode>");
  DWORD code = 0;
  DWORD size = sizeof(code);
  if (!HttpQueryInfoW(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                      nullptr)) {
    LogLastError(L"Failed to check the status code: ", GetLastError());
    throw WsStatus(kWsHttpStatusCheck);
  }
  if (IsLogging()) LogWrite(L"\tStatus Code: " + Decimal(code));
  switch (code) {
    case 200:
    case 206:
      LogWrite(L"</WsHttpSession::CheckStatusCode>");
      return kWsOk;
    case 300:
    case 500:
      throw WsStatus(kWsHttpRedirect);
    case 400:
    case 405:
    case 505:
      throw WsStatus(kWsHttpBadRequest);
    case 401:
    case 403:
    case 410:
    case 502:
    case 503:
    case 504:
      throw WsStatus(kWsHttpIncomplete);
    case 404:
      throw WsStatus(kWsHttpNotFound);
    case 407:
      if (!mustNotReturn && !silent_) return kWsHttpRetry;
      throw WsStatus(kWsHttpRetry);
    case 408:
      throw WsStatus(kWsHttpTimeout408);
    default:
      throw WsStatus(kWsHttpStatusCheck);
  }
}

bool WsHttpSession::AskForAuthentication() {
  LogWrite(L"<WsHttpSession::AskForAuthentication>");
  HWND window = parentWindow_ != nullptr ? parentWindow_ : GetDesktopWindow();
  // With these flags the dialog stores the proxy user name and password the
  // user enters as options of the request handle.
  const DWORD result =
      InternetErrorDlg(window, request_, 407,
                       FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                           FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                       nullptr);
  if (IsLogging()) LogWrite(L"\tAuthentication result: " + Hex(result));
  LogWrite(L"</WsHttpSession::AskForAuthentication>");
  return result == ERROR_INTERNET_FORCE_RETRY;
}

bool WsHttpSession::QueryHeaderText(DWORD query, WsString& out) {
  DWORD size = 0;
  std::vector<wchar_t> buffer;
  BOOL ok = HttpQueryInfoW(request_, query, nullptr, &size, nullptr);
  while (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    // size is in bytes; one more unit leaves room for the terminating zero.
    buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    ok = HttpQueryInfoW(request_, query, buffer.data(), &size, nullptr);
  }
  if (!ok) return false;
  out.assign(buffer.data(), size / sizeof(wchar_t));
  return true;
}

uint64_t WsHttpSession::AnnouncedRest() const {
  return total_ > received_ ? total_ - received_ : 0;
}

size_t WsHttpSession::NextTailGrowth() const {
  return static_cast<size_t>(std::clamp<uint64_t>(AnnouncedRest(), kMinTailGrowth, kMaxTailGrowth));
}

void WsHttpSession::ReserveForAnswer(std::string& response) const {
  const uint64_t rest = AnnouncedRest();
  if (rest == 0) return;
  // Room for the announced length at once, and for the read that finds the
  // end: an answer grown block by block is copied again at every growth, and
  // each growth takes fresh memory. The header is only a promise, so the room
  // is bounded, and a reservation the allocator refuses leaves the answer to
  // grow as it arrives.
  try {
    response.reserve(response.size() + static_cast<size_t>(std::min(rest, kMaxAnswerReservation)) +
                     kMinTailGrowth);
  } catch (const std::bad_alloc&) {
  }
}

bool WsHttpSession::GetTotalDataSize() {
  LogWrite(L"<WsHttpSession::GetTotalDataSize>");
  WsString text;
  int64_t length = 0;
  const bool known = QueryHeaderText(HTTP_QUERY_CONTENT_LENGTH, text);
  // A length that is not a number counts as 0, a negative one as well.
  if (!known || !text.ToInt64(length) || length < 0) length = 0;
  total_ = received_ + static_cast<uint64_t>(length);
  if (known) {
    if (IsLogging()) LogWrite(L"Total data size: " + Decimal(total_));
  } else {
    LogWrite(L"Data size is unknown.");
  }
  constexpr uint64_t k4GiB = 1ull << 32;
  constexpr uint64_t k2GiB = 1ull << 31;
  if (static_cast<uint64_t>(length) >= k4GiB && !IsInternetExplorer8OrLater()) {
    throw WsStatus(kWsHttpTooLarge);
  }
  if (static_cast<uint64_t>(length) >= k2GiB && !IsInternetExplorer7OrLater()) {
    throw WsStatus(kWsHttpTooLargeOld);
  }
  LogWrite(L"</WsHttpSession::GetTotalDataSize>");
  return known;
}

WsString WsHttpSession::GetContentEncoding() {
  WsString encoding;
  if (!QueryHeaderText(HTTP_QUERY_CONTENT_ENCODING, encoding)) encoding.clear();
  return encoding;
}

void WsHttpSession::EvaluateInternetErrorCode(DWORD code, WsStatus status) {
  LogWrite(L"<WsHttpSession::EvaluateInternetErrorCode>");
  if (IsLogging()) LogWrite(L"\tError Code: " + Decimal(code));
  if (code >= kFirstInternetError && code <= kLastInternetError) throw status;
  LogWrite(L"</WsHttpSession::EvaluateInternetErrorCode>");
}

void WsHttpSession::Close(WsStatus status) {
  LogWrite(L"<WsHttpSession::Close>");
  lastError_ = 0;
  if (IsLogging()) LogWrite(L"\tStatus: " + Hex(status));
  CloseRequestHandle();
  if (connection_ != nullptr) {
    InternetCloseHandle(connection_);
    connection_ = nullptr;
  }
  if (HINTERNET handle = internet_.exchange(nullptr)) InternetCloseHandle(handle);
  LogWrite(L"</WsHttpSession::Close>");
}

void WsHttpSession::Abort() {
  LogWrite(L"<WsHttpSession::Abort>");
  {
    CriticalSectionLock lock(AbortLock());
    abortRequested_ = true;
    if (HINTERNET handle = internet_.exchange(nullptr)) InternetCloseHandle(handle);
  }
  LogWrite(L"</WsHttpSession::Abort>");
}

void WsHttpSession::ClearAbort() {
  CriticalSectionLock lock(AbortLock());
  abortRequested_ = false;
}
