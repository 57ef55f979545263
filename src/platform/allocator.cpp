#include "platform/allocator.h"

#include <cstdlib>

namespace ql {

void* StandardAllocator::AllocateZeroed(uint32_t size) {
  // calloc(0) may answer null; a zero-size table is still a valid, freeable block.
  return std::calloc(size == 0 ? 1 : size, 1);
}

void StandardAllocator::Free(void* block) {
  std::free(block);
}

}  // namespace ql
