#include "dmi/image_dmi.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/rom_image.h"

namespace ql {
namespace {

// The four strings the image side keeps, in the order they are read.
struct ImageStringField {
  uint32_t headerOffset;
  DmiStringCopy ImageDmiRecord::*copy;
};
constexpr ImageStringField kImageStringFields[] = {
    {bcpdmi::kManufacturerOffset, &ImageDmiRecord::Manufacturer},
    {bcpdmi::kProductOffset, &ImageDmiRecord::Product},
    {bcpdmi::kVersionOffset, &ImageDmiRecord::Version},
    {bcpdmi::kSystemSerialOffset, &ImageDmiRecord::SystemSerial},
};

// Length byte, characters and terminator: what an image string copy holds.
constexpr uint32_t kImageCopyExtra = dmifield::kLengthBefore + 1;

// 1 when the field was copied, 0 when it lies outside the image. An offset of 0 names no string
// and leaves the copy empty without counting as damage.
int ReadImageString(uint16_t segmentOffset, DmiStringCopy& copy) {
  copy = DmiStringCopy{};
  if (segmentOffset == 0) return 1;
  int64_t lengthAt = ImageDmiRange(segmentOffset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return 0;
  uint32_t length = RomImage.Buffer[lengthAt];
  int64_t from = ImageDmiRange(segmentOffset, dmifield::kLengthBefore, length + kImageCopyExtra);
  if (from < 0) return 0;
  uint32_t count = length + kImageCopyExtra;
  if (count > kDmiCopySize) count = kDmiCopySize;
  std::memcpy(copy.Bytes, RomImage.Buffer + from, count);
  // The text must end inside the copy even when the string is cut or its terminator is not 0.
  copy.Bytes[kDmiCopySize - 1] = 0;
  return 1;
}

}  // namespace

int32_t FindImageBcpDmi() {
  return FindImageBlock(kBcpDmiSignature, bcpdmi::kHeaderSize);
}

int64_t ImageDmiRange(uint16_t segmentOffset, uint32_t before, uint32_t count) {
  const BcpSysBlock& sys = RomImage.ImageBcpSys;
  // DmiSegmentBase taken without its 32-bit wrap.
  int64_t base = static_cast<int64_t>(sys.RomSizeKb) * 1024 +
                 static_cast<int64_t>(sys.DmiSegment) * 16 - 0x100000;
  int64_t first = base + segmentOffset - before;
  if (first < 0) return -1;
  if (first + count > static_cast<int64_t>(RomImageBytes())) return -1;
  return first;
}

void ReadImageDmiStrings(WindowHandle owner) {
  int32_t at = FindImageBcpDmi();
  if (at < 0) return;
  const uint8_t* header = RomImage.Buffer + at;
  int whole = 1;
  for (const ImageStringField& field : kImageStringFields) {
    uint16_t offset = GetLe16(header + field.headerOffset);
    whole &= ReadImageString(offset, DmiStrings.ImageDmi.*field.copy);
  }
  if (!whole) ProgramMessage(owner, kMsgImageDmiOutsideFile, kMbIconExclamation);
}

ImageUuidPlace FindImageUuid() {
  ImageUuidPlace place;
  int32_t at = FindImageBcpDmi();
  if (at < 0) return place;
  const uint8_t* header = RomImage.Buffer + at;
  // Read as signed bytes, as images have always been judged: a minor version of 128 or more is
  // below 11, so 2.128 has no UUID field.
  int major = static_cast<int8_t>(header[bcpdmi::kMajorVersion]);
  int minor = static_cast<int8_t>(header[bcpdmi::kMinorVersion]);
  if (major < bcpdmi::kUuidMinMajor || minor < bcpdmi::kUuidMinMinor) return place;
  uint16_t offset = GetLe16(header + bcpdmi::kUuidOffset);
  if (offset == 0) return place;
  place.offset = ImageDmiRange(offset, 0, bcpdmi::kUuidFieldLength);
  place.where = place.offset < 0 ? ImageUuidWhere::kOutsideFile : ImageUuidWhere::kField;
  return place;
}

void ReadImageUuid(WindowHandle owner) {
  DmiStrings.ImageDmi.ImageUuidSupported = 0;
  ImageUuidPlace place = FindImageUuid();
  if (place.where == ImageUuidWhere::kOutsideFile)
    ProgramMessage(owner, kMsgImageUuidOutsideFile, kMbIconExclamation);
  if (place.where != ImageUuidWhere::kField) return;
  DmiStrings.ImageDmi.ImageUuidSupported = 1;
  std::memcpy(DmiStrings.ImageDmi.Uuid, RomImage.Buffer + place.offset, bcpdmi::kUuidLength);
  DmiStrings.ImageDmi.Uuid[bcpdmi::kUuidLength] = 0;
}

}  // namespace ql
