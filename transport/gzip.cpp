#include "transport/gzip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// 15 bits of window, +16: expect the gzip wrapper (header and trailer) only.
constexpr int kGzipWindowBits = 15 + 16;
constexpr size_t kChunkSize = 64 * 1024;
// A gzip member is at least a 10-byte header, an empty deflate block and an
// 8-byte trailer.
constexpr size_t kMinMemberSize = 20;
// deflate cannot expand data by more than this factor (258 bytes per 2 bits of
// a repeated match, plus slack).
constexpr size_t kMaxExpansion = 1032;
// The most room reserved on the word of a trailer; larger outputs grow.
constexpr size_t kMaxReservation = size_t{64} * 1024 * 1024;

class InflateStream {
 public:
  InflateStream() { std::memset(&stream_, 0, sizeof(stream_)); }
  ~InflateStream() {
    if (initialised_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  bool Init() {
    initialised_ = inflateInit2(&stream_, kGzipWindowBits) == Z_OK;
    return initialised_;
  }
  z_stream& get() { return stream_; }

 private:
  z_stream stream_;
  bool initialised_ = false;
};

bool IsGzipMagic(const unsigned char* data, size_t size) {
  return size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}

// How many bytes the input probably decodes to: the size its last member's
// trailer gives (modulo 2^32), kept below what that much input can expand to,
// below limit and below kMaxReservation. Only a hint for reserving room: the
// trailer is not checked until the end, a truncated input has none, and
// earlier members add to it.
size_t DecodedSizeHint(const std::string& input, size_t limit) {
  if (input.size() < kMinMemberSize) return 0;
  const auto* end = reinterpret_cast<const unsigned char*>(input.data()) + input.size();
  const size_t stated = static_cast<size_t>(end[-4]) | static_cast<size_t>(end[-3]) << 8 |
                        static_cast<size_t>(end[-2]) << 16 | static_cast<size_t>(end[-1]) << 24;
  const size_t reach = input.size() > limit / kMaxExpansion ? limit : input.size() * kMaxExpansion;
  return std::min({stated, reach, limit, kMaxReservation});
}

bool Inflate(const std::string& input, std::string& output, size_t limit) {
  if (input.empty()) return false;
  InflateStream inflater;
  if (!inflater.Init()) return false;
  z_stream& stream = inflater.get();

  // One allocation of the expected size instead of repeated growth, each of
  // which would copy what was decoded so far. One step more, because each
  // call of inflate is given a whole step of room. Failing to reserve is not
  // an error: the output then grows.
  try {
    output.reserve(DecodedSizeHint(input, limit) + kChunkSize);
  } catch (const std::bad_alloc&) {
  }

  const auto* next = reinterpret_cast<const unsigned char*>(input.data());
  size_t remaining = input.size();
  for (;;) {
    // zlib counts input in 32-bit units; feed very large bodies in slices.
    const uInt slice = static_cast<uInt>(std::min<size_t>(remaining, 0x40000000u));
    stream.next_in = const_cast<unsigned char*>(next);
    stream.avail_in = slice;
    int result = Z_OK;
    do {
      // Inflate straight into the output's new tail, then trim it to what
      // was produced.
      const size_t used = output.size();
      output.resize(used + kChunkSize);
      stream.next_out = reinterpret_cast<unsigned char*>(output.data() + used);
      stream.avail_out = static_cast<uInt>(kChunkSize);
      result = inflate(&stream, Z_NO_FLUSH);
      const size_t produced = kChunkSize - stream.avail_out;
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
        output.resize(used);
        return false;
      }
      if (produced > limit - used) {
        output.resize(limit);
        return false;
      }
      output.resize(used + produced);
      if (result == Z_BUF_ERROR && produced == 0) break;  // needs more input
    } while (result != Z_STREAM_END && (stream.avail_in > 0 || stream.avail_out == 0));

    const size_t consumed = slice - stream.avail_in;
    next += consumed;
    remaining -= consumed;
    if (result == Z_STREAM_END) {
      if (remaining == 0) return true;
      // Another member follows: decode it too. Anything else after a
      // complete member is trailing garbage.
      if (!IsGzipMagic(next, remaining)) return false;
      if (inflateReset(&stream) != Z_OK) return false;
      continue;
    }
    if (remaining == 0) return false;                          // truncated
    if (consumed == 0 && result == Z_BUF_ERROR) return false;  // no progress possible
  }
}

}  // namespace

bool GunzipInMemory(const std::string& input, std::string& output, size_t limit) {
  try {
    output.clear();
    return Inflate(input, output, limit);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void GunzipResponse(std::string& response, size_t limit) {
  std::string decoded;
  GunzipInMemory(response, decoded, limit);  // a failed decoding keeps its partial output
  const size_t zero = decoded.find('\0');
  if (zero != std::string::npos) decoded.resize(zero);
  response.swap(decoded);
}
