#include "api/result_code.h"

namespace {

bool HasBits(uint32_t value, uint32_t bits) {
  return (value & bits) == bits;
}

}  // namespace

int ToResultCode(WsStatus status) {
  const uint32_t s = status.code;
  if (s == kWsOk) return kResultOk;
  if (s == kWsStillRunning) return kResultPending;
  if (s == kWsNoTransfer) return kResultFailed;
  // The refusals are tested first: 0x80002007 (not found) and 0x8000200A
  // (redirect) carry the transport bit but count as refused.
  if (HasBits(s, 0x80008000u) || HasBits(s, 0x80004000u) || s == kWsHttpSendFailed ||
      s == kWsHttpNotFound || s == kWsHttpRedirect) {
    return kResultRefused;
  }
  if (HasBits(s, 0x80002000u) || s == kWsGeneral3) return kResultTransportFailed;
  return kResultFailed;
}
