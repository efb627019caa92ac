#include "transport/service_endpoint.h"

#include "foundation/registry.h"

const WsString kServiceSettingsKey = L"SOFTWARE\\Quorvane\\Flumeway";
const WsString kSecureUrlValue = L"S_URL";
const WsString kPlainUrlValue = L"URL";
const WsString kDisableEncodingValue = L"DisableEncoding";
const WsString kDefaultServiceHost = L"flumeway.quorvane.com";
const WsString kDefaultServicePath = L"/qvwp/flumeway";
const WsString kProtocolParameterName = L"flumeway_version";
const WsString kProtocolParameterValue = L"2.0";

WsString DefaultServiceUrl(bool https) {
  return WsString(https ? L"https" : L"http") + L"://" + kDefaultServiceHost + kDefaultServicePath;
}

WsString ServiceUrl(bool https, const WsString& product) {
  const WsString fallback = DefaultServiceUrl(https);
  const WsString& name = https ? kSecureUrlValue : kPlainUrlValue;
  try {
    if (!product.empty()) {
      const WsString productKey = kServiceSettingsKey + L"\\" + product;
      WsString url;
      if (RegValueExists(productKey, name, HKEY_LOCAL_MACHINE) &&
          RegReadString(productKey, name, url, HKEY_LOCAL_MACHINE)) {
        return url;
      }
    }
    WsString url = fallback;
    if (RegReadString(kServiceSettingsKey, name, url, HKEY_LOCAL_MACHINE)) return url;
    return fallback;
  } catch (...) {
    return fallback;
  }
}

bool IsEncodingEnabled() {
  WsString text;
  try {
    if (!RegReadString(kServiceSettingsKey, kDisableEncodingValue, text, HKEY_LOCAL_MACHINE)) {
      text.clear();
    }
  } catch (...) {
    text.clear();
  }
  return !text.IsTrue();
}

void SetupEndpoint(WsHttpRequest& request, bool https, const WsString& wrapperlib,
                   const WsString& wrapperlibVersion, const WsString& corelib,
                   const WsString& corelibVersion) {
  request.SetUrl(ServiceUrl(https, wrapperlib));
  request.SetRequestGzip(IsEncodingEnabled());
  request.AddUserAgentToken(corelib + L" " + corelibVersion);
  request.AddUserAgentToken(wrapperlib + L" " + wrapperlibVersion);
}

void AddProtocolParameter(WsHttpRequest& request) {
  request.AddQueryParameter(kProtocolParameterName, kProtocolParameterValue);
}
