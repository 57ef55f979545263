#include "dmi/carry_over.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "dmi/image_dmi.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/bcp_layout.h"
#include "rom/rom_image.h"

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

// Length byte, characters, terminator and balance byte around L characters.
constexpr uint32_t FieldBytes(uint32_t L) {
  return dmifield::kLengthBefore + L + dmifield::kTrailer;
}

void CarryString(WindowHandle window, const uint8_t* header, const CarriedString& s) {
  uint16_t offset = GetLe16(header + s.headerOffset);
  const DmiStringCopy& copy = DmiStrings.SystemDmi.*s.copy;
  uint32_t L = copy.Length();
  // An offset of 0 names no string in the image (as the image and the DMI-only readers take
  // it). Taking the byte before the segment's start as its length would, when it happened to
  // match, overwrite the first bytes of the DMI segment with a string that has no place there.
  // A running BIOS string that has nowhere to go is told, as any string not carried.
  if (offset == 0) {
    if (L != 0) ProgramMessage(window, s.lengthMessage, kMbOk);
    return;
  }
  int64_t lengthAt = ImageDmiRange(offset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return;
  if (L != RomImage.Buffer[lengthAt]) {
    ProgramMessage(window, s.lengthMessage, kMbOk);
    return;
  }
  // Length byte, characters and terminator come from the copy; they must fit in it.
  if (FieldBytes(L) - 1 > kDmiCopySize) return;
  int64_t field = ImageDmiRange(offset, dmifield::kLengthBefore, FieldBytes(L));
  if (field < 0) return;
  uint8_t* rom = RomImage.Buffer;
  uint32_t o = static_cast<uint32_t>(field) + dmifield::kLengthBefore;
  uint8_t balance = BalanceByte(copy.Bytes + 1, o, L, rom);
  std::memcpy(rom + field, copy.Bytes, FieldBytes(L) - 1);
  rom[o + L + 1] = balance;
}

}  // namespace

uint8_t ByteSum(const uint8_t* bytes, uint32_t count) {
  uint32_t sum = 0;
  for (uint32_t n = 0; n < count; ++n) sum += bytes[n];
  return static_cast<uint8_t>(sum);
}

uint8_t WriteBalancedUuid(uint8_t* field, const uint8_t* uuid) {
  uint8_t before = ByteSum(field, bcpdmi::kUuidFieldLength);
  uint8_t balance = static_cast<uint8_t>(before - ByteSum(uuid, bcpdmi::kUuidLength));
  std::memcpy(field, uuid, bcpdmi::kUuidLength);
  field[bcpdmi::kUuidLength] = balance;
  return balance;
}

uint8_t BalanceByte(const uint8_t* newBytes, uint32_t o, uint32_t L, const uint8_t* rom) {
  uint8_t a = ByteSum(newBytes, L + 1);
  uint8_t b = ByteSum(rom + o, L + dmifield::kTrailer);
  return static_cast<uint8_t>(b - a);
}

int CarryDmiStringsIntoImage(WindowHandle window) {
  int32_t at = FindImageBcpDmi();
  if (at < 0) return 1;
  const uint8_t* header = RomImage.Buffer + at;
  for (const CarriedString& s : kCarriedStrings) CarryString(window, header, s);
  return 1;
}

}  // namespace ql
