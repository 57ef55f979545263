// An allocator that fails on demand: the N-th call, or any request above a size. It counts what
// is still held so tests can see leaks and frees.
#pragma once

#include <cstdint>
#include <set>

#include "platform/allocator.h"

namespace ql::testing {

class FailingAllocator final : public Allocator {
 public:
  int failOnCall = 0;                // 1-based; 0 = never
  uint32_t failAbove = 0xFFFFFFFFu;  // requests larger than this fail
  int calls = 0;
  std::set<void*> live;

  void* AllocateZeroed(uint32_t size) override;
  void Free(void* block) override;
  ~FailingAllocator() override;
};

}  // namespace ql::testing
