#include "api/result_code.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  uint32_t status;
  int expected;
};

TEST(ToResultCode, ConvertsEveryGroupOfStatus) {
  const Case cases[] = {
      {0x00000000, 0},
      {0x40001002, 1},  // still running
      {0x40001001, 5},  // no transfer
      // Refusals: service codes, document content, and the transport
      // statuses that are tested before the transport bit.
      {0x80008001, 4},
      {0x80008007, 4},
      {0x80004002, 4},
      {0x8000400A, 4},
      {0x8000400B, 4},
      {0x80002004, 4},
      {0x80002007, 4},
      {0x8000200A, 4},
      {0x8000C000, 4},  // bit 0x4000 wins over bit 0x2000
      {0x8000E123, 4},
      // Transport and query failures.
      {0x80002001, 3},
      {0x80002008, 3},
      {0x80002011, 3},
      {0x80003002, 3},
      {0x80003005, 3},
      {0x80001003, 3},
      // Everything else.
      {0x80001001, 5},
      {0x80001002, 5},
      {0x80001008, 5},
      {0x8000B001, 4},  // MSI batch failures carry bit 0x8000
      {0x80000000, 5},
      {0x40002005, 5},
      {0x00002000, 5},  // transport bit without the top bit
      {0x00004000, 5},
      {0x00000001, 5},
      {0xFFFFFFFF, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToResultCode(WsStatus(c.status)), c.expected) << std::hex << c.status;
  }
}

}  // namespace
