#include "platform/platform.h"

#include <cstdlib>

namespace ql {
namespace {

class StandardAllocator final : public Allocator {
 public:
  void* AllocateZeroed(uint32_t size) override {
    // calloc(0) may answer null; a zero-size table is still a valid, freeable block.
    return std::calloc(size == 0 ? 1 : size, 1);
  }
  void Free(void* block) override { std::free(block); }
};

StandardAllocator gStandardAllocator;
PlatformSeam gSeam;

template <typename T>
T& Required(T* p) {
  if (p == nullptr) std::abort();  // a seam used before start-up installed it: a program error
  return *p;
}

}  // namespace

PlatformSeam InstallPlatform(const PlatformSeam& seam) {
  PlatformSeam previous = gSeam;
  gSeam = seam;
  return previous;
}

Desktop& TheDesktop() {
  return Required(gSeam.desktop);
}
Machine& TheMachine() {
  return Required(gSeam.machine);
}
Files& TheFiles() {
  return Required(gSeam.files);
}
Allocator& TheAllocator() {
  return gSeam.allocator != nullptr ? *gSeam.allocator : gStandardAllocator;
}

void* HeapAllocZeroed(uint32_t size) {
  return TheAllocator().AllocateZeroed(size);
}

void HeapFreeIfSet(void* block) {
  if (block != nullptr) TheAllocator().Free(block);
}

}  // namespace ql
