// Helpers shared by the service's tests.
#pragma once

#include <string>
#include <vector>

namespace ravenlink_service {

// The text as the client posts it: UTF-16LE with a byte-order mark.
std::string Utf16LeWithBom(const std::string& utf8);

// Inflates one gzip member; empty when the bytes are not gzip.
std::string Gunzip(const std::string& bytes);

// The content query packet the client sends: "contentType", "status" = "live",
// an "Or" group of the target applications (the first is the caller's own) and
// an "Or" group holding the given criteria of installing items.
std::string ClientQueryPacket(const std::vector<std::string>& targetApplications,
                              const std::string& upcs);

}  // namespace ravenlink_service
