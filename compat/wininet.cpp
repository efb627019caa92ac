// The internet client subset over libcurl: HTTP and HTTPS only, synchronous
// calls only (no status callbacks, no asynchronous mode).
//
// Handles are numbers in a table guarded by one mutex; each handle object is
// shared, so a call that is blocked on a request keeps it alive while another
// thread closes it. Closing a handle closes its children too: every request
// below it is marked cancelled and its transfer woken, and the blocked call
// fails with ERROR_INTERNET_OPERATION_CANCELLED.
//
// A request runs on a curl multi handle of its own, driven by the calling
// thread only while one of the calls below needs it: the send returns once the
// answer's status and headers are in, and InternetReadFile hands out the body
// as it arrives. The receive time-out bounds each wait for the server, the
// send time-out each wait while the request body goes out.
#include "compat/win32.h"
#include "compat/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kDefaultConnectTimeout = 60000;
constexpr DWORD kDefaultSendTimeout = 30000;
constexpr DWORD kDefaultReceiveTimeout = 30000;
constexpr long kMaxRedirects = 10;
constexpr long kReceiveBufferBytes = 256 * 1024;

// Request flags this layer understands; the others are refused.
constexpr DWORD kSupportedRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE |
    INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT |
    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
    INTERNET_FLAG_NO_UI | INTERNET_FLAG_CACHE_ASYNC;
// Security-flag bits that would turn certificate checks off: never accepted.
constexpr DWORD kVerificationBypassFlags =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_WRONG_USAGE |
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

enum class Kind { kInternet, kConnection, kRequest };

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

std::string ToUtf8(const WCHAR* text, size_t length) { return compat::EncodeUtf8(text, length); }

std::string ToUtf8(const WCHAR* text) {
  return text ? ToUtf8(text, wcslen(text)) : std::string();
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// Bytes a URL may not carry as they are (controls, blanks, non-ASCII) are
// percent-encoded; everything else, including existing escapes, is kept.
std::string EscapeUrlPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct Timeouts {
  DWORD connect = kDefaultConnectTimeout;
  DWORD send = kDefaultSendTimeout;
  DWORD receive = kDefaultReceiveTimeout;
};

// One curl transfer of a request, with what it has received so far.
struct Transfer {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  char errorText[CURL_ERROR_SIZE] = {};

  bool followRedirects = true;
  long status = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // of the final answer
  bool headersDone = false;
  std::string body;     // received; the bytes from bodyRead on are not yet handed out
  size_t bodyRead = 0;  // handed out from the front of body
  // While a read waits with nothing in body, what arrives goes straight into
  // the reader's buffer; only what does not fit is kept in body.
  char* reader = nullptr;
  size_t readerRoom = 0;
  size_t readerFilled = 0;
  bool finished = false;
  CURLcode result = CURLE_OK;
  DWORD stickyError = 0;  // a failure this layer detected (time-out) ends the transfer

  bool uploading = false;
  std::string upload;  // request body bytes given so far
  size_t uploadOffset = 0;
  uint64_t uploadTotal = 0;
  bool uploadPaused = false;
  bool uploadAsked = false;  // curl asked for body bytes: the request line and headers went out

  Clock::time_point lastActivity = Clock::now();

  ~Transfer() {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    if (headerList) curl_slist_free_all(headerList);
  }

  bool UploadComplete() const { return !uploading || uploadOffset >= uploadTotal; }

  const std::string* Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
      if (EqualsNoCase(key, name)) return &value;
    return nullptr;
  }
};

struct Handle {
  Kind kind;
  std::shared_ptr<Handle> parent;
  std::vector<std::weak_ptr<Handle>> children;  // guarded by the table mutex
  std::atomic<bool> closed{false};
  Timeouts timeouts;

  // Internet handle.
  std::string userAgent;
  DWORD openType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string httpProxy, httpsProxy, noProxy;

  // Connection handle.
  std::string host;
  INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER;

  // Connection and request handles.
  std::string proxyUser, proxyPassword;
  bool proxyUserSet = false, proxyPasswordSet = false;

  // Request handle.
  std::string verb, path, version;
  DWORD flags = 0;
  DWORD securityFlags = 0;
  std::vector<std::pair<std::string, std::string>> requestHeaders;
  std::mutex transferMutex;  // guards replacing the transfer against a wake-up from a closer
  std::unique_ptr<Transfer> transfer;

  explicit Handle(Kind k) : kind(k) {}

  const Handle& Root() const { return parent ? parent->Root() : *this; }
  const Handle& Connection() const { return kind == Kind::kRequest ? *parent : *this; }
};

std::mutex tableMutex;
std::map<uintptr_t, std::shared_ptr<Handle>> table;
uintptr_t nextHandle = 0x1000;

