// ConditionArena: the memory of one condition tree's nodes. A tree is built
// once, kept or dropped whole, and most trees are dropped as soon as they are
// evaluated, so its nodes are carved out of a few blocks that go with the
// tree instead of being allocated one by one. Objects made here are destroyed
// by their owners (see ConditionPtr); their memory is freed with the arena.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

class ConditionArena {
 public:
  ConditionArena() = default;
  ~ConditionArena();
  ConditionArena(const ConditionArena&) = delete;
  ConditionArena& operator=(const ConditionArena&) = delete;

  template <class T, class... Args>
  T* Make(Args&&... args) {
    return new (Allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // `count` value-initialised objects in a row; null for none.
  template <class T>
  T* MakeArray(size_t count) {
    if (count == 0) return nullptr;
    T* items = static_cast<T*>(Allocate(sizeof(T) * count, alignof(T)));
    for (size_t i = 0; i < count; ++i) new (items + i) T();
    return items;
  }

 private:
  struct Block {
    Block* next;
  };

  void* Allocate(size_t size, size_t align);

  Block* blocks_ = nullptr;  // the newest first
  char* free_ = nullptr;     // the unused rest of the newest block
  size_t left_ = 0;
};
