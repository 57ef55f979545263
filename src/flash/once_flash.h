// At-once flashing: a whole block copied into kernel memory the driver allocates, described to the
// BIOS by page tables of physical addresses, so that the BIOS's OnceFlash function erases and
// programs it in one call. The memory exists only around one block.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "rom/bcp_layout.h"

namespace ql {

// All with caption "Error Message" and the stop icon.
inline constexpr const char* kOnceFlashCaption = "Error Message";
inline constexpr const char* kMsgOnceTooLarge = "Did not support ROM size greater than 16MB";
inline constexpr const char* kMsgOncePagePointer = "Failed to get page pointer";
inline constexpr const char* kMsgOnceKernelMemory = "Failed to allocate kernal memory";
inline constexpr const char* kMsgOnceCopy = "copy Rom file to once flash memory error";

// One page table maps 4 MiB; four bound an at-once block at 16 MiB.
inline constexpr uint32_t kBytesPerPageTable = kPageTableEntries * kPageSize;

struct OnceFlashMemoryState {
  uint32_t BlockSize = 0;  // recorded by the block passes before the preparation
  uint32_t PageTableCount = 0;
  uint32_t PageCount = 0;
  uint32_t DirectoryLinear = 0, DirectoryPhysical = 0;
  uint32_t PageTableLinear[kMaxPageTables] = {};
  uint32_t PageTablePhysical[kMaxPageTables] = {};
  uint32_t* PageArray = nullptr;  // heap: the linear address of every data page, 0 where none
  uint32_t Complete = 0;
};

extern OnceFlashMemoryState OnceFlashMemory;

// Page tables an at-once block of `blockSize` bytes needs: one per started 4 MiB.
uint32_t PageTablesFor(uint32_t blockSize);

// Builds the memory for the recorded block size from the source bytes at `fileOffset`: the
// directory, the page tables, and a kernel page for every 4096 bytes, each filled from the source.
// 0 when ready; -1 after a failure, whose message has been shown and whose memory has all been
// given back. A page is copied only when all of its 4096 bytes lie inside the `sourceSize` bytes
// of the source; otherwise the preparation fails rather than read past the source.
int PrepareOnceFlashMemory(WindowHandle owner, uint32_t fileOffset, const uint8_t* source,
                           uint32_t sourceSize);

// Frees everything a finished preparation holds; does nothing after none.
void ReleaseOnceFlashMemory(WindowHandle owner);

}  // namespace ql
