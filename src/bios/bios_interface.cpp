#include "bios/bios_interface.h"

#include "dmi/system_dmi.h"
#include "driver/driver_requests.h"
#include "platform/bytes.h"
#include "rom/bcp_layout.h"
#include "rom/bcp_sys.h"

namespace ql {

BiosInterfaceState BiosInterface;

int FindFlashInterfaceBlock(WindowHandle) {
  uint32_t base = BiosInterface.BiosSegment;
  uint32_t offset = SearchMemory(base, kBcpFexSignature, kSignatureLength, kSegmentSearchLength);
  if (offset == kDriverNotFound) return -1;
  // A block that would run past the end of the mapping is no block: reading it would make the
  // driver touch memory outside the segment.
  if (offset > kBiosSegmentLength - bcpfex::kSize) return -1;
  const uint8_t* block = ReadMemory(base + offset, bcpfex::kSize);
  BiosInterface.TriggerPort = GetLe32(block + bcpfex::kTriggerPort);
  BiosInterface.TriggerValue = block[bcpfex::kTriggerValue];
  return 0;
}

int DiscoverBiosInterface(WindowHandle owner) {
  uint32_t linear = MapPhysicalMemory(kBiosSegmentPhysical, kBiosSegmentLength);
  // Linear 0 is no usable mapping either, and 0 is what "not mapped" means to the release.
  if (linear == kDriverNotFound || linear == 0) {
    BiosInterface.BiosSegment = 0;
    return -1;
  }
  BiosInterface.BiosSegment = linear;
  ReadBiosSegmentCopy(owner);
  if (FindFlashInterfaceBlock(owner) != 0) {
    UnmapPhysicalMemory(BiosInterface.BiosSegment, kBiosSegmentLength);
    BiosInterface.BiosSegment = 0;
    return -1;
  }
  if (ReadSystemBcpSys() != 0) return -1;
  ReadSystemDmi();
  return 0;
}

}  // namespace ql
