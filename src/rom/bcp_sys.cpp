#include "rom/bcp_sys.h"

#include <cstring>

#include "platform/bytes.h"

namespace ql {

BcpSysBlock ParseBcpSys(const uint8_t* bytes) {
  BcpSysBlock block;
  std::memcpy(block.BuildDate, bytes + bcpsys::kBuildDate, bcpsys::kDateTimeFieldLength);
  std::memcpy(block.BuildTime, bytes + bcpsys::kBuildTime, bcpsys::kDateTimeFieldLength);
  std::memcpy(block.PlatformId, bytes + bcpsys::kPlatformId, bcpsys::kPlatformIdLength);
  block.PlatformId[bcpsys::kPlatformIdLength] = '\0';
  block.DmiSegment = GetLe16(bytes + bcpsys::kDmiSegment);
  block.RomSizeKb = GetLe16(bytes + bcpsys::kRomSizeKb);
  block.LayoutWord = GetLe16(bytes + bcpsys::kLayoutWord);
  return block;
}

bool ReadSystemBcpSys(DriverLink& link, uint32_t segment, BcpSysBlock* block) {
  uint32_t offset =
      link.SearchMemory(segment, kBcpSysSignature, kSignatureLength, kSegmentSearchLength);
  if (offset == kDriverNotFound) return false;
  // A block that would run past the end of the mapping cannot be read whole; the driver would
  // read memory outside the segment.
  if (offset > kBiosSegmentLength - bcpsys::kSize) return false;
  const uint8_t* read = link.ReadMemory(segment + offset, bcpsys::kSize);
  if (read == nullptr) return false;
  *block = ParseBcpSys(read);
  return true;
}

}  // namespace ql
