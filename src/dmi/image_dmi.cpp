#include "dmi/image_dmi.h"

#include <cstring>

#include "bios/bcp_layout.h"
#include "platform/bytes.h"

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

// True when the field was copied, false when it lies outside the image. An offset of 0 names no
// string and leaves the copy empty without counting as damage.
bool ReadImageString(const RomImage& image, uint16_t segmentOffset, DmiStringCopy& copy) {
  copy = DmiStringCopy{};
  if (segmentOffset == 0) return true;
  int64_t lengthAt = ImageDmiRange(image, segmentOffset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return false;
  uint32_t length = image.Buffer()[lengthAt];
  uint32_t count = length + kImageCopyExtra;
  int64_t from = ImageDmiRange(image, segmentOffset, dmifield::kLengthBefore, count);
  if (from < 0) return false;
  if (count > kDmiCopySize) count = kDmiCopySize;
  std::memcpy(copy.Bytes, image.Buffer() + from, count);
  // The text must end inside the copy even when the string is cut or its terminator is not 0.
  copy.Bytes[kDmiCopySize - 1] = 0;
  return true;
}

void ReadImageStrings(Desktop& desktop, WindowHandle owner, const RomImage& image,
                      ImageDmiRecord& record) {
  int32_t at = FindImageBcpDmi(image);
  if (at < 0) return;
  const uint8_t* header = image.Buffer() + at;
  bool whole = true;
  for (const ImageStringField& field : kImageStringFields) {
    uint16_t offset = GetLe16(header + field.headerOffset);
    // Every field is read, so one outside the image does not leave the others unread.
    whole = ReadImageString(image, offset, record.*field.copy) && whole;
  }
  if (!whole) ProgramMessage(desktop, owner, kMsgImageDmiOutsideFile, kMbIconExclamation);
}

void ReadImageUuid(Desktop& desktop, WindowHandle owner, const RomImage& image,
                   ImageDmiRecord& record) {
  record.ImageUuidSupported = false;
  ImageUuidPlace place = FindImageUuid(image);
  if (place.where == ImageUuidWhere::kOutsideFile) {
    ProgramMessage(desktop, owner, kMsgImageUuidOutsideFile, kMbIconExclamation);
  }
  if (place.where != ImageUuidWhere::kField) return;
  record.ImageUuidSupported = true;
  std::memcpy(record.Uuid, image.Buffer() + place.offset, bcpdmi::kUuidLength);
  record.Uuid[bcpdmi::kUuidLength] = 0;
}

}  // namespace

int32_t FindImageBcpDmi(const RomImage& image) {
  return image.FindBlock(kBcpDmiSignature, bcpdmi::kHeaderSize);
}

int64_t ImageDmiRange(const RomImage& image, uint16_t segmentOffset, uint32_t before,
                      uint32_t count) {
  const BcpSysBlock& sys = image.ImageBcpSys();
  return DmiFieldRange(DmiSegmentBase(sys.RomSizeKb, sys.DmiSegment), image.Bytes(), segmentOffset,
                       before, count);
}

ImageUuidPlace FindImageUuid(const RomImage& image) {
  ImageUuidPlace place;
  int32_t at = FindImageBcpDmi(image);
  if (at < 0) return place;
  const uint8_t* header = image.Buffer() + at;
  // Read as signed bytes, as images have always been judged: a minor version of 128 or more is
  // below 11, so 2.128 has no UUID field.
  int major = static_cast<int8_t>(header[bcpdmi::kMajorVersion]);
  int minor = static_cast<int8_t>(header[bcpdmi::kMinorVersion]);
  if (major < bcpdmi::kUuidMinMajor || minor < bcpdmi::kUuidMinMinor) return place;
  uint16_t offset = GetLe16(header + bcpdmi::kUuidOffset);
  if (offset == 0) return place;
  place.offset = ImageDmiRange(image, offset, 0, bcpdmi::kUuidFieldLength);
  place.where = place.offset < 0 ? ImageUuidWhere::kOutsideFile : ImageUuidWhere::kField;
  return place;
}

void ReadImageDmi(Desktop& desktop, WindowHandle owner, const RomImage& image,
                  ImageDmiRecord* record) {
  ReadImageStrings(desktop, owner, image, *record);
  ReadImageUuid(desktop, owner, image, *record);
}

}  // namespace ql
