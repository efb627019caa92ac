// The service endpoint settings: which URL the registry selects, the gzip
// switch, and the request an endpoint sends.
#include <gtest/gtest.h>

#include <string>

#include "support/registry_fixture.h"
#include "support/test_server.h"
#include "transport/service_endpoint.h"
#include "transport_test_helpers.h"

namespace {

std::wstring RegText(const std::wstring& body) {
  return L"Windows Registry Editor Version 5.00\r\n\r\n" + body;
}

TEST(TransportServiceEndpoint, ServiceUrlFromTheRegistry) {
  const WsString secureDefault = L"https://" + kDefaultServiceHost + L"/qvwp/flumeway";
  const WsString plainDefault = L"http://" + kDefaultServiceHost + L"/qvwp/flumeway";
  const std::wstring both =
      LR"([HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway]
"S_URL"="https://all.example/svc"
"URL"="http://all.example/svc"

[HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway\Wrapper]
"S_URL"="https://wrapper.example/svc"
)";
  const struct {
    const char* name;
    std::wstring registry;
    bool https;
    const wchar_t* product;
    WsString expected;
  } rows[] = {
      {"nothing set", L"", true, L"Wrapper", secureDefault},
      {"nothing set, plain", L"", false, L"Wrapper", plainDefault},
      {"product value wins", both, true, L"Wrapper", L"https://wrapper.example/svc"},
      {"product names are not case-sensitive", both, true, L"WRAPPER",
       L"https://wrapper.example/svc"},
      {"other product takes the common value", both, true, L"Other", L"https://all.example/svc"},
      {"empty product reads only the settings key", both, true, L"", L"https://all.example/svc"},
      {"plain reads URL, not S_URL", both, false, L"Wrapper", L"http://all.example/svc"},
      {"settings key without the value",
       LR"([HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway]
"DisableEncoding"="0"
)",
       true, L"Wrapper", secureDefault},
      {"stored text used as it is",
       LR"([HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway]
"S_URL"="https://all.example/svc"

[HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway\Wrapper]
"S_URL"=""
)",
       true, L"Wrapper", L""},
  };
  for (const auto& row : rows) {
    ScopedRegistry registry(RegText(row.registry));
    EXPECT_EQ(ServiceUrl(row.https, row.product), row.expected) << row.name;
  }
}

TEST(TransportServiceEndpoint, DisableEncodingSwitch) {
  const struct {
    const wchar_t* value;  // null: the value is absent
    bool enabled;
  } rows[] = {
      {nullptr, true}, {L"TRUE", false}, {L"true", false}, {L"1", false},
      {L"0", true},    {L"yes", true},   {L"", true},
  };
  for (const auto& row : rows) {
    std::wstring body = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\r\n";
    if (row.value != nullptr)
      body += L"\"DisableEncoding\"=\"" + std::wstring(row.value) + L"\"\r\n";
    ScopedRegistry registry(RegText(body));
    EXPECT_EQ(IsEncodingEnabled(), row.enabled) << (row.value ? row.value : L"(absent)");
  }
}

TEST(TransportServiceEndpoint, RequestSentToTheConfiguredService) {
  const struct {
    const wchar_t* disableEncoding;
    const char* acceptEncoding;
  } rows[] = {{L"0", "gzip"}, {L"True", ""}};
  TestServer server;
  server.SetDefault(ScriptedResponse::Ok("<packet/>"));
  for (const auto& row : rows) {
    ScopedRegistry registry(
        RegText(LR"([HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway\Wrapper]
"S_URL"=")" + std::wstring(Wide(server.BaseUrl())) +
                LR"(/qvwp/flumeway"

[HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Flumeway]
"DisableEncoding"=")" +
                row.disableEncoding + L"\"\r\n"));
    WsHttpRequest request(L"App", L"1.0", true);
    SetupEndpoint(request, true, L"Wrapper", L"2.0", L"quillo", L"17.0.0");
    request.SetCommand(L"ContentCmd:QueryDocument");
    request.SetPostData(L"<query/>");
    AddProtocolParameter(request);
    ASSERT_EQ(request.Execute(10000, true), kWsOk);

    const RecordedRequest sent = server.Requests().back();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.target, "/qvwp/flumeway?cmd=ContentCmd:QueryDocument&flumeway%5Fversion=2%2E0");
    EXPECT_EQ(sent.Header("User-Agent"),
              "QvWebServiceClient (qvwshttp 17.0.0;App 1.0;quillo 17.0.0;Wrapper 2.0;)");
    EXPECT_EQ(sent.Header("Accept-Encoding"), row.acceptEncoding);
    EXPECT_EQ(request.GetResponse(), "<packet/>");
  }
}

}  // namespace
