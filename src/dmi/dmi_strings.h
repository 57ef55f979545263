// The DMI record of the program: the running BIOS's strings and UUID, the loaded image's, the
// ones typed in the settings dialog, and the mode that says which a flash writes.
#pragma once

#include <cstdint>

#include "rom/bcp_layout.h"

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
  uint32_t SystemDmiPresent = 0;
  DmiStringCopy Serial, Manufacturer, Product, Version, SystemSerial, ChassisSerial;
  uint32_t SystemUuidPresent = 0;
  uint8_t Uuid[bcpdmi::kUuidFieldLength] = {};  // 16 UUID bytes and the balance byte
};

struct ImageDmiRecord {
  DmiStringCopy Manufacturer, Product, Version, SystemSerial;
  uint32_t ImageUuidSupported = 0;
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

struct DmiStringsState {
  SystemDmiRecord SystemDmi;
  ImageDmiRecord ImageDmi;
  EnteredDmiRecord EnteredDmi;
  DmiModeValue DmiMode = DmiModeValue::KeepCurrent;
  uint8_t* BiosSegmentCopy = nullptr;  // 65536 bytes of the running BIOS's segment, heap
};

extern DmiStringsState DmiStrings;

}  // namespace ql
