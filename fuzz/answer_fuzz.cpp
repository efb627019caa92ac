// Fuzz target of a whole answer: the bytes are loaded as a saved answer into
// a session whose engine holds a fixed set of installing and available
// items, then every message, display name and requirement is queried and the
// answer saved again. Failures must be a WsStatus; anything else (a crash, a
// sanitizer report, another exception) is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compat/win32.h"
#include "foundation/ws_status.h"
#include "packet/client_identity.h"
#include "session/ravenlink_session.h"

namespace {

const wchar_t* const kProduct = L"{AAAAAAAA-0000-0000-0000-000000000001}";
const wchar_t* const kDistribution = L"{BBBBBBBB-0000-0000-0000-000000000002}";
const wchar_t* const kSuite = L"{CCCCCCCC-0000-0000-0000-000000000003}";

// Where each input is written for the session to load; one per process.
const std::string& InputPath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/answer_fuzz_XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(pattern);
  }();
  return path;
}

template <class F>
void Tolerate(F&& f) {
  try {
    f();
  } catch (const WsStatus&) {
  }
}

void Clear(VARIANT* v) {
  VariantClear(v);
  VariantInit(v);
}

void QueryEverything(WsRavenlinkSession& session) {
  int32_t count = 0;
  session.GetMessageCount(&count);
  VARIANT a, b, c, d;
  VariantInit(&a);
  VariantInit(&b);
  VariantInit(&c);
  VariantInit(&d);
  for (int32_t i = 0; i < count && i < 64; ++i) {
    Tolerate([&] { session.GetMessageId(static_cast<uint32_t>(i), &a); });
    const WsString id = a.vt == VT_BSTR && a.bstrVal ? WsString(a.bstrVal) : WsString();
    Clear(&a);
    Tolerate([&] { session.GetMessageInfo(static_cast<uint32_t>(i), L"", &a, &b, &c); });
    Clear(&a), Clear(&b), Clear(&c);
    Tolerate([&] { session.GetMessageTitle(id, &a); });
    Tolerate([&] { session.GetMessageBody(id, &b); });
    Tolerate([&] { session.GetMessageUrl(id, &c); });
    Tolerate([&] { session.GetTargetApplication(id, &d); });
    Clear(&a), Clear(&b), Clear(&c), Clear(&d);
    int32_t n = 0, x = 0, y = 0, z = 0;
    Tolerate([&] { session.GetMessageSeverity(id, &n); });
    Tolerate([&] {
      session.GetKXDriverTemplateInfo(id, &n, &x, &y, &a, &z);
      Clear(&a);
    });
    n = 0;
    Tolerate([&] { session.GetDisplayNameCount(id, &n); });
    for (int32_t k = 0; k < n && k < 16; ++k) {
      Tolerate(
          [&] { session.GetDisplayNameInfo(id, static_cast<uint32_t>(k), &a, &b, &c, &d, &x); });
      Clear(&a), Clear(&b), Clear(&c), Clear(&d);
    }
    n = 0;
    Tolerate([&] { session.GetProductRequiredCount(id, &n); });
    for (int32_t k = 0; k < n && k < 16; ++k) {
      Tolerate([&] { session.GetProductRequired(id, static_cast<uint32_t>(k), &a, &b, &x, &y); });
      Clear(&a), Clear(&b);
    }
    n = 0;
    Tolerate([&] { session.GetDistributionRequiredCount(id, &n); });
    for (int32_t k = 0; k < n && k < 16; ++k) {
      Tolerate([&] {
        session.GetDistributionRequired(id, static_cast<uint32_t>(k), &a, &b, &c, &x, &y);
      });
      Clear(&a), Clear(&b), Clear(&c);
    }
    n = 0;
    Tolerate([&] { session.GetSuiteRequiredCount(id, &n); });
    for (int32_t k = 0; k < n && k < 16; ++k) {
      Tolerate([&] { session.GetSuiteRequired(id, static_cast<uint32_t>(k), &a, &b, &c, &x, &y); });
      Clear(&a), Clear(&b), Clear(&c);
    }
  }
  int32_t n = 0;
  Tolerate([&] { session.GetProductMessageCount(kProduct, L"1.0", &n); });
  for (int32_t k = 0; k < n && k < 16; ++k) {
    Tolerate([&] { session.GetProductMessageId(kProduct, L"1.0", static_cast<uint32_t>(k), &a); });
    Clear(&a);
  }
  Tolerate([&] { session.GetDistributionMessageCount(kDistribution, L"2.0", L"9", &n); });
  Tolerate([&] { session.GetSuiteMessageCount(kSuite, L"3.0", L"9", &n); });
  Tolerate([&] { session.GetDiscardedNotificationCount(&n); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  ClientIdentity client;
  client.swapp = L"App";
  client.swappVersion = L"1.0";
  client.wrapperlib = L"Wrapper";
  client.wrapperlibVersion = L"2.0";
  Tolerate([&] {
    WsRavenlinkSession session(client, 9, kSessionNoQuery | kSessionSilent);
    session.SetInstallingProduct(kProduct, L"1.0");
    session.SetAvailableDistribution(kDistribution, L"2.0", L"9");
    session.SetInstallingSuite(kSuite, L"3.0", L"9");
    const std::wstring wide(InputPath().begin(), InputPath().end());
    Tolerate([&] { session.LoadNotificationResponse(WsString(wide)); });
    QueryEverything(session);
    Tolerate([&] { session.SaveNotificationResponse(WsString(wide + L".saved")); });
  });
  return 0;
}
