#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "rules/condition_arena.h"

namespace {

// Counts the live objects, so that a test can see which destructors ran.
struct Counted {
  explicit Counted(int& live) : live_(live) { ++live_; }
  ~Counted() { --live_; }
  int& live_;
};

template <size_t Size, size_t Align>
struct alignas(Align) Blob {
  unsigned char bytes[Size];
};

struct Span {
  uintptr_t begin;
  uintptr_t end;
};

// Objects of mixed sizes and alignments, some larger than a block: each is
// aligned, none overlaps another, and each keeps what was written into it.
TEST(ConditionArenaTest, ObjectsAreAlignedAndApart) {
  ConditionArena arena;
  std::vector<Span> spans;
  std::vector<unsigned char*> objects;
  const auto add = [&](void* object, size_t size, size_t align) {
    const auto at = reinterpret_cast<uintptr_t>(object);
    EXPECT_EQ(at % align, 0u) << "size " << size;
    for (const Span& other : spans) EXPECT_TRUE(at + size <= other.begin || at >= other.end);
    spans.push_back({at, at + size});
    objects.push_back(static_cast<unsigned char*>(object));
    std::memset(object, static_cast<int>(objects.size()), size);
  };
  for (int round = 0; round < 20; ++round) {
    add(arena.Make<Blob<1, 1>>(), 1, 1);
    add(arena.Make<Blob<24, 8>>(), 24, 8);
    add(arena.Make<Blob<256, 16>>(), 256, 16);
    add(arena.Make<Blob<992, 8>>(), 992, 8);
    if (round % 5 == 0) add(arena.Make<Blob<4096, 16>>(), 4096, 16);
  }
  for (size_t i = 0; i < objects.size(); ++i) {
    const size_t size = spans[i].end - spans[i].begin;
    for (size_t b = 0; b < size; ++b) {
      ASSERT_EQ(objects[i][b], static_cast<unsigned char>(i + 1)) << "object " << i;
    }
  }
}

// Arrays start out value-initialised; destroying what was made is the
// owner's business, and freeing the arena runs no destructor.
TEST(ConditionArenaTest, ArraysAndOwnership) {
  int live = 0;
  {
    ConditionArena arena;
    EXPECT_EQ(arena.MakeArray<int>(0), nullptr);
    int* numbers = arena.MakeArray<int>(300);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(numbers[i], 0);
    Counted* first = arena.Make<Counted>(live);
    arena.Make<Counted>(live);
    EXPECT_EQ(live, 2);
    first->~Counted();
    EXPECT_EQ(live, 1);
  }
  EXPECT_EQ(live, 1);
}

}  // namespace
