// The platform differences of the test helpers, all in one place: loopback
// TCP sockets (Winsock or POSIX) and which internet client the tests run on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Opaque socket value: a SOCKET on Windows, a file descriptor elsewhere.
using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Owns one socket and closes it on destruction.
class TestSocket {
 public:
  TestSocket() = default;
  explicit TestSocket(SocketHandle handle) : handle_(handle) {}
  ~TestSocket() { Close(); }
  TestSocket(TestSocket&& other) noexcept : handle_(other.Release()) {}
  TestSocket& operator=(TestSocket&& other) noexcept;
  TestSocket(const TestSocket&) = delete;
  TestSocket& operator=(const TestSocket&) = delete;

  bool Valid() const { return handle_ != kNoSocket; }
  SocketHandle Get() const { return handle_; }
  SocketHandle Release();

  // Graceful close: the peer sees the end of the stream.
  void Close();
  // Abortive close: the peer sees a connection reset.
  void Reset();

  // Waits up to timeoutMs for data (or the end of the stream) to read.
  bool WaitReadable(int timeoutMs) const;
  // Waits up to timeoutMs until a small send would not block.
  bool WaitWritable(int timeoutMs) const;
  // Reads what is there, up to size bytes: >0 bytes read, 0 end of stream, <0 error.
  long Receive(char* data, size_t size) const;
  // Looks at pending input without taking it; same results as Receive.
  long Peek(char* data, size_t size) const;
  // Sends every byte; false once the peer has gone away.
  bool SendAll(const char* data, size_t size) const;
  bool SendAll(const std::string& data) const { return SendAll(data.data(), data.size()); }

 private:
  SocketHandle handle_ = kNoSocket;
};

// A listening socket on 127.0.0.1 with a port the system picks; *port gets it.
TestSocket ListenOnLoopback(uint16_t* port);
// Accepts one waiting connection (call after WaitReadable on the listener).
TestSocket AcceptConnection(const TestSocket& listener);
// A connection to 127.0.0.1:port; invalid when refused.
TestSocket ConnectToLoopback(uint16_t port);
// A port on 127.0.0.1 that nothing listens on (bound, then released).
uint16_t UnusedLoopbackPort();

// True when the tests run against the Windows internet client library itself
// (Windows or Wine) rather than the compat layer.
bool TestsRunOnWindows();

// Bytes the process has allocated and not yet freed on the C runtime's heap
// (which also serves the library), or 0 when that cannot be told. Call it
// while no other thread allocates.
size_t HeapBytesInUse();

// Sets (or, with a null value, removes) a variable of the process environment.
void SetEnvironmentVariableForTest(const char* name, const char* value);
