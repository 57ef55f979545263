// The DMI record of the program: the running BIOS's strings and UUID, the loaded image's, the
// ones typed in the settings dialog, and the mode that says which a flash writes.
#pragma once

#include <cstdint>

#include "bios/bcp_layout.h"

namespace ql {

inline constexpr uint32_t kDmiCopySize = 80;
inline constexpr uint32_t kEnteredUuidSize = 20;

// A string as the ROM stores it from its length byte on: length, characters, terminator and (for
// the system copies) the balance byte. The text starts one byte in.
struct DmiStringCopy {
  uint8_t Bytes[kDmiCopySize] = {};
  const char* Text() const { return reinterpret_cast<const char*>(Bytes + 1); }
  uint8_t Length() const { return Bytes[0]; }
};

struct SystemDmiRecord {
  bool SystemDmiPresent = false;
  DmiStringCopy Serial, Manufacturer, Product, Version, SystemSerial, ChassisSerial;
  bool SystemUuidPresent = false;
  uint8_t Uuid[bcpdmi::kUuidFieldLength] = {};  // 16 UUID bytes and the balance byte
};

struct ImageDmiRecord {
  DmiStringCopy Manufacturer, Product, Version, SystemSerial;
  bool ImageUuidSupported = false;
  uint8_t Uuid[bcpdmi::kUuidLength + 1] = {};  // 16 UUID bytes and a 0 byte
};

struct EnteredDmiRecord {
  char Manufacturer[kDmiCopySize] = {};
  char Product[kDmiCopySize] = {};
  char Version[kDmiCopySize] = {};
  char SystemSerial[kDmiCopySize] = {};
  char Uuid[kEnteredUuidSize] = {};
};

enum class DmiModeValue : uint32_t { KeepCurrent, DontKeep, NewStrings };

// The whole record: which strings a flash writes is DmiMode's choice.
struct DmiStrings {
  SystemDmiRecord SystemDmi;
  ImageDmiRecord ImageDmi;
  EnteredDmiRecord EnteredDmi;
  DmiModeValue DmiMode = DmiModeValue::KeepCurrent;
};

}  // namespace ql
