// The loaded image's DMI strings and UUID, read from its BCPDMI block after every accepted load.
//
// Every BCPDMI offset is a 16-bit offset in the DMI segment; in the image it lands at
// DmiSegmentBase + offset, with DmiSegmentBase from the image's own BCPSYS block. Both numbers come
// from the file, so nothing read through them is trusted: a field counts only when all of its
// bytes lie inside the image.
#pragma once

#include <cstdint>

#include "dmi/dmi_strings.h"
#include "platform/desktop.h"
#include "rom/rom_image.h"

namespace ql {

// A warning when the block points outside the file: the load still stands (the image is flashed as
// its maker built it), but the settings show the fields as empty or without a UUID.
inline constexpr const char* kMsgImageDmiOutsideFile =
    "The DMI strings of the rom file which you read lie outside the file!!";
inline constexpr const char* kMsgImageUuidOutsideFile =
    "The UUID of the rom file which you read lies outside the file!!";

// The offset of the image's BCPDMI block (the last signature), or -1 when the image has none or
// the last one is cut off before its 40-byte header ends.
int32_t FindImageBcpDmi(const RomImage& image);

// The image offset of `count` bytes that start `before` bytes ahead of DMI segment offset
// `segmentOffset`, or -1 when any of them lies outside the image.
int64_t ImageDmiRange(const RomImage& image, uint16_t segmentOffset, uint32_t before,
                      uint32_t count);

// Where the image keeps its 17-byte UUID field.
enum class ImageUuidWhere { kField, kNoField, kOutsideFile };
struct ImageUuidPlace {
  ImageUuidWhere where = ImageUuidWhere::kNoField;
  int64_t offset = -1;  // image offset of the field when where == kField
};
// The image has a UUID field when its BCPDMI block is of version 2.11 or later, the version bytes
// read as signed (2.128 has none), and names a UUID offset. An offset of 0 names no field: taken at
// face value it would put the UUID over the first bytes of the DMI segment.
ImageUuidPlace FindImageUuid(const RomImage& image);

// Fills the image record from an accepted image with a BCPDMI block: the manufacturer, product,
// version and system serial number (each the length byte, the characters and the terminator), and
// the UUID with a 0 after it where the image has a field for it. A string field outside the image
// is left empty and a UUID field outside it counts as no UUID support; each is told once. A string
// too long for its 80-byte copy is cut, its length byte kept and its text ended inside the copy.
void ReadImageDmi(Desktop& desktop, WindowHandle owner, const RomImage& image,
                  ImageDmiRecord* record);

}  // namespace ql
