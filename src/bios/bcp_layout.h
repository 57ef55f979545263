// Byte layouts of the BIOS's own blocks, each opened by a six-letter signature, and of the DMI
// strings they point to. Offsets are from the first signature byte. Shared by the program (which
// reads them from the running BIOS and from ROM images) and by the tools and the simulated machine
// (which build them).
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

// Image offset of segment:0 of the DMI area: RomSizeKb * 1024 + DmiSegment * 16 - 1 MiB (a
// segment F000h of a 512 KiB ROM starts at 0x70000). Worked out wide, without a 32-bit wrap: both
// numbers come from the image, and a base that lies before the image must stay before it rather
// than wrap round to its end.
inline int64_t DmiSegmentBase(uint16_t romSizeKb, uint16_t dmiSegment) {
  return static_cast<int64_t>(romSizeKb) * 1024 + static_cast<int64_t>(dmiSegment) * 16 - 0x100000;
}

// The offset in a buffer of `size` bytes of `count` bytes that start `before` bytes ahead of DMI
// segment offset `segmentOffset`, with segment:0 at `segmentBase`; -1 when any of them lies
// outside the buffer.
inline int64_t DmiFieldRange(int64_t segmentBase, uint32_t size, uint16_t segmentOffset,
                             uint32_t before, uint32_t count) {
  int64_t first = segmentBase + segmentOffset - static_cast<int64_t>(before);
  if (first < 0 || first + count > static_cast<int64_t>(size)) return -1;
  return first;
}

// Bytes of BCPSYS the program carries without interpreting; the tools keep the image's 8-bit byte
// sum at zero through this one.
namespace bcpsys {
inline constexpr uint32_t kImageChecksum = 0x7D;
}  // namespace bcpsys

// The offset from `base` of the LAST place in [0, rangeLength) where all patternLength bytes
// match (the match lies wholly inside the range), or -1. The one signature search of the program:
// ROM images, read-back copies and the segment copy are all searched with it.
int32_t FindSignature(const uint8_t* base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t rangeLength);
// The offset of the LAST `signature` in [0, size) when a whole block of `blockLength` bytes follows
// it there; -1 when there is none or when that last block is cut off by the end. An earlier,
// complete occurrence never stands in for a cut-off later one: the later one is the block meant.
int32_t FindWholeBlock(const uint8_t* bytes, uint32_t size, const uint8_t* signature,
                       uint32_t blockLength);

}  // namespace ql
