#include "dmi/carry_over.h"

#include <cstring>

#include "bios/bcp_layout.h"
#include "dmi/image_dmi.h"
#include "platform/bytes.h"

namespace ql {
namespace {

// The six strings in the order they are carried.
struct CarriedString {
  uint32_t headerOffset;
  DmiStringCopy SystemDmiRecord::*copy;
  const char* lengthMessage;
};
constexpr CarriedString kCarriedStrings[] = {
    {bcpdmi::kSerialNumberOffset, &SystemDmiRecord::Serial, kMsgSerialLength},
    {bcpdmi::kSystemSerialOffset, &SystemDmiRecord::SystemSerial, kMsgSystemSerialLength},
    {bcpdmi::kChassisSerialOffset, &SystemDmiRecord::ChassisSerial, kMsgChassisSerialLength},
    {bcpdmi::kManufacturerOffset, &SystemDmiRecord::Manufacturer, kMsgManufacturerLength},
    {bcpdmi::kProductOffset, &SystemDmiRecord::Product, kMsgProductLength},
    {bcpdmi::kVersionOffset, &SystemDmiRecord::Version, kMsgVersionLength},
};

// Length byte, characters, terminator and balance byte around `length` characters.
constexpr uint32_t FieldBytes(uint32_t length) {
  return dmifield::kLengthBefore + length + dmifield::kTrailer;
}

void CarryString(Desktop& desktop, WindowHandle owner, RomImage& image, const uint8_t* header,
                 const SystemDmiRecord& system, const CarriedString& carried) {
  uint16_t offset = GetLe16(header + carried.headerOffset);
  const DmiStringCopy& copy = system.*carried.copy;
  uint32_t length = copy.Length();
  // An offset of 0 names no string in the image (as the image and the DMI-only readers take
  // it). Taking the byte before the segment's start as its length would, when it happened to
  // match, overwrite the first bytes of the DMI segment with a string that has no place there.
  // A running BIOS string that has nowhere to go is told, as any string not carried.
  if (offset == 0) {
    if (length != 0) ProgramMessage(desktop, owner, carried.lengthMessage, kMbOk);
    return;
  }
  int64_t lengthAt = ImageDmiRange(image, offset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return;
  if (length != image.Buffer()[lengthAt]) {
    ProgramMessage(desktop, owner, carried.lengthMessage, kMbOk);
    return;
  }
  // Length byte, characters and terminator come from the copy; they must fit in it.
  if (FieldBytes(length) - 1 > kDmiCopySize) return;
  int64_t field = ImageDmiRange(image, offset, dmifield::kLengthBefore, FieldBytes(length));
  if (field < 0) return;
  // The length byte is already the same: characters and terminator are written, then the balance.
  uint8_t* characters = image.Buffer() + field + dmifield::kLengthBefore;
  WriteBalancedField(characters, copy.Bytes + dmifield::kLengthBefore, length + 1);
}

}  // namespace

uint8_t ByteSum(const uint8_t* bytes, uint32_t count) {
  uint32_t sum = 0;
  for (uint32_t n = 0; n < count; ++n) sum += bytes[n];
  return static_cast<uint8_t>(sum);
}

uint8_t WriteBalancedField(uint8_t* field, const uint8_t* bytes, uint32_t count) {
  uint8_t before = ByteSum(field, count + 1);
  uint8_t balance = static_cast<uint8_t>(before - ByteSum(bytes, count));
  std::memmove(field, bytes, count);
  field[count] = balance;
  return balance;
}

void CarryDmiStringsIntoImage(Desktop& desktop, WindowHandle owner, RomImage& image,
                              const SystemDmiRecord& system) {
  int32_t at = FindImageBcpDmi(image);
  if (at < 0) return;
  const uint8_t* header = image.Buffer() + at;
  for (const CarriedString& carried : kCarriedStrings) {
    CarryString(desktop, owner, image, header, system, carried);
  }
}

bool CarryUuidIntoImage(Desktop& desktop, WindowHandle owner, RomImage& image,
                        SystemDmiRecord& system, ImageDmiRecord& imageRecord) {
  if (FindImageBcpDmi(image) < 0) return false;
  // A field the image does not wholly hold, or names with offset 0, is no field: nothing is
  // written outside the image or over the start of its DMI segment.
  int64_t field = FindImageUuid(image).offset;
  imageRecord.ImageUuidSupported = field >= 0;
  if (!system.SystemUuidPresent) return true;
  if (field < 0) {
    ProgramMessage(desktop, owner, kMsgImageHasNoUuid, kMbIconHand);
    return false;
  }
  // The record keeps the balance byte it was written with.
  system.Uuid[bcpdmi::kUuidLength] =
      WriteBalancedField(image.Buffer() + field, system.Uuid, bcpdmi::kUuidLength);
  return true;
}

}  // namespace ql