HINTERNET Register(std::shared_ptr<Handle> handle) {
  std::lock_guard lock(tableMutex);
  if (handle->parent) {
    if (handle->parent->closed) return nullptr;
    handle->parent->children.push_back(handle);
  }
  uintptr_t id = nextHandle;
  nextHandle += 4;
  table[id] = std::move(handle);
  return reinterpret_cast<HINTERNET>(id);
}

std::shared_ptr<Handle> Lookup(HINTERNET value, Kind kind) {
  std::lock_guard lock(tableMutex);
  auto it = table.find(reinterpret_cast<uintptr_t>(value));
  if (it == table.end() || it->second->closed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (it->second->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return it->second;
}

std::shared_ptr<Handle> LookupAny(HINTERNET value) {
  std::lock_guard lock(tableMutex);
  auto it = table.find(reinterpret_cast<uintptr_t>(value));
  if (it == table.end() || it->second->closed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

// Marks the handle and everything below it closed and takes them out of the
// table; the objects live on while a call still uses them.
void CloseTree(const std::shared_ptr<Handle>& handle,
               std::vector<std::shared_ptr<Handle>>* requests) {
  handle->closed = true;
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->second == handle) {
      table.erase(it);
      break;
    }
  }
  if (handle->kind == Kind::kRequest) requests->push_back(handle);
  for (auto& weak : handle->children)
    if (auto child = weak.lock()) CloseTree(child, requests);
  handle->children.clear();
}

void EnsureCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Environment(const char* lower, const char* upper) {
  const char* value = std::getenv(lower);
  if ((!value || !*value) && upper) value = std::getenv(upper);
  return value ? value : "";
}

// --- curl callbacks -------------------------------------------------------

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  size_t length = size * count;
  std::string_view line(data, length);
  t.lastActivity = Clock::now();
  if (line.substr(0, 5) == "HTTP/") {
    // A new answer begins (after an interim answer or a redirect).
    t.headers.clear();
    size_t space = line.find(' ');
    t.status =
        space == std::string_view::npos ? 0 : std::strtol(line.data() + space + 1, nullptr, 10);
    return length;
  }
  if (Trim(line).empty()) {
    bool interim = t.status >= 100 && t.status < 200;
    bool redirect = t.followRedirects && t.Header("Location") &&
                    (t.status == 301 || t.status == 302 || t.status == 303 || t.status == 307 ||
                     t.status == 308);
    if (!interim && !redirect) t.headersDone = true;
    return length;
  }
  size_t colon = line.find(':');
  if (colon != std::string_view::npos) {
    t.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                           std::string(Trim(line.substr(colon + 1))));
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t length = size * count;
  t.lastActivity = Clock::now();
  t.headersDone = true;
  size_t direct = 0;
  if (t.reader != nullptr) {
    direct = std::min(length, t.readerRoom - t.readerFilled);
    std::memcpy(t.reader + t.readerFilled, data, direct);
    t.readerFilled += direct;
  }
  if (direct == length) return length;
  // Drop what was handed out once it is at least half the buffer, so that
  // reading a large body in small blocks moves each byte a bounded number of times.
  if (t.bodyRead > 0 && t.bodyRead >= t.body.size() / 2) {
    t.body.erase(0, t.bodyRead);
    t.bodyRead = 0;
  }
  t.body.append(data + direct, length - direct);
  return length;
}

size_t OnUpload(char* buffer, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  t.uploadAsked = true;
  size_t available = t.upload.size() - t.uploadOffset;
  if (available == 0) {
    if (t.uploadOffset >= t.uploadTotal) return 0;
    t.uploadPaused = true;
    return CURL_READFUNC_PAUSE;
  }
  size_t n = std::min(available, size * count);
  std::memcpy(buffer, t.upload.data() + t.uploadOffset, n);
  t.uploadOffset += n;
  t.lastActivity = Clock::now();
  return n;
}

// --- errors ---------------------------------------------------------------

DWORD CertificateError(Transfer& t) {
  long verify = 0;
  curl_easy_getinfo(t.easy, CURLINFO_SSL_VERIFYRESULT, &verify);
  switch (verify) {
    case 9:   // not yet valid
    case 10:  // expired
      return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    case 0:   // the chain is good: the name did not match
    case 62:  // host name mismatch
      return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    case 23:
      return ERROR_INTERNET_SEC_CERT_REVOKED;
    case 3:  // no revocation list
      return ERROR_INTERNET_SEC_CERT_NO_REV;
    default:
      return ERROR_INTERNET_INVALID_CA;
  }
}

// The Windows error for a transfer that ended; 0 when it ended well (an answer
// cut short of its length ends like a complete one: the reader sees the end).
DWORD TransferError(Transfer& t) {
  if (t.stickyError) return t.stickyError;
  switch (t.result) {
    case CURLE_OK:
    case CURLE_PARTIAL_FILE:
      return 0;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_RECV_ERROR:  // the server reset or broke the connection while answering
      return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:  // the connection was gone while the request went out
      return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PEER_FAILED_VERIFICATION:
      return CertificateError(t);
    case CURLE_SSL_INVALIDCERTSTATUS:
      return ERROR_INTERNET_SEC_CERT_REV_FAILED;
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CLIENTCERT:
      return ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_OUT_OF_MEMORY:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

// Drives the request's transfer until ready() holds (0), the transfer ends
// (its error, or 0), the handle is closed, or the server stays silent for
// longer than the time-out that applies.
template <typename Ready>
DWORD Pump(Handle& request, Ready ready) {
  Transfer& t = *request.transfer;
  for (;;) {
    if (request.closed) return ERROR_INTERNET_OPERATION_CANCELLED;
    if (ready()) return 0;
    if (t.finished || t.stickyError) return TransferError(t);
    int running = 0;
    curl_multi_perform(t.multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(t.multi, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        t.finished = true;
        t.result = message->data.result;
      }
    }
    if (t.finished && !t.headersDone) {
      // A proxy that refused the tunnel: its answer is the request's answer.
      long connectCode = 0;
      curl_easy_getinfo(t.easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
      if (connectCode == 407) {
        t.status = 407;
        t.headers.clear();
        t.headersDone = true;
        t.result = CURLE_OK;
      }
    }
    if (ready() || t.finished) continue;
    DWORD limit = t.UploadComplete() ? request.timeouts.receive : request.timeouts.send;
    auto silent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.lastActivity);
    if (silent.count() >= static_cast<long long>(limit)) {
      t.stickyError = ERROR_INTERNET_TIMEOUT;
      continue;
    }
    long long wait = std::min<long long>(static_cast<long long>(limit) - silent.count(), 1000);
    curl_multi_poll(t.multi, nullptr, 0, static_cast<int>(wait), nullptr);
  }
}

// --- starting a transfer --------------------------------------------------

std::string ProxyFor(const Handle& root, bool secure) {
  if (root.openType != INTERNET_OPEN_TYPE_PRECONFIG) return "";
  return secure ? root.httpsProxy : root.httpProxy;
}

// Builds the transfer for the request; with upload, the body of total bytes
// comes through InternetWriteFile (or is already in initial).
bool StartTransfer(Handle& request, bool upload, uint64_t total, std::string initial) {
  const Handle& connection = request.Connection();
  const Handle& root = request.Root();
  auto t = std::make_unique<Transfer>();
  t->multi = curl_multi_init();
  t->easy = curl_easy_init();
  if (!t->multi || !t->easy) return Fail(ERROR_NOT_ENOUGH_MEMORY);

  bool secure = (request.flags & INTERNET_FLAG_SECURE) != 0;
  INTERNET_PORT port = connection.port != INTERNET_INVALID_PORT_NUMBER
                           ? connection.port
                           : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  std::string host = connection.host.find(':') != std::string::npos ? "[" + connection.host + "]"
                                                                    : connection.host;
  std::string path = request.path.empty() ? "/" : request.path;
  if (path[0] != '/') path = "/" + path;
  bool defaultPort = port == (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  std::string url = std::string(secure ? "https://" : "http://") + host +
                    (defaultPort ? "" : ":" + std::to_string(port)) + EscapeUrlPath(path);

  CURL* e = t->easy;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errorText);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                   request.version == "HTTP/1.0" ? static_cast<long>(CURL_HTTP_VERSION_1_0)
                                                 : static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_USERAGENT, root.userAgent.c_str());
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeouts.connect));
  // Received in large steps: a system call per 16 KiB (curl's default) costs
  // more than handing the bytes out of the body buffer afterwards.
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  // The caller decodes content encodings itself: the body is handed out as sent.
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(e, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
  t->followRedirects = (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, t->followRedirects ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  // Certificates are checked against the system's store, always.
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  if (request.securityFlags & SECURITY_FLAG_IGNORE_REVOCATION)
    curl_easy_setopt(e, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));

  std::string proxy = ProxyFor(root, secure);
  curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());  // "" means no proxy
  if (!root.noProxy.empty()) curl_easy_setopt(e, CURLOPT_NOPROXY, root.noProxy.c_str());
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  const Handle& credentials =
      request.proxyUserSet || request.proxyPasswordSet ? request : connection;
  if (credentials.proxyUserSet)
    curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, credentials.proxyUser.c_str());
  if (credentials.proxyPasswordSet)
    curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, credentials.proxyPassword.c_str());

  // Only the headers the caller gave, beside Host, User-Agent and the length.
  bool hasAccept = false, hasContentType = false;
  for (const auto& [name, value] : request.requestHeaders) {
    std::string line = name + ": " + value;
    t->headerList = curl_slist_append(t->headerList, line.c_str());
    hasAccept |= EqualsNoCase(name, "Accept");
    hasContentType |= EqualsNoCase(name, "Content-Type");
  }
  if (!hasAccept) t->headerList = curl_slist_append(t->headerList, "Accept:");
  if (!hasContentType) t->headerList = curl_slist_append(t->headerList, "Content-Type:");
  t->headerList = curl_slist_append(t->headerList, "Expect:");
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headerList);

  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());

  if (request.verb == "GET") {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else if (request.verb == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else {
    if (request.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
  }
  if (upload) {
    t->uploading = true;
    t->uploadTotal = total;
    t->upload = std::move(initial);
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(total));
    curl_easy_setopt(e, CURLOPT_READFUNCTION, OnUpload);
    curl_easy_setopt(e, CURLOPT_READDATA, t.get());
    if (request.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
  }

  curl_multi_add_handle(t->multi, t->easy);
  t->lastActivity = Clock::now();
  std::lock_guard lock(request.transferMutex);
  request.transfer = std::move(t);
  return true;
}

bool ParseHeaders(const WCHAR* text, DWORD length,
                  std::vector<std::pair<std::string, std::string>>* out) {
  std::string all = length == 0xFFFFFFFFu ? ToUtf8(text) : ToUtf8(text, length);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string_view line = Trim(std::string_view(all).substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return Fail(ERROR_HTTP_INVALID_HEADER);
    out->emplace_back(std::string(Trim(line.substr(0, colon))),
                      std::string(Trim(line.substr(colon + 1))));
  }
  return true;
}

// The header text of a query level, or null when the level is not a header.
const char* HeaderOfLevel(DWORD level) {
  switch (level) {
    case HTTP_QUERY_CONTENT_TYPE:
      return "Content-Type";
    case HTTP_QUERY_CONTENT_LENGTH:
      return "Content-Length";
    case HTTP_QUERY_CONTENT_ENCODING:
      return "Content-Encoding";
    default:
      return nullptr;
  }
}

BOOL SetDword(DWORD* target, LPVOID buffer, DWORD length) {
  if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
  if (length != sizeof(DWORD)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
  std::memcpy(target, buffer, sizeof(DWORD));
  return TRUE;
}

}  // namespace

extern "C" {

// Supports INTERNET_OPEN_TYPE_PRECONFIG (the proxy comes from the environment:
// http_proxy for http, https_proxy or HTTPS_PROXY for https, no_proxy or
// NO_PROXY for the hosts that bypass it) and INTERNET_OPEN_TYPE_DIRECT. Not
// supported: a named proxy or bypass list, and any flag (offline, async).
HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass,
                        DWORD flags) {
  if ((accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT) ||
      proxy || proxyBypass || flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  EnsureCurl();
  auto handle = std::make_shared<Handle>(Kind::kInternet);
  handle->userAgent = ToUtf8(agent);
  handle->openType = accessType;
  handle->httpProxy = Environment("http_proxy", nullptr);
  handle->httpsProxy = Environment("https_proxy", "HTTPS_PROXY");
  handle->noProxy = Environment("no_proxy", "NO_PROXY");
  return Register(std::move(handle));
}

// Splits http and https URLs only. Not supported: other schemes
// (ERROR_INTERNET_UNRECOGNIZED_SCHEME) and any flag (decoding, escaping). The
// path keeps the query and fragment unless the extra information is asked for.
BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSW parts) {
  if (!url || !parts || flags != 0 || parts->dwStructSize != sizeof(URL_COMPONENTSW))
    return Fail(ERROR_INVALID_PARAMETER);
  size_t length = urlLength ? urlLength : wcslen(url);
  std::wstring_view text(url, length);
  size_t colon = text.find(L"://");
  if (colon == std::wstring_view::npos) return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  std::string scheme = ToUtf8(url, colon);
  INTERNET_SCHEME kind;
  INTERNET_PORT defaultPort;
  if (EqualsNoCase(scheme, "http")) {
    kind = INTERNET_SCHEME_HTTP;
    defaultPort = INTERNET_DEFAULT_HTTP_PORT;
  } else if (EqualsNoCase(scheme, "https")) {
    kind = INTERNET_SCHEME_HTTPS;
    defaultPort = INTERNET_DEFAULT_HTTPS_PORT;
  } else {
    return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  }
  size_t authorityStart = colon + 3;
  size_t authorityEnd = text.find_first_of(L"/?#", authorityStart);
  if (authorityEnd == std::wstring_view::npos) authorityEnd = length;
  size_t at = text.substr(authorityStart, authorityEnd - authorityStart).rfind(L'@');
  size_t userStart = authorityStart, userEnd = authorityStart, passStart = authorityStart,
         passEnd = authorityStart;
  size_t hostStart = authorityStart;
  if (at != std::wstring_view::npos) {
    size_t atPos = authorityStart + at;
    size_t passColon = text.substr(authorityStart, at).find(L':');
    userEnd = passColon == std::wstring_view::npos ? atPos : authorityStart + passColon;
    passStart = passColon == std::wstring_view::npos ? atPos : userEnd + 1;
    passEnd = atPos;
    hostStart = atPos + 1;
  }
  size_t hostEnd = authorityEnd;
  size_t portStart = authorityEnd;
  if (hostStart < authorityEnd && text[hostStart] == L'[') {
    size_t close = text.find(L']', hostStart);
    if (close == std::wstring_view::npos || close > authorityEnd)
      return Fail(ERROR_INTERNET_INVALID_URL);
    hostEnd = close + 1;
    if (hostEnd < authorityEnd && text[hostEnd] == L':') portStart = hostEnd + 1;
  } else {
    size_t portColon = text.substr(hostStart, authorityEnd - hostStart).rfind(L':');
    if (portColon != std::wstring_view::npos) {
      hostEnd = hostStart + portColon;
      portStart = hostEnd + 1;
    }
  }
  if (hostEnd == hostStart) return Fail(ERROR_INTERNET_INVALID_URL);
  INTERNET_PORT port = defaultPort;
  if (portStart < authorityEnd) {
    unsigned long value = 0;
    for (size_t i = portStart; i < authorityEnd; ++i) {
      if (text[i] < L'0' || text[i] > L'9') return Fail(ERROR_INTERNET_INVALID_URL);
      value = value * 10 + static_cast<unsigned long>(text[i] - L'0');
      if (value > 65535) return Fail(ERROR_INTERNET_INVALID_URL);
    }
    port = static_cast<INTERNET_PORT>(value);
  }
  bool wantExtra = parts->lpszExtraInfo != nullptr || parts->dwExtraInfoLength != 0;
  size_t pathEnd = length;
  if (wantExtra) {
    size_t extra = text.find_first_of(L"?#", authorityEnd);
    if (extra != std::wstring_view::npos) pathEnd = extra;
  }

  // Each component asked for is copied into the caller's buffer, or pointed
  // at inside the URL when the caller gave a length but no buffer.
  auto give = [&](LPWSTR& buffer, DWORD& size, size_t start, size_t end) {
    if (!buffer && size == 0) return true;
    size_t count = end - start;
    if (!buffer) {
      buffer = const_cast<LPWSTR>(url + start);
      size = static_cast<DWORD>(count);
      return true;
    }
    if (size <= count) {
      size = static_cast<DWORD>(count + 1);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(url + start, url + end, buffer);
    buffer[count] = L'\0';
    size = static_cast<DWORD>(count);
    return true;
  };
  parts->nScheme = kind;
  parts->nPort = port;
  return give(parts->lpszScheme, parts->dwSchemeLength, 0, colon) &&
         give(parts->lpszHostName, parts->dwHostNameLength, hostStart, hostEnd) &&
         give(parts->lpszUserName, parts->dwUserNameLength, userStart, userEnd) &&
         give(parts->lpszPassword, parts->dwPasswordLength, passStart, passEnd) &&
         give(parts->lpszUrlPath, parts->dwUrlPathLength, authorityEnd, pathEnd) &&
         give(parts->lpszExtraInfo, parts->dwExtraInfoLength, pathEnd, length);
}

// HTTP only. Not supported: other services, user names and passwords (the
// only credentials are a proxy's), and any flag.
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT serverPort,
                           LPCWSTR userName, LPCWSTR password, DWORD service, DWORD flags,
                           DWORD_PTR /*context*/) {
  auto root = Lookup(internet, Kind::kInternet);
  if (!root) return nullptr;
  if (!serverName || !*serverName || userName || password || service != INTERNET_SERVICE_HTTP ||
      flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto handle = std::make_shared<Handle>(Kind::kConnection);
  handle->parent = root;
  handle->timeouts = root->timeouts;
  std::string host = ToUtf8(serverName);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  handle->host = host;
  handle->port = serverPort;
  HINTERNET value = Register(std::move(handle));
  if (!value) SetLastError(ERROR_INVALID_HANDLE);
  return value;
}

// Timeouts (connect, send, receive) on any handle, inherited by the handles
// opened from it later; INTERNET_OPTION_SECURITY_FLAGS on a request, where only
// SECURITY_FLAG_IGNORE_REVOCATION has an effect and the bits that would accept
// a bad certificate are refused; proxy user name and password on a connection
// or request; INTERNET_OPTION_IGNORE_OFFLINE (never offline here) and
// INTERNET_OPTION_HTTP_DECODING (stored only: bodies are handed out as sent,
// the caller decodes them). Not supported: every other option, and the
// process-wide options set without a handle.
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  if (!handle) return Fail(ERROR_INVALID_PARAMETER);
  auto h = LookupAny(handle);
  if (!h) return FALSE;
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      return SetDword(&h->timeouts.connect, buffer, bufferLength);
    case INTERNET_OPTION_SEND_TIMEOUT:
      return SetDword(&h->timeouts.send, buffer, bufferLength);
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      return SetDword(&h->timeouts.receive, buffer, bufferLength);
    case INTERNET_OPTION_IGNORE_OFFLINE:
      return TRUE;
    case INTERNET_OPTION_HTTP_DECODING: {
      DWORD value;
      return SetDword(&value, buffer, bufferLength);
    }
    case INTERNET_OPTION_SECURITY_FLAGS: {
      if (h->kind != Kind::kRequest) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      DWORD value;
      if (!SetDword(&value, buffer, bufferLength)) return FALSE;
      if (value & kVerificationBypassFlags) return Fail(ERROR_INVALID_PARAMETER);
      h->securityFlags = value;
      return TRUE;
    }
    case INTERNET_OPTION_PROXY_USERNAME:
    case INTERNET_OPTION_PROXY_PASSWORD: {
      if (h->kind == Kind::kInternet) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
      const WCHAR* text = static_cast<const WCHAR*>(buffer);
      size_t count = bufferLength ? std::min<size_t>(bufferLength, wcslen(text)) : wcslen(text);
      if (option == INTERNET_OPTION_PROXY_USERNAME) {
        h->proxyUser = ToUtf8(text, count);
        h->proxyUserSet = true;
      } else {
        h->proxyPassword = ToUtf8(text, count);
        h->proxyPasswordSet = true;
      }
      return TRUE;
    }
    default:
      return Fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

// The three timeouts and, on a request, the security flags. Not supported:
// every other option.
BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  auto h = LookupAny(handle);
  if (!h) return FALSE;
  DWORD value;
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      value = h->timeouts.connect;
      break;
    case INTERNET_OPTION_SEND_TIMEOUT:
      value = h->timeouts.send;
      break;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      value = h->timeouts.receive;
      break;
    case INTERNET_OPTION_SECURITY_FLAGS:
      if (h->kind != Kind::kRequest) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      value = h->securityFlags;
      break;
    default:
      return Fail(ERROR_INTERNET_INVALID_OPTION);
  }
  if (!buffer || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof value;
  return TRUE;
}

// HTTP/1.1 (or HTTP/1.0) requests; the accept types become one Accept header.
// Redirects are followed (also between http and https) unless
// INTERNET_FLAG_NO_AUTO_REDIRECT is given. Not supported (refused): flags that
// would accept a bad certificate, and the cache, cookie, authentication and
// asynchronous flags beyond the ones that only ask not to cache.
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags,
                           DWORD_PTR /*context*/) {
  auto parent = Lookup(connection, Kind::kConnection);
  if (!parent) return nullptr;
  std::string versionText = version && *version ? ToUtf8(version) : "HTTP/1.1";
  if ((flags & ~kSupportedRequestFlags) != 0 ||
      (versionText != "HTTP/1.1" && versionText != "HTTP/1.0")) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto handle = std::make_shared<Handle>(Kind::kRequest);
  handle->parent = parent;
  handle->timeouts = parent->timeouts;
  handle->verb = verb && *verb ? ToUtf8(verb) : "GET";
  handle->path = ToUtf8(objectName);
  handle->version = versionText;
  handle->flags = flags;
  handle->securityFlags = (flags & INTERNET_FLAG_SECURE) ? SECURITY_FLAG_SECURE : 0;
  if (referrer && *referrer) handle->requestHeaders.emplace_back("Referer", ToUtf8(referrer));
  if (acceptTypes && *acceptTypes) {
    std::string accept;
    for (LPCWSTR* type = acceptTypes; *type; ++type)
      accept += (accept.empty() ? "" : ", ") + ToUtf8(*type);
    handle->requestHeaders.emplace_back("Accept", accept);
  }
  HINTERNET value = Register(std::move(handle));
  if (!value) SetLastError(ERROR_INVALID_HANDLE);
  return value;
}

// "Name: value" lines separated by CR LF; length -1 means NUL-terminated.
// Supports HTTP_ADDREQ_FLAG_ADD and HTTP_ADDREQ_FLAG_ADD_IF_NEW (a header
// already there fails with ERROR_HTTP_INVALID_HEADER). Not supported:
// replacing, coalescing or removing headers.
BOOL HttpAddRequestHeadersW(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                            DWORD modifiers) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (!headers || (modifiers & ~(HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_ADD_IF_NEW)) != 0)
    return Fail(ERROR_INVALID_PARAMETER);
  std::vector<std::pair<std::string, std::string>> parsed;
  if (!ParseHeaders(headers, headersLength, &parsed)) return FALSE;
  for (auto& header : parsed) {
    bool exists =
        std::any_of(h->requestHeaders.begin(), h->requestHeaders.end(),
                    [&](const auto& old) { return EqualsNoCase(old.first, header.first); });
    if (exists && (modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW)) return Fail(ERROR_HTTP_INVALID_HEADER);
    h->requestHeaders.push_back(std::move(header));
  }
  return TRUE;
}

