// Where requests to the service go and how they are dressed: the service URL
// (a default that machine-wide registry values replace, per calling product
// or for all), whether answers may come gzip-encoded, the identity tokens of
// the user agent and the protocol parameter every command carries.
#pragma once

#include "foundation/ws_string.h"
#include "transport/http_request.h"

// Settings key under HKEY_LOCAL_MACHINE, and the values read below it.
extern const WsString kServiceSettingsKey;    // "SOFTWARE\\Quorvane\\Flumeway"
extern const WsString kSecureUrlValue;        // "S_URL"
extern const WsString kPlainUrlValue;         // "URL"
extern const WsString kDisableEncodingValue;  // "DisableEncoding"
// The service's own host and path, used when the registry names no URL.
extern const WsString kDefaultServiceHost;
extern const WsString kDefaultServicePath;  // "/qvwp/flumeway"
// The protocol parameter added to the URL of every command.
extern const WsString kProtocolParameterName;   // "flumeway_version"
extern const WsString kProtocolParameterValue;  // "2.0"

// The default URL for the scheme: "https://" or "http://" + host + path.
WsString DefaultServiceUrl(bool https);

// The service URL: "S_URL" (https) or "URL" under the product's own subkey
// when product is not empty and the value exists there, else the value under
// the settings key, else the default. Stored texts are used as they are.
WsString ServiceUrl(bool https, const WsString& product);

// False when "DisableEncoding" holds "true" or "1" in any letter case.
bool IsEncodingEnabled();

// Points the request at the service for the calling product, asks for gzip
// answers unless switched off, and adds the identity tokens corelib and
// wrapperlib (each name + " " + version) to the user agent.
void SetupEndpoint(WsHttpRequest& request, bool https, const WsString& wrapperlib,
                   const WsString& wrapperlibVersion, const WsString& corelib,
                   const WsString& corelibVersion);

// The same for any client record with the fields wrapperlib,
// wrapperlibVersion, corelib and corelibVersion.
template <class Client>
void SetupEndpoint(WsHttpRequest& request, const Client& client, bool https) {
  SetupEndpoint(request, https, client.wrapperlib, client.wrapperlibVersion, client.corelib,
                client.corelibVersion);
}

// Appends the protocol parameter; called before each command is executed.
void AddProtocolParameter(WsHttpRequest& request);
