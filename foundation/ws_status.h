// WsStatus: the 32-bit status that travels inside the library, thrown by value
// as the exception object and returned by operations. It becomes a result code
// in exactly one place, at the exported boundary (api/result_code.h).
#pragma once

#include <cstdint>

struct WsStatus {
  uint32_t code = 0;

  constexpr WsStatus() = default;
  constexpr WsStatus(uint32_t value) : code(value) {}  // NOLINT: statuses are plain values
  constexpr operator uint32_t() const { return code; }
  constexpr bool Failed() const { return (code & 0x80000000u) != 0; }
};

// Success and transfer states.
inline constexpr uint32_t kWsOk = 0x00000000;
inline constexpr uint32_t kWsNoTransfer = 0x40001001;       // nothing sent, or already collected
inline constexpr uint32_t kWsStillRunning = 0x40001002;     // the worker has not finished
inline constexpr uint32_t kWsClosedAborted = 0x40002001;    // exchange closed after an abort
inline constexpr uint32_t kWsClosedReset = 0x40002002;      // handles of an earlier exchange released
inline constexpr uint32_t kWsClosedCompleted = 0x40002005;  // exchange closed normally

// General failures.
inline constexpr uint32_t kWsBadHandle = 0x80001001;  // bad handle or index
inline constexpr uint32_t kWsInternal = 0x80001002;   // internal failure / not implemented
inline constexpr uint32_t kWsGeneral3 = 0x80001003;   // converts to result 3
inline constexpr uint32_t kWsAlreadyRunning = 0x80001004;
inline constexpr uint32_t kWsBadUrl = 0x80001006;
inline constexpr uint32_t kWsNoInternet = 0x80001007;
inline constexpr uint32_t kWsMissingData = 0x80001008;  // OS data or condition tree missing

// Transport failures.
inline constexpr uint32_t kWsHttpIncomplete = 0x80002001;
inline constexpr uint32_t kWsHttpOpenRequest = 0x80002002;
inline constexpr uint32_t kWsHttpInvalidHeader = 0x80002003;
inline constexpr uint32_t kWsHttpSendFailed = 0x80002004;
inline constexpr uint32_t kWsHttpTimeout408 = 0x80002005;
inline constexpr uint32_t kWsHttpNotFound = 0x80002007;
inline constexpr uint32_t kWsHttp8 = 0x80002008;
inline constexpr uint32_t kWsHttpBadRequest = 0x80002009;
inline constexpr uint32_t kWsHttpRedirect = 0x8000200A;
inline constexpr uint32_t kWsHttpStatusCheck = 0x8000200B;
inline constexpr uint32_t kWsHttpRetry = 0x8000200C;  // CheckStatusCode: send again
inline constexpr uint32_t kWsHttpTooLargeOld = 0x8000200D;
inline constexpr uint32_t kWsHttpTooLarge = 0x8000200E;
inline constexpr uint32_t kWsHttpSecure = 0x8000200F;
inline constexpr uint32_t kWsHttpTimeLimit = 0x80002011;
inline constexpr uint32_t kWsHttpConnectTimeout = 0x80002012;
inline constexpr uint32_t kWsHttpCertDate = 0x80002014;
inline constexpr uint32_t kWsHttpCertName = 0x80002015;

// Malformed content query and lookups.
inline constexpr uint32_t kWsQueryGroupType = 0x80003001;
inline constexpr uint32_t kWsNotFound = 0x80003002;  // message id or index does not exist
inline constexpr uint32_t kWsQueryNoGroup = 0x80003003;
inline constexpr uint32_t kWsQueryOpen = 0x80003004;
inline constexpr uint32_t kWsQueryEmpty = 0x80003005;

// Document and condition content.
inline constexpr uint32_t kWsXmlUnreadable = 0x80004002;  // unreadable XML or missing attribute
inline constexpr uint32_t kWsXmlNoRoot = 0x80004003;
inline constexpr uint32_t kWsXmlUnknown = 0x8000400A;     // unknown element or missing "status"
inline constexpr uint32_t kWsXmlBadValue = 0x8000400B;    // bad version, number or severity

// Statuses reported by the service (0x80008001 to 0x80008007).
inline constexpr uint32_t kWsServer1 = 0x80008001;

// MSI condition batch.
inline constexpr uint32_t kWsMsiOpen = 0x8000B001;
inline constexpr uint32_t kWsMsiRun = 0x8000B004;
