// WsHttpRequest: what one exchange with the service needs (URL parts, query
// parameters, the text to post, the answer and the final status) and the
// worker thread that runs the exchange while the caller waits with its
// window messages flowing, or returns at once and polls later.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "foundation/ws_string.h"
#include "transport/http_session.h"
#include "transport/worker_thread.h"

class WsHttpRequest {
 public:
  using Worker = CWorkerThread<WsHttpRequest>;

  // Adds the user-agent token swapp + " " + swappVersion. The https flag is
  // used by the endpoint settings, not here.
  WsHttpRequest(const WsString& swapp, const WsString& swappVersion, bool https);
  virtual ~WsHttpRequest();
  WsHttpRequest(const WsHttpRequest&) = delete;
  WsHttpRequest& operator=(const WsHttpRequest&) = delete;

  // Starts the exchange on a worker thread and waits up to timeoutMs for it.
  // Returns 0 when it completed, 0x40001002 when timeoutMs is 0 and it still
  // runs; raises its failure, 0x80002011 when a non-zero time limit passed
  // (the exchange is then aborted and waited for), 0x80001004 while another
  // transfer exists.
  virtual WsStatus Execute(DWORD timeoutMs, bool silent);
  // 0x40001001 when no transfer exists, 0x40001002 while it runs, 0 once it
  // completed; a failure is raised once, after which there is no transfer.
  WsStatus Poll(DWORD timeoutMs);
  // Aborts a running exchange; with wait, returns after the worker has ended.
  void Cancel(bool wait);
  // Cancel, then forget the query parameters and the answer.
  void Reset(bool wait);

  void SetUrl(const WsString& url) { baseUrl_ = url; }
  void SetCommand(const WsString& command) { command_ = command; }
  void SetPostData(const WsString& postData) { postData_ = postData; }
  // Appends "&" + name + "=" + value, both encoded with EncodeQueryText.
  void AddQueryParameter(const WsString& name, const WsString& value);
  void AddUserAgentToken(const WsString& token) { session_.AddUserAgentToken(token); }
  void SetRequestGzip(bool requestGzip) { session_.SetRequestGzip(requestGzip); }
  void SetParentWindow(HWND window);

  const std::string& GetResponse() const { return *response_; }
  // The answer's bytes, shared: a later exchange of this request writes into
  // new bytes and leaves these as they are.
  std::shared_ptr<const std::string> SharedResponse() const { return response_; }
  WsStatus GetStatus() const { return status_.load(); }
  const WsString& GetUrl() const { return baseUrl_; }
  const WsString& GetPostData() const { return postData_; }
  WsString UserAgent() const { return session_.UserAgent(); }
  // The URL the exchange is sent to: baseUrl, then "?cmd=" + command and the
  // parameters, or "?" + the parameters when there is no command.
  WsString FullUrl() const;

  // Letters and decimal digits stay; every other character becomes "%" and
  // two upper-case hexadecimal digits of its low 8 bits. The classification
  // is the C runtime's (iswalnum): beyond ASCII the runtimes disagree, which
  // does not matter for the ASCII names and values this library sends.
  static WsString EncodeQueryText(const WsString& text);

 private:
  void ThreadProc(Worker* worker);
  void ReleaseWorker();

  WsHttpSession session_;
  // Written by the worker thread; also by Cancel while a worker it did not
  // wait for may still be ending.
  std::atomic<WsStatus> status_{kWsNoTransfer};
  WsString baseUrl_;
  WsString command_;
  WsString queryParameters_;
  WsString postData_;
  std::shared_ptr<std::string> response_ = std::make_shared<std::string>();
  HWND parentWindow_ = nullptr;
  std::unique_ptr<Worker> worker_;
};
