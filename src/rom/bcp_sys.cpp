#include "rom/bcp_sys.h"

#include <cstring>

#include "bios/bios_interface.h"
#include "driver/driver_requests.h"
#include "platform/bytes.h"

namespace ql {

SystemBcpSysState SystemBcpSys;

BcpSysBlock ParseBcpSys(const uint8_t* bytes) {
  BcpSysBlock b;
  std::memcpy(b.Raw, bytes, bcpsys::kSize);
  std::memcpy(b.BuildDate, bytes + bcpsys::kBuildDate, bcpsys::kDateTimeFieldLength);
  std::memcpy(b.BuildTime, bytes + bcpsys::kBuildTime, bcpsys::kDateTimeFieldLength);
  std::memcpy(b.PlatformId, bytes + bcpsys::kPlatformId, bcpsys::kPlatformIdLength);
  b.PlatformId[bcpsys::kPlatformIdLength] = '\0';
  b.DmiSegment = GetLe16(bytes + bcpsys::kDmiSegment);
  b.RomSizeKb = GetLe16(bytes + bcpsys::kRomSizeKb);
  b.LayoutWord = GetLe16(bytes + bcpsys::kLayoutWord);
  return b;
}

int32_t FindSignature(const uint8_t* base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t rangeLength) {
  if (rangeLength < patternLength) return -1;
  for (uint32_t start = rangeLength - patternLength + 1; start-- > 0;) {
    if (std::memcmp(base + start, pattern, patternLength) == 0) {
      return static_cast<int32_t>(start);
    }
  }
  return -1;
}

int ReadSystemBcpSys() {
  uint32_t base = BiosInterface.BiosSegment;
  uint32_t offset = SearchMemory(base, kBcpSysSignature, kSignatureLength, kSegmentSearchLength);
  if (offset == kDriverNotFound) return -1;
  // A block that would run past the end of the mapping cannot be read whole; the driver would
  // read memory outside the segment.
  if (offset > kBiosSegmentLength - bcpsys::kSize) return -1;
  const uint8_t* bytes = ReadMemory(base + offset, bcpsys::kSize);
  SystemBcpSys.Block = ParseBcpSys(bytes);
  SystemBcpSys.Read = 1;
  return 0;
}

}  // namespace ql
