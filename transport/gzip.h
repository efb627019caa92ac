// Decoding of gzip-encoded answers, entirely in memory.
#pragma once

#include <cstddef>
#include <string>

// The largest decoded size accepted. An answer is a notification catalog of a
// few megabytes at most; a body that inflates beyond this is treated as
// corrupt (a decompression bomb) instead of being allowed to exhaust memory.
inline constexpr size_t kGunzipMaxDecodedSize = size_t{256} * 1024 * 1024;

// Decodes gzip data into output (replacing its contents). Members that follow
// one another are decoded one after the other. Returns false for data that is
// not gzip, corrupt or truncated, or whose decoding would exceed limit; output
// then holds what was decoded before the failure (at most limit bytes).
// Never throws.
bool GunzipInMemory(const std::string& input, std::string& output,
                    size_t limit = kGunzipMaxDecodedSize);

// Replaces a gzip-encoded response body by its decoding, cut before the first
// zero byte (answers are XML text and hold none). A body that does not decode
// keeps only what was decoded before the failure, often nothing; the parser of
// the answer then decides. Never throws.
void GunzipResponse(std::string& response, size_t limit = kGunzipMaxDecodedSize);
