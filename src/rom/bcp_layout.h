// Byte layouts of the BIOS's parameter blocks, each opened by a six-letter signature. Offsets are
// from the first signature byte. Shared by the program (which reads them from the running BIOS
// and from ROM images) and by the tools and the simulated machine (which build them).
#pragma once

#include <cstdint>

namespace ql {

inline constexpr uint32_t kSignatureLength = 6;
inline constexpr uint8_t kBcpSysSignature[kSignatureLength] = {'B', 'C', 'P', 'S', 'Y', 'S'};
inline constexpr uint8_t kBcpDmiSignature[kSignatureLength] = {'B', 'C', 'P', 'D', 'M', 'I'};
inline constexpr uint8_t kBcpFexSignature[kSignatureLength] = {'B', 'C', 'P', 'F', 'E', 'X'};

// The running BIOS's segment F000h: physical 0xF0000, 64 KiB. Signature searches over it stop
// one pattern length short of its end.
inline constexpr uint32_t kBiosSegmentPhysical = 0xF0000;
inline constexpr uint32_t kBiosSegmentLength = 0x10000;
inline constexpr uint32_t kSegmentSearchLength = kBiosSegmentLength - kSignatureLength;  // 0xFFFA

// BCPSYS: the system block, 128 bytes.
namespace bcpsys {
inline constexpr uint32_t kSize = 128;
inline constexpr uint32_t kBuildDate = 0x0F;  // 9 bytes "MM/DD/YY"
inline constexpr uint32_t kBuildTime = 0x18;  // 9 bytes "HH:MM..."
inline constexpr uint32_t kDateTimeFieldLength = 9;
inline constexpr uint32_t kPlatformId = 0x37;  // 9 bytes
inline constexpr uint32_t kPlatformIdLength = 9;
inline constexpr uint32_t kDmiSegment = 0x69;  // u16
inline constexpr uint32_t kRomSizeKb = 0x7B;   // u16, unaligned
inline constexpr uint32_t kLayoutWord = 0x7E;  // u16
}  // namespace bcpsys

// BCPFEX: the flash interface block, 18 bytes.
namespace bcpfex {
inline constexpr uint32_t kSize = 18;
inline constexpr uint32_t kTriggerPort = 10;   // u32
inline constexpr uint32_t kTriggerValue = 14;  // u8
}  // namespace bcpfex

// BCPDMI: the DMI block; the program reads its first 40 bytes.
namespace bcpdmi {
inline constexpr uint32_t kHeaderSize = 40;
inline constexpr uint32_t kMajorVersion = 0x06;
inline constexpr uint32_t kMinorVersion = 0x07;
inline constexpr uint32_t kSerialNumberOffset = 0x10;
inline constexpr uint32_t kManufacturerOffset = 0x16;
inline constexpr uint32_t kProductOffset = 0x18;
inline constexpr uint32_t kVersionOffset = 0x1A;
inline constexpr uint32_t kSystemSerialOffset = 0x1C;
inline constexpr uint32_t kChassisSerialOffset = 0x22;
inline constexpr uint32_t kUuidOffset = 0x26;
// A block has a UUID field from version 2.11 on (major and minor tested independently).
inline constexpr uint8_t kUuidMinMajor = 2;
inline constexpr uint8_t kUuidMinMinor = 11;
// The UUID field: 16 bytes and a balance byte.
inline constexpr uint32_t kUuidLength = 16;
inline constexpr uint32_t kUuidFieldLength = 17;
}  // namespace bcpdmi

// A DMI string field around its offset o: length byte at o - 1, the characters, a terminator,
// and a balance byte that keeps the 8-bit sum of characters, terminator and balance unchanged.
namespace dmifield {
inline constexpr uint32_t kLengthBefore = 1;  // the length byte sits one byte before o
inline constexpr uint32_t kTrailer = 2;       // terminator and balance byte after the characters
}  // namespace dmifield

// The six DMI strings, in the order the block lists their offsets.
enum class DmiStringId {
  kSerialNumber,
  kManufacturer,
  kProduct,
  kVersion,
  kSystemSerial,
  kChassisSerial
};
inline constexpr uint32_t kDmiStringCount = 6;
inline constexpr uint32_t kDmiStringOffsetField[kDmiStringCount] = {
    bcpdmi::kSerialNumberOffset, bcpdmi::kManufacturerOffset, bcpdmi::kProductOffset,
    bcpdmi::kVersionOffset,      bcpdmi::kSystemSerialOffset, bcpdmi::kChassisSerialOffset};

// Image offset of segment:0 of the DMI area: RomSizeKb * 1024 + DmiSegment * 16 - 1 MiB, modulo
// 2^32 (a segment F000h of a 512 KiB ROM starts at 0x70000).
inline uint32_t DmiSegmentBase(uint16_t romSizeKb, uint16_t dmiSegment) {
  return static_cast<uint32_t>(romSizeKb) * 1024u + static_cast<uint32_t>(dmiSegment) * 16u -
         0x100000u;
}

}  // namespace ql

namespace ql {

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
inline constexpr uint32_t ParamOffset(uint32_t n) { return kParam0 + 4 * n; }
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

// Bytes of BCPSYS the program carries without interpreting; the tools keep the image's 8-bit byte
// sum at zero through this one.
namespace bcpsys {
inline constexpr uint32_t kImageChecksum = 0x7D;
}  // namespace bcpsys

}  // namespace ql
