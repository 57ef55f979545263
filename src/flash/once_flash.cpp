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

bool OnceFlashMemory::WriteEntry(uint32_t linear, uint32_t physical) {
  uint8_t entry[kEntrySize];
  PutLe32(entry, physical);
  return link_.WriteMemory(linear, entry, kEntrySize);
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
    if (!WriteEntry(directoryLinear_ + kEntrySize * t, pageTablePhysical_[t])) {
      return Fail(desktop, owner, kMsgOnceTableEntry);
    }
  }

  progress.SetPhase(ProgressPhase::kPreparing);
  for (uint32_t p = 0; p < pageCount; ++p) {
    KernelBuffer page = link_.AllocateKernelMemory(kPageSize);
    if (page.linear == 0) {
      progress.Rest();
      return Fail(desktop, owner, kMsgOnceKernelMemory);
    }
    pages_[p] = page.linear;
    if (!WriteEntry(pageTableLinear_[p / kPageTableEntries] + kEntrySize * (p % kPageTableEntries),
                    page.physical)) {
      progress.Rest();
      return Fail(desktop, owner, kMsgOnceTableEntry);
    }
    // Wide: an offset near the top of 32 bits must not wrap back inside the source.
    uint64_t from = static_cast<uint64_t>(fileOffset) + static_cast<uint64_t>(p) * kPageSize;
    if (from + kPageSize > sourceSize ||
        !link_.WriteMemoryBulk(page.linear, source + from, kPageSize)) {
      progress.Rest();
      return Fail(desktop, owner, kMsgOnceCopy);
    }
    progress.SetPercent(p, pageCount);
  }
  progress.Rest();
  return true;
}

void OnceFlashMemory::Release() {
  // A free the driver refuses leaves the memory to it; the program forgets it all the same.
  auto free = [this](uint32_t& linear) {
    if (linear != 0) (void)link_.FreeKernelMemory(linear);
    linear = 0;
  };
  for (uint32_t& page : pages_) free(page);
  pages_.reset();
  free(directoryLinear_);
  directoryPhysical_ = 0;
  for (uint32_t t = 0; t < kMaxPageTables; ++t) {
    free(pageTableLinear_[t]);
    pageTablePhysical_[t] = 0;
  }
}

}  // namespace ql
