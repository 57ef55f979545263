#include "flash/once_flash.h"

#include "driver/driver_requests.h"
#include "flash/progress.h"
#include "platform/bytes.h"
#include "platform/platform.h"

namespace ql {

OnceFlashMemoryState OnceFlashMemory;

namespace {

constexpr uint32_t kEntrySize = 4;

int Refuse(WindowHandle owner, const char* text) {
  TheDesktop().ShowMessageBox(owner, text, kOnceFlashCaption, kMbIconHand);
  return -1;
}

void WriteEntry(uint32_t linear, uint32_t physical) {
  uint8_t entry[kEntrySize];
  PutLe32(entry, physical);
  WriteMemory(linear, entry, kEntrySize);
}

// Gives back whatever exists, finished or not, and forgets it.
void FreeAll() {
  OnceFlashMemoryState& m = OnceFlashMemory;
  if (m.PageArray != nullptr) {
    for (uint32_t p = 0; p < m.PageCount; ++p) {
      if (m.PageArray[p] == 0) continue;
      FreeKernelMemory(m.PageArray[p]);
      m.PageArray[p] = 0;
    }
  }
  HeapFreeIfSet(m.PageArray);
  m.PageArray = nullptr;
  if (m.DirectoryLinear != 0) FreeKernelMemory(m.DirectoryLinear);
  m.DirectoryLinear = m.DirectoryPhysical = 0;
  for (uint32_t t = 0; t < kMaxPageTables; ++t) {
    if (m.PageTableLinear[t] != 0) FreeKernelMemory(m.PageTableLinear[t]);
    m.PageTableLinear[t] = m.PageTablePhysical[t] = 0;
  }
  m.Complete = 0;
}

int Fail(WindowHandle owner, const char* text) {
  FreeAll();
  return Refuse(owner, text);
}

}  // namespace

uint32_t PageTablesFor(uint32_t blockSize) {
  return blockSize / kBytesPerPageTable + (blockSize % kBytesPerPageTable != 0 ? 1 : 0);
}

int PrepareOnceFlashMemory(WindowHandle owner, uint32_t fileOffset, const uint8_t* source,
                           uint32_t sourceSize) {
  OnceFlashMemoryState& m = OnceFlashMemory;
  FreeAll();
  m.PageTableCount = PageTablesFor(m.BlockSize);
  if (m.PageTableCount > kMaxPageTables) return Refuse(owner, kMsgOnceTooLarge);

  m.PageCount = m.BlockSize / kPageSize;
  m.PageArray = static_cast<uint32_t*>(HeapAllocZeroed(m.PageCount * kEntrySize));
  if (m.PageArray == nullptr) return Refuse(owner, kMsgOncePagePointer);

  KernelBuffer directory = AllocateKernelMemory(m.PageTableCount * kPageSize);
  if (directory.linear == 0) return Fail(owner, kMsgOnceKernelMemory);
  m.DirectoryLinear = directory.linear;
  m.DirectoryPhysical = directory.physical;
  for (uint32_t t = 0; t < m.PageTableCount; ++t) {
    KernelBuffer table = AllocateKernelMemory(kPageSize);
    if (table.linear == 0) return Fail(owner, kMsgOnceKernelMemory);
    m.PageTableLinear[t] = table.linear;
    m.PageTablePhysical[t] = table.physical;
  }
  for (uint32_t t = 0; t < m.PageTableCount; ++t) {
    WriteEntry(m.DirectoryLinear + kEntrySize * t, m.PageTablePhysical[t]);
  }

  SetProgressPhase(owner, kPhasePreparing);
  for (uint32_t p = 0; p < m.PageCount; ++p) {
    KernelBuffer page = AllocateKernelMemory(kPageSize);
    if (page.linear == 0) {
      RestProgress(owner);
      return Fail(owner, kMsgOnceKernelMemory);
    }
    m.PageArray[p] = page.linear;
    WriteEntry(m.PageTableLinear[p / kPageTableEntries] + kEntrySize * (p % kPageTableEntries),
               page.physical);
    // Wide: an offset near the top of 32 bits must not wrap back inside the source.
    uint64_t from = static_cast<uint64_t>(fileOffset) + static_cast<uint64_t>(p) * kPageSize;
    if (from + kPageSize > sourceSize) return Fail(owner, kMsgOnceCopy);
    WriteMemoryBulk(page.linear, source + from, kPageSize);
    SetProgressPercent(owner, p, m.PageCount);
  }
  RestProgress(owner);
  m.Complete = 1;
  return 0;
}

void ReleaseOnceFlashMemory(WindowHandle) {
  if (OnceFlashMemory.Complete == 0) return;
  FreeAll();
}

}  // namespace ql
