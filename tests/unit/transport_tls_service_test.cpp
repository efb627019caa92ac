// TLS against HTTPS services that run outside the test program, for builds
// whose test program cannot serve HTTPS itself (the Windows ones): the test
// run starts them with self-signed certificates, one for the address the
// client asks for and one for another name, and names their URLs in
// RAVENLINK_TEST_UNTRUSTED_TLS_URL and RAVENLINK_TEST_WRONG_NAME_TLS_URL.
// Neither certificate is in the system store, and nothing in the library
// skips the check, so every exchange fails with an HTTP session status and
// the session still works afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "transport/http_session.h"
#include "transport_test_helpers.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The system error of each "Failed to send the request: " line of the trace
// (written in hexadecimal).
std::vector<unsigned long> SendErrors(const std::filesystem::path& logFile) {
  const std::wstring prefix = L"Failed to send the request: ";
  std::vector<unsigned long> errors;
  for (const std::wstring& entry : TraceEntries(logFile)) {
    const size_t at = entry.find(prefix);
    if (at != std::wstring::npos)
      errors.push_back(std::wcstoul(entry.c_str() + at + prefix.size(), nullptr, 0));
  }
  return errors;
}

TEST(TransportTlsService, UntrustedCertificatesFail) {
  const std::string untrusted = Environment("RAVENLINK_TEST_UNTRUSTED_TLS_URL");
  const std::string wrongName = Environment("RAVENLINK_TEST_WRONG_NAME_TLS_URL");
  if (untrusted.empty() || wrongName.empty()) {
    GTEST_SKIP() << "no HTTPS services were started for this run";
  }
  // An untrusted root fails as "any other" error of the send step. A name
  // that does not match may be reported first instead, with its own status.
  struct Row {
    const char* name;
    std::string url;
    const wchar_t* postData;
    std::vector<uint32_t> expected;
  };
  const Row rows[] = {
      {"untrusted, GET", untrusted, L"", {kWsHttpIncomplete}},
      {"untrusted, POST", untrusted, L"<a/>", {kWsHttpInvalidHeader}},
      {"wrong name, GET", wrongName, L"", {kWsHttpIncomplete, kWsHttpCertName}},
      {"wrong name, POST", wrongName, L"<a/>", {kWsHttpInvalidHeader, kWsHttpCertName}},
  };
  TempDir dir;
  const std::filesystem::path logFile = dir.path() / "trace.log";
  ScopedRegistry registry(TracingRegistryText(logFile));
  WsHttpSession session;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string response = "left from before";
    const uint32_t status =
        RaisedStatus([&] { session.Submit(Wide(row.url), row.postData, response); });
    EXPECT_NE(std::find(row.expected.begin(), row.expected.end(), status), row.expected.end())
        << "status " << HexStatus(status);
  }
  // Each send failed on the certificate, not on the connection.
  const std::vector<unsigned long> errors = SendErrors(logFile);
  EXPECT_EQ(errors.size(), std::size(rows));
  for (unsigned long error : errors) {
    EXPECT_TRUE(error == ERROR_INTERNET_INVALID_CA || error == ERROR_INTERNET_SEC_CERT_CN_INVALID ||
                error == ERROR_INTERNET_SEC_INVALID_CERT)
        << "send error " << error;
  }
  // The failed handshakes released everything: a plain exchange still works.
  TestServer plain;
  plain.Enqueue(ScriptedResponse::Ok("fine"));
  std::string response;
  session.Submit(ServerUrl(plain, "/"), L"", response);
  EXPECT_EQ(response, "fine");
}

}  // namespace
