// The wire format of the flash driver: two pairs of process-wide blocks and the nine control
// codes. Each operation writes only its own request fields; the blocks are never cleared, so
// bytes an operation does not name keep what the previous one left.
#pragma once

#include <cstdint>

namespace ql {

inline constexpr uint32_t kShortBlockSize = 250;
inline constexpr uint32_t kBulkBlockSize = 4104;
inline constexpr uint32_t kBulkHeaderSize = 8;
inline constexpr uint32_t TransferSize = 4096;
// Data bytes a short WriteMemory carries after its 8-byte header.
inline constexpr uint32_t kShortWriteMax = kShortBlockSize - 8;

// The all-ones reply of a failed mapping or a search that found nothing.
inline constexpr uint32_t kDriverNotFound = 0xFFFFFFFFu;

inline constexpr uint32_t kIoctlMapPhysicalMemory = 0x222008;
inline constexpr uint32_t kIoctlUnmapPhysicalMemory = 0x22200c;
inline constexpr uint32_t kIoctlSearchMemory = 0x222010;
inline constexpr uint32_t kIoctlReadMemory = 0x222014;
inline constexpr uint32_t kIoctlAllocateKernelMemory = 0x222044;
inline constexpr uint32_t kIoctlFreeKernelMemory = 0x222048;
inline constexpr uint32_t kIoctlTriggerBiosCall = 0x22204c;
inline constexpr uint32_t kIoctlFillMemory = 0x222050;
inline constexpr uint32_t kIoctlWriteMemory = 0x222054;

// Field offsets of the requests and replies.
namespace wire {
inline constexpr uint32_t kMapPhysical = 0, kMapLength = 4, kMapReplyLinear = 0;
inline constexpr uint32_t kUnmapLinear = 0, kUnmapLength = 4;
inline constexpr uint32_t kSearchBase = 0, kSearchPatternLength = 4, kSearchRegionLength = 8,
                          kSearchPattern = 12, kSearchReplyOffset = 0;
inline constexpr uint32_t kReadSource = 0, kReadSourceAgain = 4, kReadCount = 8;
inline constexpr uint32_t kAllocSize = 0, kAllocReplyLinear = 0, kAllocReplyPhysical = 4;
inline constexpr uint32_t kFreeLinear = 0;
inline constexpr uint32_t kTriggerParamPhysical = 0, kTriggerPort = 4, kTriggerValue = 8;
inline constexpr uint32_t kFillLinear = 0, kFillCount = 4, kFillValue = 8;
inline constexpr uint32_t kWriteDestination = 0, kWriteCount = 4, kWriteData = 8;
}  // namespace wire

struct DriverBlockSet {
  uint8_t DriverRequest[kShortBlockSize] = {};
  uint8_t DriverReply[kShortBlockSize] = {};
  uint8_t BulkRequest[kBulkBlockSize] = {};
  uint8_t BulkReply[kBulkBlockSize] = {};
};

extern DriverBlockSet DriverBlocks;

struct KernelBuffer {
  uint32_t linear = 0;  // 0: the allocation failed
  uint32_t physical = 0;
};

// Linear address of the new mapping, or kDriverNotFound.
uint32_t MapPhysicalMemory(uint32_t physical, uint32_t length);
void UnmapPhysicalMemory(uint32_t linear, uint32_t length);
// Offset of the first occurrence from the base, or kDriverNotFound.
uint32_t SearchMemory(uint32_t base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t regionLength);
// Short read of at most 250 bytes; the bytes are at the start of DriverBlocks.DriverReply.
// Answers that block, or null for a count that does not fit (nothing is sent).
const uint8_t* ReadMemory(uint32_t linear, uint32_t count);
// Bulk read of TransferSize bytes into DriverBlocks.BulkReply; answers the platform's flag.
bool ReadMemoryBulk(uint32_t linear);
KernelBuffer AllocateKernelMemory(uint32_t size);
void FreeKernelMemory(uint32_t linear);
void TriggerBiosCall(uint32_t parameterBlockPhysical, uint32_t port, uint8_t value);
void FillMemory(uint32_t linear, uint32_t count, uint8_t value);
// Short write of at most 242 bytes; a larger count sends nothing and answers false.
bool WriteMemory(uint32_t linear, const uint8_t* data, uint32_t count);
// Bulk write of at most TransferSize bytes; a larger count sends nothing and answers false.
bool WriteMemoryBulk(uint32_t linear, const uint8_t* data, uint32_t count);

}  // namespace ql
