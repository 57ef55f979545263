// The loaded image's DMI strings and UUID, read from its BCPDMI block after every accepted load.
//
// Every BCPDMI offset is a 16-bit offset in the DMI segment; in the image it lands at
// DmiSegmentBase + offset, with DmiSegmentBase from the image's own BCPSYS block. Both numbers
// come from the file, so nothing read through them is trusted: a field counts only when all of
// its bytes lie inside the image. The position is worked out in wide arithmetic, so a segment
// base that lies before the image (a ROM smaller than the segment's distance from 1 MiB) still
// reaches the fields that are in the image, and a field that falls before the image's first byte
// is outside instead of wrapping round to its end.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

// A warning when the block points outside the file: the load still stands (the image is
// flashed as its maker built it), but the settings show the fields as empty or without a UUID.
inline constexpr const char* kMsgImageDmiOutsideFile =
    "The DMI strings of the rom file which you read lie outside the file!!";
inline constexpr const char* kMsgImageUuidOutsideFile =
    "The UUID of the rom file which you read lies outside the file!!";

// The offset of the loaded image's BCPDMI block (the last signature), or -1 when the image has
// none or the last one is cut off before its 40-byte header ends.
int32_t FindImageBcpDmi();

// The image offset of `count` bytes that start `before` bytes ahead of DMI segment offset
// `segmentOffset`, or -1 when any of them lies outside the loaded image.
int64_t ImageDmiRange(uint16_t segmentOffset, uint32_t before, uint32_t count);

// Where the loaded image keeps its 17-byte UUID field.
enum class ImageUuidWhere { kField, kNoField, kOutsideFile };
struct ImageUuidPlace {
  ImageUuidWhere where = ImageUuidWhere::kNoField;
  int64_t offset = -1;  // image offset of the field when where == kField
};
// The image has a UUID field when its BCPDMI block is of version 2.11 or later, the version
// bytes read as signed (2.128 has none), and names a UUID offset. An offset of 0 names no field:
// taken at face value it would put the UUID over the first bytes of the DMI segment.
ImageUuidPlace FindImageUuid();

// Fills DmiStrings.ImageDmi's manufacturer, product, version and system serial number: each the
// length byte, the characters and the terminator. A field outside the image is left empty (and
// the user is told once); a string too long for its 80-byte copy is cut, its length byte kept
// and its text ended inside the copy.
void ReadImageDmiStrings(WindowHandle owner);

// Sets ImageUuidSupported from the block's version (read as signed bytes) and, when supported,
// copies the 16 UUID bytes with a 0 after them. A UUID field (16 bytes and its balance byte) that
// is not wholly in the image counts as no UUID support, and the user is told.
void ReadImageUuid(WindowHandle owner);

}  // namespace ql
