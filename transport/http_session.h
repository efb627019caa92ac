// WsHttpSession: one complete HTTP exchange with the service through the
// platform's internet client. Everything runs synchronously on the thread
// that calls Submit; another thread may Abort it. Every step is traced.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "foundation/ws_string.h"

// The fixed opening of the user agent: client name, component and version.
extern const WsString kUserAgentClient;   // "QvWebServiceClient"
extern const WsString kUserAgentModule;   // "qvwshttp"
extern const WsString kUserAgentVersion;  // "17.0.0"

// Request flags of a secure and of a plain exchange.
inline constexpr DWORD kSecureRequestFlags = 0x04808080;
inline constexpr DWORD kPlainRequestFlags = 0x04000000;

class WsHttpSession {
 public:
  WsHttpSession();
  ~WsHttpSession();
  WsHttpSession(const WsHttpSession&) = delete;
  WsHttpSession& operator=(const WsHttpSession&) = delete;

  // Appends a part to the user agent; an empty text is ignored.
  void AddUserAgentToken(const WsString& token);
  void SetSilent(bool silent) { silent_ = silent; }
  void SetParentWindow(HWND window) { parentWindow_ = window; }
  void SetRequestGzip(bool requestGzip) { requestGzip_ = requestGzip; }

  // The whole exchange: a POST of the UTF-16LE bytes of postData, or a GET
  // when postData is empty. Fills response with the (decoded) body or
  // throws a WsStatus; every handle is released either way.
  void Submit(const WsString& url, const WsString& postData, std::string& response);
  // From another thread: closes the root handle so that the call Submit is
  // blocked in fails. An abort that arrives before Submit has opened its
  // handle makes that Submit fail as soon as it does; the end of Submit, or
  // ClearAbort, forgets it.
  void Abort();
  // Forgets an abort that no Submit has met; called before a new transfer.
  void ClearAbort();
  // Releases the handles that are open and traces the status.
  void Close(WsStatus status);

  // "QvWebServiceClient (qvwshttp 17.0.0;" + each token + ";" + ")".
  WsString UserAgent() const;
  uint64_t Received() const { return received_; }
  uint64_t Total() const { return total_; }
  DWORD LastError() const { return lastError_; }

 private:
  void OpenSession();
  bool CrackUrl(const WsString& url, WsString& host, WsString& path, INTERNET_PORT& port);
  void OpenConnection(const WsString& host, INTERNET_PORT port);
  void SendPostRequest(const WsString& path, const WsString& postData, DWORD flags);
  void SendGetRequest(const WsString& path, DWORD flags);
  WsStatus CheckStatusCode(bool mustNotReturn);
  bool AskForAuthentication();
  bool GetTotalDataSize();
  // The part of the announced length that has not arrived (0 when none was
  // announced).
  uint64_t AnnouncedRest() const;
  // How far the answer's tail grows when the reads have filled it.
  size_t NextTailGrowth() const;
  // Makes room in response for the rest of the announced length.
  void ReserveForAnswer(std::string& response) const;
  void EvaluateInternetErrorCode(DWORD code, WsStatus status);
  WsString GetContentEncoding();

  // HttpOpenRequestW for the verb plus the gzip header; raises on failure.
  void OpenRequest(const wchar_t* verb, const WsString& path, DWORD flags);
  // Maps a failed send onto a status, or returns true when the send is to
  // be tried again with the revocation check turned off.
  bool EvaluateSendError(DWORD error, bool isPost, bool& retried, DWORD flags);
  // A text header of the answer, with the buffer-size protocol; false when
  // the header is missing or the query fails.
  bool QueryHeaderText(DWORD query, WsString& out);
  void CloseRequestHandle();

  uint64_t received_ = 0;
  uint64_t total_ = 0;
  DWORD elapsed_ = 0;
  DWORD lastTick_ = 0;
  bool silent_ = false;
  HWND parentWindow_ = nullptr;
  bool requestGzip_ = false;
  std::atomic<HINTERNET> internet_{nullptr};
  bool abortRequested_ = false;  // guarded by the process-wide abort lock
  HINTERNET request_ = nullptr;
  HINTERNET connection_ = nullptr;
  std::vector<WsString> userAgentTokens_;
  DWORD lastError_ = 0;
};
