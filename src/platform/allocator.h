// The heap that every buffer the program reports on failure comes from.
#pragma once

#include <cstdint>

namespace ql {

class Allocator {
 public:
  virtual ~Allocator() = default;
  // Zero-filled memory, or null when the heap is exhausted.
  virtual void* AllocateZeroed(uint32_t size) = 0;
  virtual void Free(void* block) = 0;
};

}  // namespace ql
