// The plain libcurl transfer the library's exchanges are measured against.
#pragma once

#include <string>

// One transfer on a fresh easy handle: a GET, or a POST of `post` when it is
// not empty; with `gzip` the answer may come encoded and curl decodes it.
// Returns the body; throws std::runtime_error when the transfer fails.
std::string BareTransfer(const std::string& url, const std::string& post, bool gzip);