// Sends the request with the optional body and returns once the answer's
// status and headers are in. Not supported: a body on a GET or HEAD request.
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  bool hasBody = optional && optionalLength > 0;
  if (hasBody && (h->verb == "GET" || h->verb == "HEAD")) return Fail(ERROR_INVALID_PARAMETER);
  if (headers && headersLength != 0 && !ParseHeaders(headers, headersLength, &h->requestHeaders))
    return FALSE;
  bool upload = hasBody || (h->verb != "GET" && h->verb != "HEAD");
  std::string body = hasBody ? std::string(static_cast<const char*>(optional), optionalLength) : "";
  if (!StartTransfer(*h, upload, body.size(), std::move(body))) return FALSE;
  Transfer& t = *h->transfer;
  DWORD error = Pump(*h, [&] { return t.headersDone; });
  if (error == 0 && !t.headersDone) error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  return error == 0 ? TRUE : Fail(error);
}

// Starts a request whose body (dwBufferTotal bytes) follows through
// InternetWriteFile; returns once the request line and headers are out.
// Supports headers and a first block of the body in the input buffers. Not
// supported: chained buffers, output buffers, and any flag.
BOOL HttpSendRequestExW(HINTERNET request, LPINTERNET_BUFFERSW buffersIn,
                        LPINTERNET_BUFFERSW buffersOut, DWORD flags, DWORD_PTR /*context*/) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (buffersOut || flags != 0 ||
      (buffersIn && (buffersIn->dwStructSize != sizeof(INTERNET_BUFFERSW) || buffersIn->Next))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  uint64_t total = 0;
  std::string initial;
  if (buffersIn) {
    if (buffersIn->lpcszHeader &&
        !ParseHeaders(buffersIn->lpcszHeader,
                      buffersIn->dwHeadersLength ? buffersIn->dwHeadersLength : 0xFFFFFFFFu,
                      &h->requestHeaders)) {
      return FALSE;
    }
    total = buffersIn->dwBufferTotal;
    if (buffersIn->lpvBuffer)
      initial.assign(static_cast<const char*>(buffersIn->lpvBuffer), buffersIn->dwBufferLength);
    total = std::max<uint64_t>(total, initial.size());
  }
  if (!StartTransfer(*h, true, total, std::move(initial))) return FALSE;
  Transfer& t = *h->transfer;
  // Sent once curl asks for the first body bytes; a request without a body
  // is complete here and waits for its answer.
  DWORD error = Pump(*h, [&] { return t.headersDone || (t.uploadTotal > 0 && t.uploadAsked); });
  return error == 0 ? TRUE : Fail(error);
}

