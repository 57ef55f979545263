// What crosses the flash driver: the request and reply blocks of its nine control codes, and the
// blocks the BIOS's flash services read and write in kernel memory (the parameter block, the
// status block, the flash block records of a Connect answer). Shared with the simulated machine,
// which plays the driver and the BIOS.
#pragma once

#include <cstdint>

namespace ql {

inline constexpr uint32_t kShortBlockSize = 250;
inline constexpr uint32_t kBulkBlockSize = 4104;
inline constexpr uint32_t kBulkHeaderSize = 8;
inline constexpr uint32_t kTransferSize = 4096;
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

struct KernelBuffer {
  uint32_t linear = 0;  // 0: the allocation failed
  uint32_t physical = 0;
};

// The BIOS flash services' own blocks, shared by the program (which builds the parameter block
// and reads the status block) and the simulated machine (which plays the BIOS).
namespace biosparam {
inline constexpr uint32_t kSize = 60;
inline constexpr uint32_t kFunction = 0;
inline constexpr uint32_t kSendPhysical = 4;
inline constexpr uint32_t kReceivePhysical = 8;
inline constexpr uint32_t kStatusPhysical = 12;
inline constexpr uint32_t kSendSize = 16;
inline constexpr uint32_t kReceiveSize = 20;
inline constexpr uint32_t kStatusSize = 24;
inline constexpr uint32_t kParam0 = 28;  // Param0..Param7, u32 each
inline constexpr uint32_t kParamCount = 8;
inline constexpr uint32_t ParamOffset(uint32_t n) {
  return kParam0 + 4 * n;
}
}  // namespace biosparam

namespace biosstatus {
inline constexpr uint32_t kSize = 12;
inline constexpr uint32_t kSignature = 0;  // "FQBV"
inline constexpr uint32_t kStatus = 4;     // i32, 0 = success
inline constexpr uint32_t kCode = 8;       // i32, 1 = data in the receive buffer
inline constexpr uint32_t kSignatureValue = 0x56425146u;
}  // namespace biosstatus

// Function numbers of the BIOS flash services.
namespace biosfn {
inline constexpr uint32_t kConnect = 1;
inline constexpr uint32_t kGetFlashPartId = 2;
inline constexpr uint32_t kProgramFlash = 3;
inline constexpr uint32_t kEraseBlock = 4;
inline constexpr uint32_t kReadFlash = 5;
inline constexpr uint32_t kOnceFlash = 6;
inline constexpr uint32_t kDisconnect = 7;
inline constexpr uint32_t kFirst = kConnect, kLast = kDisconnect;
}  // namespace biosfn

// Status and Code values of the status block.
namespace bioscode {
inline constexpr int32_t kStatusOk = 0;
inline constexpr int32_t kStatusOnceProgramFailed = -9;
inline constexpr int32_t kStatusOnceEraseFailed = -10;
inline constexpr int32_t kCodeData = 1;
inline constexpr int32_t kCodeUnsupportedPart = -2;
inline constexpr int32_t kCodePassword = -5;
inline constexpr int32_t kCodeLockedOut = -7;
inline constexpr int32_t kCodeConnectText = -11;
inline constexpr int32_t kCodeDisconnectText = -12;
}  // namespace bioscode

// OnceFlash flags (Param5).
inline constexpr uint32_t kOnceFlashBlankCheck = 0x1;
inline constexpr uint32_t kOnceFlashVerify = 0x2;
// One page table maps 1024 pages of 4 KiB; at most 4 tables.
inline constexpr uint32_t kPageTableEntries = 1024;
inline constexpr uint32_t kMaxPageTables = 4;
inline constexpr uint32_t kPageSize = 4096;

// A flash block record of the Connect answer: four u32 fields; BlockSize 0xFFFFFFFF ends the table.
namespace blockrec {
inline constexpr uint32_t kSize = 16;
inline constexpr uint32_t kBlockSize = 0;
inline constexpr uint32_t kFileOffset = 4;
inline constexpr uint32_t kLinearPtr = 8;
inline constexpr uint32_t kAttrib = 12;
inline constexpr uint32_t kEndOfTable = 0xFFFFFFFFu;
inline constexpr uint32_t kAttribAtOnce = 4;
}  // namespace blockrec

}  // namespace ql
