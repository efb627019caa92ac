// The guard every export runs behind: it turns the outcome of an operation
// into a result code, so that nothing but a result code ever leaves the
// library. Also the conversion of the exports' raw arguments.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "api/result_code.h"
#include "foundation/ws_status.h"
#include "foundation/ws_string.h"

enum class Outcome {
  kConverted,      // a returned or raised WsStatus goes through ToResultCode
  kPingVerdict,    // returned: 0 stays 0, anything else is a refusal (4); raised: converted
  kAnyFailureIs5,  // any exception, a WsStatus included, gives 5
};

// Runs body (which returns WsStatus or nothing) and converts its outcome.
template <Outcome kind = Outcome::kConverted, class Body>
int Guard(Body&& body) noexcept {
  try {
    if constexpr (std::is_same_v<std::invoke_result_t<Body&>, WsStatus>) {
      const WsStatus status = body();
      if constexpr (kind == Outcome::kPingVerdict) {
        return status == kWsOk ? kResultOk : kResultRefused;
      } else {
        return ToResultCode(status);
      }
    } else {
      body();
      return kResultOk;
    }
  } catch (const WsStatus& status) {
    return kind == Outcome::kAnyFailureIs5 ? kResultFailed : ToResultCode(status);
  } catch (...) {
    return kResultFailed;
  }
}

// Raw export arguments as the sessions take them: texts become WsString and
// integer outputs must be present. A null text or integer output is refused
// (result 5). Everything else, VARIANT outputs included, passes unchanged:
// the operation decides which of those may be null.
inline WsString BoundaryArgument(const wchar_t* text) {
  if (text == nullptr) throw WsStatus(kWsInternal);
  return WsString(text);
}
inline int32_t* BoundaryArgument(int32_t* out) {
  if (out == nullptr) throw WsStatus(kWsInternal);
  return out;
}
template <class T>
T BoundaryArgument(T value) {
  return value;
}
