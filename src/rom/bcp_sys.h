// The BCPSYS block (build date and time, platform, ROM size) and the backward signature search.
#pragma once

#include <cstdint>

#include "rom/bcp_layout.h"

namespace ql {

struct BcpSysBlock {
  uint8_t Raw[bcpsys::kSize] = {};  // the 128 bytes from the signature on
  uint8_t BuildDate[bcpsys::kDateTimeFieldLength] = {};
  uint8_t BuildTime[bcpsys::kDateTimeFieldLength] = {};
  char PlatformId[bcpsys::kPlatformIdLength + 1] = {};  // NUL after the ninth byte
  uint16_t DmiSegment = 0;
  uint16_t RomSizeKb = 0;
  uint16_t LayoutWord = 0;
};

// The running BIOS's copy, read once at start-up.
struct SystemBcpSysState {
  BcpSysBlock Block;
  uint32_t Read = 0;
};

extern SystemBcpSysState SystemBcpSys;

// Takes the fields out of 128 bytes that start at a BCPSYS signature.
BcpSysBlock ParseBcpSys(const uint8_t* bytes);

// Offset from base of the LAST place in [0, rangeLength) where all patternLength bytes match
// (the match lies wholly inside the range), or -1.
int32_t FindSignature(const uint8_t* base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t rangeLength);

// Finds and reads the running BIOS's BCPSYS block through the mapped segment: 0 when read, -1
// when the driver finds no "BCPSYS" or finds it too near the end of the segment to hold a
// whole block.
int ReadSystemBcpSys();

}  // namespace ql