// Hands the next bytes of the body to a request started with
// HttpSendRequestExW. Not supported: writing more than the announced total.
BOOL InternetWriteFile(HINTERNET request, LPCVOID buffer, DWORD bytesToWrite,
                       LPDWORD bytesWritten) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (!bytesWritten || (!buffer && bytesToWrite)) return Fail(ERROR_INVALID_PARAMETER);
  *bytesWritten = 0;
  if (!h->transfer || !h->transfer->uploading) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  Transfer& t = *h->transfer;
  if (t.upload.size() + bytesToWrite > t.uploadTotal) return Fail(ERROR_INVALID_PARAMETER);
  t.upload.append(static_cast<const char*>(buffer), bytesToWrite);
  if (t.uploadPaused) {
    t.uploadPaused = false;
    curl_easy_pause(t.easy, CURLPAUSE_CONT);
  }
  DWORD error = Pump(*h, [&] { return t.uploadOffset >= t.upload.size() || t.headersDone; });
  if (error) return Fail(error);
  *bytesWritten = bytesToWrite;
  return TRUE;
}

// Ends a request started with HttpSendRequestExW and waits for the answer's
// status and headers. Not supported: output buffers and flags.
BOOL HttpEndRequestW(HINTERNET request, LPINTERNET_BUFFERSW buffersOut, DWORD flags,
                     DWORD_PTR /*context*/) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (buffersOut || flags != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (!h->transfer || !h->transfer->uploading) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  Transfer& t = *h->transfer;
  if (t.upload.size() < t.uploadTotal && !t.headersDone)
    return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  DWORD error = Pump(*h, [&] { return t.headersDone; });
  if (error == 0 && !t.headersDone) error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  return error == 0 ? TRUE : Fail(error);
}

