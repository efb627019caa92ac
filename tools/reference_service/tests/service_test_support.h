// Helpers shared by the service's tests.
#pragma once

#include <string>

namespace ravenlink_service {

// The text as the client posts it: UTF-16LE with a byte-order mark.
std::string Utf16LeWithBom(const std::string& utf8);

// Inflates one gzip member; empty when the bytes are not gzip.
std::string Gunzip(const std::string& bytes);

// The content query the client sends for an application, in its packet.
std::string ClientQueryPacket(const std::string& targetApplication, const std::string& upcs);

}  // namespace ravenlink_service
