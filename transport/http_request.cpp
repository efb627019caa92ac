#include "transport/http_request.h"

#include <cwctype>

namespace {
const wchar_t kHexDigits[] = L"0123456789ABCDEF";
}  // namespace

WsHttpRequest::WsHttpRequest(const WsString& swapp, const WsString& swappVersion, bool /*https*/) {
  session_.AddUserAgentToken(swapp + L" " + swappVersion);
}

WsHttpRequest::~WsHttpRequest() {
  Cancel(true);
}

void WsHttpRequest::SetParentWindow(HWND window) {
  parentWindow_ = window;
  session_.SetParentWindow(window);
}

WsString WsHttpRequest::EncodeQueryText(const WsString& text) {
  WsString encoded;
  encoded.reserve(text.size() * 3);
  for (wchar_t c : text) {
    if (std::iswalnum(static_cast<wint_t>(c))) {
      encoded.push_back(c);
    } else {
      const unsigned low = static_cast<unsigned>(c) & 0xFF;
      encoded.push_back(L'%');
      encoded.push_back(kHexDigits[low >> 4]);
      encoded.push_back(kHexDigits[low & 0xF]);
    }
  }
  return encoded;
}

void WsHttpRequest::AddQueryParameter(const WsString& name, const WsString& value) {
  queryParameters_ += L"&" + EncodeQueryText(name) + L"=" + EncodeQueryText(value);
}

WsString WsHttpRequest::FullUrl() const {
  if (!command_.empty()) return baseUrl_ + L"?cmd=" + command_ + queryParameters_;
  if (!queryParameters_.empty()) return baseUrl_ + L"?" + queryParameters_;
  return baseUrl_;
}

void WsHttpRequest::ThreadProc(Worker* worker) {
  try {
    session_.Submit(FullUrl(), postData_, *response_);
    status_.store(kWsOk);
  } catch (const WsStatus& status) {
    status_.store(status);
  } catch (...) {
    status_.store(kWsInternal);
  }
  // Last action: once the event is set the caller may release the worker.
  worker->SignalDone();
}

void WsHttpRequest::ReleaseWorker() {
  if (!worker_) return;
  worker_->WaitForEnd();
  worker_.reset();
}

WsStatus WsHttpRequest::Execute(DWORD timeoutMs, bool silent) {
  if (worker_) throw WsStatus(kWsAlreadyRunning);
  worker_ = std::make_unique<Worker>(this);
  session_.SetSilent(silent);
  session_.ClearAbort();  // an earlier Cancel must not end this transfer
  // Whoever still holds the last answer's bytes keeps them.
  if (response_.use_count() > 1) response_ = std::make_shared<std::string>();

  bool finished = false;
  try {
    finished = worker_->Start(&WsHttpRequest::ThreadProc, timeoutMs);
  } catch (const WsStatus&) {
    ReleaseWorker();
    throw;
  } catch (...) {
    ReleaseWorker();
    throw WsStatus(kWsInternal);
  }

  if (finished) {
    ReleaseWorker();
    const WsStatus status = status_.load();
    if (status.Failed()) throw status;
    status_.store(kWsOk);
    return kWsOk;
  }
  if (timeoutMs == 0) return kWsStillRunning;
  Cancel(true);
  throw WsStatus(kWsHttpTimeLimit);
}

WsStatus WsHttpRequest::Poll(DWORD timeoutMs) {
  if (!worker_) return kWsNoTransfer;
  bool finished = false;
  try {
    finished = worker_->Wait(timeoutMs);
  } catch (Worker::ExceptionType) {
    finished = true;  // nothing runs: collect what is there
  }
  if (!finished) return kWsStillRunning;
  ReleaseWorker();
  const WsStatus status = status_.load();
  if (status.Failed()) throw status;
  return kWsOk;
}

void WsHttpRequest::Cancel(bool wait) {
  if (worker_) {
    session_.Abort();
    if (wait) {
      try {
        worker_->Wait(Worker::kNoLimit);
      } catch (...) {
      }
      ReleaseWorker();
    }
  }
  // A worker left running (wait false) stores its own status when it ends.
  status_.store(kWsNoTransfer);
}

void WsHttpRequest::Reset(bool wait) {
  Cancel(wait);
  queryParameters_.clear();
  response_ = std::make_shared<std::string>();
}
