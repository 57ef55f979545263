// At-once flashing: a whole block copied into kernel memory the driver allocates, described to the
// BIOS by page tables of physical addresses, so that the BIOS's OnceFlash function erases and
// programs it in one call. The memory exists only around one block.
#pragma once

#include <cstdint>

#include "driver/driver_link.h"
#include "driver/wire.h"
#include "flash/progress.h"
#include "platform/allocator.h"
#include "platform/desktop.h"

namespace ql {

// All with caption "Error Message" and the stop icon.
inline constexpr const char* kOnceFlashCaption = "Error Message";
inline constexpr const char* kMsgOnceTooLarge = "Did not support ROM size greater than 16MB";
inline constexpr const char* kMsgOncePagePointer = "Failed to get page pointer";
inline constexpr const char* kMsgOnceKernelMemory = "Failed to allocate kernal memory";
inline constexpr const char* kMsgOnceCopy = "copy Rom file to once flash memory error";
// A directory or page-table entry the driver refused to write: the BIOS would follow whatever the
// entry held before.
inline constexpr const char* kMsgOnceTableEntry = "Failed to write page table of once flash memory";

// One page table maps 4 MiB; four bound an at-once block at 16 MiB.
inline constexpr uint32_t kBytesPerPageTable = kPageTableEntries * kPageSize;

// Page tables an at-once block of `blockSize` bytes needs: one per started 4 MiB.
uint32_t PageTablesFor(uint32_t blockSize);

class OnceFlashMemory {
 public:
  OnceFlashMemory(DriverLink& link, Allocator& allocator);
  ~OnceFlashMemory();  // Release
  OnceFlashMemory(const OnceFlashMemory&) = delete;
  OnceFlashMemory& operator=(const OnceFlashMemory&) = delete;

  // Builds the memory for a block of `blockSize` bytes from the source bytes at `fileOffset`: the
  // directory, the page tables, and a kernel page for every 4096 bytes, each filled from the
  // source. True when ready; false after a failure, whose message has been shown and whose memory
  // has all been given back. A page is copied only when all of its 4096 bytes lie inside the
  // `sourceSize` bytes of the source; otherwise the preparation fails rather than read past the
  // source. Every allocation, entry and page the driver refuses fails it too: a refused
  // allocation would otherwise alias pages, and a refused write would leave the BIOS a page that
  // does not hold the source, with nothing to tell when the verify is off.
  [[nodiscard]] bool Prepare(Desktop& desktop, Progress& progress, WindowHandle owner,
                             uint32_t blockSize, uint32_t fileOffset, const uint8_t* source,
                             uint32_t sourceSize);

  uint32_t PageTableCount() const { return pageTableCount_; }
  uint32_t FirstPageTablePhysical() const { return pageTablePhysical_[0]; }
  // Where the directory of the page tables lies in physical memory; 0 when none is held.
  uint32_t DirectoryPhysical() const { return directoryPhysical_; }

  // Frees every kernel page, table and the directory it holds; safe to call twice.
  void Release();

 private:
  // Writes one 4-byte entry of the directory or a page table; false when the driver refused.
  bool WriteEntry(uint32_t linear, uint32_t physical);
  // Gives back whatever exists, finished or not, shows `text` and answers false.
  bool Fail(Desktop& desktop, WindowHandle owner, const char* text);

  DriverLink& link_;
  Allocator& allocator_;
  uint32_t pageTableCount_ = 0;
  uint32_t directoryLinear_ = 0, directoryPhysical_ = 0;
  uint32_t pageTableLinear_[kMaxPageTables] = {};
  uint32_t pageTablePhysical_[kMaxPageTables] = {};
  HeapArray<uint32_t> pages_;  // the linear address of every data page, 0 where none
};

}  // namespace ql
