#include "platform/testing/failing_allocator.h"

#include <cstdlib>

namespace ql::testing {

void* FailingAllocator::AllocateZeroed(uint32_t size) {
  ++calls;
  if (calls == failOnCall || size > failAbove) return nullptr;
  void* p = std::calloc(size == 0 ? 1 : size, 1);
  if (p != nullptr) live.insert(p);
  return p;
}

void FailingAllocator::Free(void* block) {
  if (live.erase(block) != 0) std::free(block);
}

FailingAllocator::~FailingAllocator() {
  for (void* p : live) std::free(p);
}

}  // namespace ql::testing
