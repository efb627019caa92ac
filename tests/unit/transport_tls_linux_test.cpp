// TLS against certificates the system does not trust: a loopback HTTPS
// server with a self-signed certificate made at test time, once for the
// address the client asks for and once for another name. The library checks
// every certificate against the system store and has no switch that skips
// the check, so both exchanges fail with the HTTP session's statuses before
// a request reaches the server, and the session still works afterwards.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "transport/http_session.h"
#include "transport_test_helpers.h"

namespace {

// A self-signed certificate with its key in dir, for the names of
// subjectAltName ("IP:127.0.0.1", "DNS:wrong.invalid").
bool MakeCertificate(const std::filesystem::path& dir, const std::string& altName) {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=test' -addext "
      "'subjectAltName=" +
      altName + "' -keyout '" + (dir / "key.pem").string() + "' -out '" +
      (dir / "cert.pem").string() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// An HTTPS server on 127.0.0.1 that counts the requests it gets.
class TlsServer {
 public:
  explicit TlsServer(const std::filesystem::path& dir)
      : server_((dir / "cert.pem").string().c_str(), (dir / "key.pem").string().c_str()) {
    server_.Post(".*", [this](const httplib::Request&, httplib::Response& response) {
      ++requests_;
      response.set_content("<packet/>", "text/xml");
    });
    server_.Get(".*", [this](const httplib::Request&, httplib::Response& response) {
      ++requests_;
      response.set_content("<packet/>", "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    // The socket listens once bound; connections wait for the accept loop.
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~TlsServer() {
    server_.stop();
    thread_.join();
  }
  bool Valid() const { return server_.is_valid() && port_ > 0; }
  WsString Url(const std::string& host) const {
    return Wide("https://" + host + ":" + std::to_string(port_) + "/qvwp/flumeway");
  }
  int Requests() const { return requests_; }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

TEST(TransportTls, UntrustedCertificatesFail) {
  struct Row {
    const char* name;
    std::string altName;  // the certificate's names; the client asks for 127.0.0.1
    const wchar_t* postData;
    uint32_t expected;
  };
  const Row rows[] = {
      {"self-signed, right name, GET", "IP:127.0.0.1", L"", kWsHttpIncomplete},
      {"self-signed, right name, POST", "IP:127.0.0.1", L"<a/>", kWsHttpInvalidHeader},
      {"self-signed, wrong name, GET", "DNS:wrong.invalid", L"", kWsHttpIncomplete},
      {"self-signed, wrong name, POST", "DNS:wrong.invalid", L"<a/>", kWsHttpInvalidHeader},
  };
  WsHttpSession session;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    ASSERT_TRUE(MakeCertificate(dir.path(), row.altName));
    TlsServer server(dir.path());
    ASSERT_TRUE(server.Valid());
    std::string response = "left from before";
    const uint32_t status =
        RaisedStatus([&] { session.Submit(server.Url("127.0.0.1"), row.postData, response); });
    EXPECT_EQ(HexStatus(status), HexStatus(row.expected));
    EXPECT_EQ(server.Requests(), 0);
  }
  // The failed handshakes released everything: a plain exchange still works.
  TestServer plain;
  plain.Enqueue(ScriptedResponse::Ok("fine"));
  std::string response;
  session.Submit(ServerUrl(plain, "/"), L"", response);
  EXPECT_EQ(response, "fine");
}

}  // namespace
