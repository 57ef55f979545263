#include "flash/once_flash.h"

#include "platform/bytes.h"

namespace ql {

namespace {

constexpr uint32_t kEntrySize = 4;

bool Refuse(Desktop& desktop, WindowHandle owner, const char* text) {
  desktop.ShowMessageBox(owner, text, kOnceFlashCaption, kMbIconHand);
  return false;
}

}  // namespace

uint32_t PageTablesFor(uint32_t blockSize) {
  return blockSize / kBytesPerPageTable + (blockSize % kBytesPerPageTable != 0 ? 1 : 0);
}

OnceFlashMemory::OnceFlashMemory(DriverLink& link, Allocator& allocator)
    : link_(link), allocator_(allocator) {}

OnceFlashMemory::~OnceFlashMemory() {
  Release();
}

void OnceFlashMemory::WriteEntry(uint32_t linear, uint32_t physical) {
  uint8_t entry[kEntrySize];
  PutLe32(entry, physical);
  // A write the driver refused is not seen here: with the verify on, the block then fails it.
  (void)link_.WriteMemory(linear, entry, kEntrySize);
}

bool OnceFlashMemory::Fail(Desktop& desktop, WindowHandle owner, const char* text) {
  Release();
  return Refuse(desktop, owner, text);
}

bool OnceFlashMemory::Prepare(Desktop& desktop, Progress& progress, WindowHandle owner,
                              uint32_t blockSize, uint32_t fileOffset, const uint8_t* source,
                              uint32_t sourceSize) {
  Release();
  pageTableCount_ = PageTablesFor(blockSize);
  if (pageTableCount_ > kMaxPageTables) return Refuse(desktop, owner, kMsgOnceTooLarge);

  const uint32_t pageCount = blockSize / kPageSize;
  pages_ = HeapArray<uint32_t>::Allocate(allocator_, pageCount);
  if (pages_.empty()) return Refuse(desktop, owner, kMsgOncePagePointer);

  KernelBuffer directory = link_.AllocateKernelMemory(pageTableCount_ * kPageSize);
  if (directory.linear == 0) return Fail(desktop, owner, kMsgOnceKernelMemory);
  directoryLinear_ = directory.linear;
  directoryPhysical_ = directory.physical;
  for (uint32_t t = 0; t < pageTableCount_; ++t) {
    KernelBuffer table = link_.AllocateKernelMemory(kPageSize);
    if (table.linear == 0) return Fail(desktop, owner, kMsgOnceKernelMemory);
    pageTableLinear_[t] = table.linear;
    pageTablePhysical_[t] = table.physical;
  }
  for (uint32_t t = 0; t < pageTableCount_; ++t) {
    WriteEntry(directoryLinear_ + kEntrySize * t, pageTablePhysical_[t]);
  }

  progress.SetPhase(ProgressPhase::kPreparing);
  for (uint32_t p = 0; p < pageCount; ++p) {
    KernelBuffer page = link_.AllocateKernelMemory(kPageSize);
    if (page.linear == 0) {
      progress.Rest();
      return Fail(desktop, owner, kMsgOnceKernelMemory);
    }
    pages_[p] = page.linear;
    WriteEntry(pageTableLinear_[p / kPageTableEntries] + kEntrySize * (p % kPageTableEntries),
               page.physical);
    // Wide: an offset near the top of 32 bits must not wrap back inside the source.
    uint64_t from = static_cast<uint64_t>(fileOffset) + static_cast<uint64_t>(p) * kPageSize;
    if (from + kPageSize > sourceSize) return Fail(desktop, owner, kMsgOnceCopy);
    (void)link_.WriteMemoryBulk(page.linear, source + from, kPageSize);
    progress.SetPercent(p, pageCount);
  }
  progress.Rest();
  return true;
}

void OnceFlashMemory::Release() {
  for (uint32_t& page : pages_) {
    if (page == 0) continue;
    link_.FreeKernelMemory(page);
    page = 0;
  }
  pages_.reset();
  if (directoryLinear_ != 0) link_.FreeKernelMemory(directoryLinear_);
  directoryLinear_ = directoryPhysical_ = 0;
  for (uint32_t t = 0; t < kMaxPageTables; ++t) {
    if (pageTableLinear_[t] != 0) link_.FreeKernelMemory(pageTableLinear_[t]);
    pageTableLinear_[t] = pageTablePhysical_[t] = 0;
  }
}

}  // namespace ql
