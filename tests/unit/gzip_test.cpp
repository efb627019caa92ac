#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "transport/gzip.h"

namespace {

// A gzip member of data, compressed at the given zlib level (0 = stored blocks).
std::string Gzip(const std::string& data, int level = Z_DEFAULT_COMPRESSION) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Flip(std::string bytes, size_t index) {
  bytes[index] = static_cast<char>(bytes[index] ^ 0x55);
  return bytes;
}

const std::string kXml = "<?xml version=\"1.0\"?><packet><body>caf\xC3\xA9</body></packet>";

// Text of the given size that does not repeat within a decoding block, so a
// block written twice, skipped or shifted shows.
std::string Text(size_t size) {
  std::string out(size, '\0');
  uint32_t state = 7;
  for (char& c : out) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('a' + (state >> 16) % 26);
  }
  return out;
}

TEST(GzipTest, DecodesOrRejects) {
  const std::string member = Gzip(kXml);
  struct Case {
    const char* label;
    std::string input;
    bool ok;
    std::string output;  // checked when the decoding succeeds or must give nothing
  };
  const Case cases[] = {
      {"default level", member, true, kXml},
      {"stored blocks", Gzip(kXml, 0), true, kXml},
      {"best compression", Gzip(kXml, 9), true, kXml},
      {"empty member", Gzip(""), true, ""},
      {"two members", member + Gzip("<more/>"), true, kXml + "<more/>"},
      {"zero byte kept", Gzip(std::string("ab\0cd", 5)), true, std::string("ab\0cd", 5)},
      // Sizes around the decoder's 64 KiB output steps: the output ends
      // exactly at, just past and well past a step.
      {"one step", Gzip(Text(65536)), true, Text(65536)},
      {"one step and a byte", Gzip(Text(65537)), true, Text(65537)},
      {"many steps", Gzip(Text(300000)), true, Text(300000)},
      // The trailer of the last member gives only that member's size.
      {"large member, then a small one", Gzip(Text(200000)) + Gzip("<b/>"), true,
       Text(200000) + "<b/>"},
      {"small member, then a large one", Gzip("<a/>") + Gzip(Text(200000)), true,
       "<a/>" + Text(200000)},
      {"empty input", "", false, ""},
      {"plain text", kXml, false, ""},
      {"magic only", "\x1F\x8B", false, ""},
  };
  for (const Case& c : cases) {
    std::string output = "stale";
    EXPECT_EQ(GunzipInMemory(c.input, output), c.ok) << c.label;
    EXPECT_EQ(output, c.output) << c.label;
  }
}

TEST(GzipTest, DamagedInputFailsWithoutThrowing) {
  const std::string member = Gzip(kXml);
  const size_t size = member.size();
  const std::string longText = Text(300000);
  const std::string longMember = Gzip(longText);
  struct Case {
    const char* label;
    std::string input;
    const std::string& text = kXml;  // what the input decodes to when whole
  };
  const Case cases[] = {
      {"truncated trailer", member.substr(0, size - 3)},
      {"truncated data", member.substr(0, size / 2)},
      {"header only", member.substr(0, 10)},
      {"wrong method", Flip(member, 2)},
      {"corrupt data", Flip(member, 12)},
      {"crc mismatch", Flip(member, size - 6)},
      {"length mismatch", Flip(member, size - 2)},
      {"length claims gigabytes", member.substr(0, size - 1) + "\xFF"},
      // Cut inside the compressed data: its last bytes are no trailer.
      {"long member truncated", longMember.substr(0, longMember.size() / 2), longText},
      {"trailing garbage", member + "garbage"},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_FALSE(GunzipInMemory(c.input, output)) << c.label;
    // Whatever was decoded before the failure is a prefix of the real text.
    EXPECT_TRUE(output == c.text.substr(0, output.size())) << c.label;
  }
}

TEST(GzipTest, StopsAtTheSizeCeiling) {
  // A small bomb: 1 MiB of zeros compresses to about a kilobyte.
  const std::string bomb = Gzip(std::string(1 << 20, '\0'), 9);
  ASSERT_LT(bomb.size(), 4096u);
  const size_t limit = 100000;
  std::string output;
  EXPECT_FALSE(GunzipInMemory(bomb, output, limit));
  EXPECT_LE(output.size(), limit);

  // Exactly at the ceiling is still accepted.
  const std::string full(limit, 'x');
  EXPECT_TRUE(GunzipInMemory(Gzip(full), output, limit));
  EXPECT_EQ(output, full);
  EXPECT_FALSE(GunzipInMemory(Gzip(full + "y"), output, limit));
}

TEST(GzipTest, ResponseIsCutAtTheFirstZeroByte) {
  struct Case {
    const char* label;
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {"xml", Gzip(kXml), kXml},
      {"zero byte", Gzip(std::string("<a/>\0<b/>", 9)), "<a/>"},
      {"leading zero byte", Gzip(std::string("\0<a/>", 5)), ""},
      {"not gzip", "<packet/>", ""},
  };
  for (const Case& c : cases) {
    std::string response = c.body;
    GunzipResponse(response);
    EXPECT_EQ(response, c.expected) << c.label;
  }
}

}  // namespace
