// The one set of seam implementations in force for the process. The Windows program installs the
// Win32 ones (or the simulated machine); tests install doubles.
#pragma once

#include <cstdint>

#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/machine.h"

namespace ql {

struct PlatformSeam {
  Desktop* desktop = nullptr;
  Machine* machine = nullptr;
  Files* files = nullptr;
  Allocator* allocator = nullptr;  // null: the standard library's heap
};

// Installs the implementations; answers the previous set so a test can put it back.
PlatformSeam InstallPlatform(const PlatformSeam& seam);

Desktop& TheDesktop();
Machine& TheMachine();
Files& TheFiles();
Allocator& TheAllocator();

// Zero-filled heap memory; null when the heap is exhausted.
void* HeapAllocZeroed(uint32_t size);
// Frees a block from HeapAllocZeroed; a null pointer is ignored.
void HeapFreeIfSet(void* block);

}  // namespace ql