// The status code (as a number with HTTP_QUERY_FLAG_NUMBER, else as text) and
// the Content-Length, Content-Encoding and Content-Type headers (as text, or
// Content-Length as a number). Text follows the usual protocol: a buffer too
// small fails with ERROR_INSUFFICIENT_BUFFER and the size needed in bytes. Not
// supported: other levels, request headers, modifiers other than the number
// flag, and header indexes beyond the first.
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  if (!h->transfer || !h->transfer->headersDone) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  const Transfer& t = *h->transfer;
  bool number = (infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0;
  DWORD level = infoLevel & ~HTTP_QUERY_FLAG_NUMBER;
  if (index && *index != 0) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);

  std::string value;
  if (level == HTTP_QUERY_STATUS_CODE) {
    value = std::to_string(t.status);
  } else if (const char* name = HeaderOfLevel(level)) {
    const std::string* header = t.Header(name);
    if (!header) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    value = *header;
  } else {
    return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
  }

  if (number) {
    if (level != HTTP_QUERY_STATUS_CODE && level != HTTP_QUERY_CONTENT_LENGTH)
      return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
    if (!buffer || *bufferLength < sizeof(DWORD)) {
      *bufferLength = sizeof(DWORD);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    DWORD parsed = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
    std::memcpy(buffer, &parsed, sizeof parsed);
    *bufferLength = sizeof parsed;
  } else {
    DWORD needed = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    if (!buffer || *bufferLength < needed) {
      *bufferLength = needed;
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    WCHAR* out = static_cast<WCHAR*>(buffer);
    for (size_t i = 0; i < value.size(); ++i) out[i] = static_cast<unsigned char>(value[i]);
    out[value.size()] = L'\0';
    *bufferLength = static_cast<DWORD>(value.size() * sizeof(WCHAR));
  }
  if (index) *index = 1;
  return TRUE;
}

// Hands out the body as it arrives: waits (up to the receive time-out) only
// when nothing is buffered. TRUE with 0 bytes marks the end, also when the
// server closed before its Content-Length was reached.
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
  auto h = Lookup(request, Kind::kRequest);
  if (!h) return FALSE;
  if (!bytesRead || (!buffer && bytesToRead)) return Fail(ERROR_INVALID_PARAMETER);
  *bytesRead = 0;
  if (!h->transfer || !h->transfer->headersDone) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  if (bytesToRead == 0) return TRUE;
  Transfer& t = *h->transfer;
  if (t.body.size() == t.bodyRead) {
    // Nothing buffered: wait for more, which the transfer writes into the
    // caller's buffer itself (sparing a copy of every byte that fits).
    t.reader = static_cast<char*>(buffer);
    t.readerRoom = bytesToRead;
    t.readerFilled = 0;
    const DWORD error = Pump(*h, [&] { return t.readerFilled > 0; });
    const size_t filled = t.readerFilled;
    t.reader = nullptr;
    t.readerRoom = t.readerFilled = 0;
    if (filled == 0) return error ? Fail(error) : TRUE;  // TRUE with 0 bytes: the end
    *bytesRead = static_cast<DWORD>(filled);
    return TRUE;
  }
  const size_t count = std::min<size_t>(bytesToRead, t.body.size() - t.bodyRead);
  std::memcpy(buffer, t.body.data() + t.bodyRead, count);
  t.bodyRead += count;
  if (t.bodyRead == t.body.size()) {
    t.body.clear();
    t.bodyRead = 0;
  }
  *bytesRead = static_cast<DWORD>(count);
  return TRUE;
}

// Closes the handle and every handle opened from it. Safe from any thread: a
// call blocked on one of them fails with ERROR_INTERNET_OPERATION_CANCELLED.
BOOL InternetCloseHandle(HINTERNET handle) {
  std::vector<std::shared_ptr<Handle>> requests;
  {
    std::lock_guard lock(tableMutex);
    auto it = table.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.end()) return Fail(ERROR_INVALID_HANDLE);
    std::shared_ptr<Handle> target = it->second;
    CloseTree(target, &requests);
  }
  for (auto& request : requests) {
    std::lock_guard lock(request->transferMutex);
    if (request->transfer) curl_multi_wakeup(request->transfer->multi);
  }
  return TRUE;
}

// There is no window to show the dialog in: it is reported as cancelled, and
// a proxy's credentials come only from the proxy URL of the environment or the
// proxy user name and password options.
DWORD InternetErrorDlg(HWND /*window*/, HINTERNET /*request*/, DWORD /*error*/, DWORD /*flags*/,
                       LPVOID* /*data*/) {
  return ERROR_CANCELLED;
}

}  // extern "C"
