#include "rules/condition_arena.h"

#include <algorithm>
#include <cstdint>

namespace {

// A block, header included, stays below the sizes the C library's allocator
// treats as large (whose requests make it tidy up all its small free blocks
// first); most trees fit in one.
constexpr size_t kBlockBytes = 1000;
constexpr size_t kHeaderBytes = alignof(std::max_align_t);

size_t Padding(const char* at, size_t align) {
  return (align - reinterpret_cast<uintptr_t>(at) % align) % align;
}

}  // namespace

ConditionArena::~ConditionArena() {
  while (blocks_ != nullptr) {
    Block* next = blocks_->next;
    ::operator delete(blocks_);
    blocks_ = next;
  }
}

void* ConditionArena::Allocate(size_t size, size_t align) {
  size_t padding = free_ == nullptr ? 0 : Padding(free_, align);
  if (free_ == nullptr || padding + size > left_) {
    // A new block; an object too large for one gets a block of its own size.
    const size_t bytes = std::max(kBlockBytes, kHeaderBytes + size + align);
    char* raw = static_cast<char*>(::operator new(bytes));
    Block* block = new (raw) Block{blocks_};
    blocks_ = block;
    free_ = raw + kHeaderBytes;
    left_ = bytes - kHeaderBytes;
    padding = Padding(free_, align);
  }
  char* object = free_ + padding;
  free_ = object + size;
  left_ -= padding + size;
  return object;
}
