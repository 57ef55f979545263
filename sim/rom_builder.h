// ROM images with the BIOS's signature blocks, for the simulated machine, the tests and romtool.
// BCPFEX, BCPSYS and BCPDMI lie in the image's last 64 KiB (the F000h segment the running BIOS is
// seen through); the DMI strings and the UUID at DmiSegmentBase + their 16-bit offsets. Every
// string unit (characters, terminator, balance byte) and the UUID field sum to zero, and a byte
// of BCPSYS the program does not read brings the whole image's 8-bit sum to zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bios/bcp_layout.h"

namespace ql::sim {

// Where the builder puts the blocks, as offsets in the F000h segment.
inline constexpr uint32_t kFexSegmentOffset = 0xA000;
inline constexpr uint32_t kSysSegmentOffset = 0xA040;
inline constexpr uint32_t kDmiSegmentOffset = 0xA100;
inline constexpr uint32_t kDmiStringsSegmentOffset = 0xA140;
inline constexpr uint32_t kMaxDmiStringLength = 77;  // what the program's 80-byte copies hold

struct RomSpec {
  uint32_t sizeKb = 512;
  std::string platformId = "QRL845GV";  // at most 9 characters
  std::string buildDate = "03/14/05";   // MM/DD/YY
  std::string buildTime = "09:30:00";   // HH:MM:SS
  uint16_t dmiSegment = 0xF000;
  uint16_t layoutWord = 0x0100;
  uint8_t dmiMajor = 2;
  uint8_t dmiMinor = 11;
  // Indexed by DmiStringId.
  std::array<std::string, kDmiStringCount> dmi = {"SN-0000000", "Quorrel Systems", "QS-845",
                                                  "Rev 1.0",    "SYS-0000000",     "CH-0000000"};
  std::array<uint8_t, bcpdmi::kUuidLength> uuid{};  // all 0x00: no UUID stored
  bool hasUuidField = true;
  uint32_t triggerPort = 0xB2;
  uint8_t triggerValue = 0xE9;
  uint32_t fillSeed = 1;  // the code bytes around the blocks
  bool withDmi = true;
  bool withFex = true;
};

// Builds the image; false with *error naming the offending field.
bool BuildRom(const RomSpec& spec, std::vector<uint8_t>* image, std::string* error);

// A DMI string field as found in an image.
struct DmiStringInfo {
  uint16_t offset = 0;       // the 16-bit offset in the block
  uint32_t imageOffset = 0;  // where its characters start in the image
  bool inside = false;       // the whole field lies inside the image
  std::string text;
  uint8_t length = 0;
  uint8_t terminator = 0;
  uint8_t balance = 0;
  uint8_t unitSum = 0;  // 8-bit sum of characters, terminator and balance byte
};

struct RomInfo {
  uint32_t size = 0;
  uint8_t byteSum = 0;
  int64_t sysAt = -1, dmiAt = -1, fexAt = -1;  // image offsets, -1 when absent
  // BCPSYS
  std::string platformId, buildDate, buildTime;
  uint16_t dmiSegment = 0, romSizeKb = 0, layoutWord = 0;
  // BCPFEX
  uint32_t triggerPort = 0;
  uint8_t triggerValue = 0;
  // BCPDMI
  uint8_t dmiMajor = 0, dmiMinor = 0;
  std::array<DmiStringInfo, kDmiStringCount> dmi{};
  bool hasUuidField = false;
  uint16_t uuidOffset = 0;
  bool uuidInside = false;
  std::array<uint8_t, bcpdmi::kUuidLength> uuid{};
  uint8_t uuidBalance = 0;
  uint8_t uuidSum = 0;
};

// Reads the blocks the way the program finds them: BCPSYS and BCPDMI at their last occurrence in
// the image, BCPFEX at its first in the last 64 KiB.
RomInfo InspectRom(const std::vector<uint8_t>& image);

// A UUID as text, "none" (all 0x00) or "settable" (all 0xFF); false for more than 16 characters.
bool ParseUuid(const std::string& text, std::array<uint8_t, bcpdmi::kUuidLength>* uuid);
std::string UuidText(const std::array<uint8_t, bcpdmi::kUuidLength>& uuid);

// The names romtool and the profile use for the six strings, in DmiStringId order.
inline constexpr const char* kDmiStringNames[kDmiStringCount] = {
    "serial", "manufacturer", "product", "version", "system-serial", "chassis-serial"};

}  // namespace ql::sim
