// The BCPSYS block: build date and time, platform, ROM size and layout, where the DMI segment is.
#pragma once

#include <cstdint>

#include "bios/bcp_layout.h"
#include "driver/driver_link.h"

namespace ql {

struct BcpSysBlock {
  uint8_t BuildDate[bcpsys::kDateTimeFieldLength] = {};
  uint8_t BuildTime[bcpsys::kDateTimeFieldLength] = {};
  char PlatformId[bcpsys::kPlatformIdLength + 1] = {};  // NUL after the ninth byte
  uint16_t DmiSegment = 0;
  uint16_t RomSizeKb = 0;
  uint16_t LayoutWord = 0;

  // The size in bytes the block gives the ROM.
  uint32_t RomBytes() const { return static_cast<uint32_t>(RomSizeKb) * 1024u; }
};

// Takes the fields out of 128 bytes that start at a BCPSYS signature.
BcpSysBlock ParseBcpSys(const uint8_t* bytes);

// Finds and reads the running BIOS's BCPSYS block through the mapped segment at linear `segment`:
// true when read into *block; false when the driver finds no "BCPSYS", finds it too near the
// end of the segment to hold a whole block, or does not hand the block over.
[[nodiscard]] bool ReadSystemBcpSys(DriverLink& link, uint32_t segment, BcpSysBlock* block);

}  // namespace ql
