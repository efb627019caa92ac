// The one place where a WsStatus becomes the result code of an export.
#pragma once

#include "foundation/ws_status.h"

// Result codes an export returns; 2 is never used.
inline constexpr int kResultOk = 0;
inline constexpr int kResultPending = 1;
inline constexpr int kResultTransportFailed = 3;
inline constexpr int kResultRefused = 4;
inline constexpr int kResultFailed = 5;

// 0 -> 0; still running -> 1; no transfer -> 5; service, content, not-found
// and redirect statuses -> 4; other transport and query statuses -> 3;
// anything else -> 5.
int ToResultCode(WsStatus status);
