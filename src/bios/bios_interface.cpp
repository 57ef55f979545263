#include "bios/bios_interface.h"

#include <cstring>

#include "bios/bcp_layout.h"
#include "platform/bytes.h"

namespace ql {

BiosInterface::BiosInterface(DriverLink& link, Allocator& allocator)
    : link_(link), allocator_(allocator) {}

BiosInterface::~BiosInterface() {
  Release();
}

Outcome BiosInterface::Discover(Desktop& desktop, WindowHandle owner, BiosCaller& caller) {
  uint32_t linear = link_.MapPhysicalMemory(kBiosSegmentPhysical, kBiosSegmentLength);
  // Linear 0 is no usable mapping either, and 0 is what "not mapped" means to the release.
  if (linear == kDriverNotFound || linear == 0) {
    segment_ = 0;
    return Outcome::kFailed;
  }
  segment_ = linear;

  copy_ = HeapBuffer::Allocate(allocator_, kBiosSegmentLength);
  if (copy_.empty()) {
    ProgramMessage(desktop, owner, kMsgMemoryAllocateError, kMbIconHand);
    return Outcome::kFatal;
  }
  for (uint32_t piece = 0; piece < kBiosSegmentLength / kTransferSize; ++piece) {
    // A piece the driver did not hand over would be the previous piece again, and a UUID or
    // string read from it would be carried into the new image as this machine's: a copy with a
    // hole is no copy.
    if (!link_.ReadMemoryBulk(segment_ + piece * kTransferSize)) {
      copy_.reset();
      break;
    }
    std::memcpy(copy_.data() + piece * kTransferSize, link_.BulkData(), kTransferSize);
  }

  uint32_t offset =
      link_.SearchMemory(segment_, kBcpFexSignature, kSignatureLength, kSegmentSearchLength);
  // A block that would run past the end of the mapping is no block: reading it would make the
  // driver touch memory outside the segment.
  const uint8_t* block = offset == kDriverNotFound || offset > kBiosSegmentLength - bcpfex::kSize
                             ? nullptr
                             : link_.ReadMemory(segment_ + offset, bcpfex::kSize);
  if (block == nullptr) {
    Release();
    return Outcome::kFailed;
  }
  caller.SetTrigger(GetLe32(block + bcpfex::kTriggerPort), block[bcpfex::kTriggerValue]);
  return Outcome::kDone;
}

void BiosInterface::Release() {
  if (segment_ != 0) {
    // A refused unmap leaves the mapping to the driver; the program cannot do more about it.
    (void)link_.UnmapPhysicalMemory(segment_, kBiosSegmentLength);
    segment_ = 0;
  }
  copy_.reset();
}

}  // namespace ql
