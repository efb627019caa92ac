// Reading the client's Accept-Encoding header.
#pragma once

#include <string>

namespace ravenlink_service {

// True when the header lists "gzip" (or "x-gzip", or "*") with a quality above
// zero: "gzip", "deflate, gzip;q=0.5"; not "gzip;q=0", "identity" or "".
bool AcceptsGzip(const std::string& header);

}  // namespace ravenlink_service
