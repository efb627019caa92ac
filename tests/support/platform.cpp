// The platform differences of the test helpers, all in one place.
#include "platform.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <malloc.h>
#else
#include <arpa/inet.h>
#include <malloc.h>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdlib>

namespace {

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kSendFlags = 0;

struct WinsockStartup {
  WinsockStartup() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) std::abort();
  }
  ~WinsockStartup() { WSACleanup(); }
};

void EnsureStarted() {
  static WinsockStartup startup;
}
int CloseNative(NativeSocket s) {
  return closesocket(s);
}
int PollOne(SocketHandle s, int timeoutMs, bool forWriting = false) {
  WSAPOLLFD entry{static_cast<NativeSocket>(s),
                  static_cast<SHORT>(forWriting ? POLLWRNORM : POLLRDNORM), 0};
  return WSAPoll(&entry, 1, timeoutMs);
}
#else
using NativeSocket = int;
constexpr int kSendFlags = MSG_NOSIGNAL;
void EnsureStarted() {}
int CloseNative(NativeSocket s) {
  return close(s);
}
int PollOne(SocketHandle s, int timeoutMs, bool forWriting = false) {
  pollfd entry{static_cast<NativeSocket>(s), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  int r;
  do {
    r = poll(&entry, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r;
}
#endif

NativeSocket Native(SocketHandle s) {
  return static_cast<NativeSocket>(s);
}

}  // namespace

TestSocket& TestSocket::operator=(TestSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

SocketHandle TestSocket::Release() {
  SocketHandle h = handle_;
  handle_ = kNoSocket;
  return h;
}

void TestSocket::Close() {
  if (handle_ != kNoSocket) CloseNative(Native(handle_));
  handle_ = kNoSocket;
}

void TestSocket::Reset() {
  if (handle_ == kNoSocket) return;
  linger option{};
  option.l_onoff = 1;
  option.l_linger = 0;
  setsockopt(Native(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
             sizeof option);
  Close();
}

bool TestSocket::WaitReadable(int timeoutMs) const {
  return PollOne(handle_, timeoutMs) > 0;
}

bool TestSocket::WaitWritable(int timeoutMs) const {
  return PollOne(handle_, timeoutMs, true) > 0;
}

long TestSocket::Receive(char* data, size_t size) const {
  return static_cast<long>(recv(Native(handle_), data, static_cast<int>(size), 0));
}

long TestSocket::Peek(char* data, size_t size) const {
  return static_cast<long>(recv(Native(handle_), data, static_cast<int>(size), MSG_PEEK));
}

bool TestSocket::SendAll(const char* data, size_t size) const {
  while (size > 0) {
    long sent = static_cast<long>(send(Native(handle_), data, static_cast<int>(size), kSendFlags));
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

TestSocket ListenOnLoopback(uint16_t* port) {
  EnsureStarted();
  NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  TestSocket listener(static_cast<SocketHandle>(s));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
    return TestSocket();
  }
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  if (port) *port = ntohs(address.sin_port);
  return listener;
}

TestSocket AcceptConnection(const TestSocket& listener) {
  NativeSocket s = accept(Native(listener.Get()), nullptr, nullptr);
#ifdef _WIN32
  if (s == INVALID_SOCKET) return TestSocket();
#else
  if (s < 0) return TestSocket();
#endif
  int on = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return TestSocket(static_cast<SocketHandle>(s));
}

TestSocket ConnectToLoopback(uint16_t port) {
  EnsureStarted();
  TestSocket connection(static_cast<SocketHandle>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (connect(Native(connection.Get()), reinterpret_cast<sockaddr*>(&address), sizeof address) !=
      0) {
    return TestSocket();
  }
  return connection;
}

uint16_t UnusedLoopbackPort() {
  uint16_t port = 0;
  ListenOnLoopback(&port);  // closed again at once: the port is free afterwards
  return port;
}

bool TestsRunOnWindows() {
#ifdef _WIN32
  return true;
#else
  return false;
#endif
}

#ifndef _WIN32
// Present when a sanitizer replaces the allocator (mallinfo2 then says nothing).
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
#endif

size_t HeapBytesInUse() {
#ifdef _WIN32
  _HEAPINFO entry{};
  size_t used = 0;
  int status;
  while ((status = _heapwalk(&entry)) == _HEAPOK) {
    if (entry._useflag == _USEDENTRY) used += entry._size;
  }
  return status == _HEAPEND ? used : 0;
#else
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

void SetEnvironmentVariableForTest(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}
