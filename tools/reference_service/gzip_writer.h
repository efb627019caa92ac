// gzip encoding of answers.
#pragma once

#include <string>

namespace ravenlink_service {

// The bytes as one gzip member (RFC 1952), compressed with zlib.
std::string GzipCompress(const std::string& bytes);

}  // namespace ravenlink_service
