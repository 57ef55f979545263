#include "dmi/system_dmi.h"

#include <cstring>

#include "bios/bcp_layout.h"
#include "platform/bytes.h"

namespace ql {
namespace {

// The string copies of the system record, by DmiStringId.
DmiStringCopy& SystemString(SystemDmiRecord& record, uint32_t id) {
  DmiStringCopy* copies[kDmiStringCount] = {&record.Serial,       &record.Manufacturer,
                                            &record.Product,      &record.Version,
                                            &record.SystemSerial, &record.ChassisSerial};
  return *copies[id];
}

// Copies the string whose characters start at `offset` of the segment copy, from its length byte
// on: length, characters, terminator, balance byte. A string that cannot be copied whole is left
// zeroed.
void CopySystemString(const uint8_t* segment, uint32_t offset, DmiStringCopy& into) {
  into = DmiStringCopy{};
  if (offset == 0) return;
  uint32_t start = offset - dmifield::kLengthBefore;
  uint32_t total = dmifield::kLengthBefore + segment[start] + dmifield::kTrailer;
  if (total > kDmiCopySize || start + total > kBiosSegmentLength) return;
  std::memcpy(into.Bytes, segment + start, total);
}

}  // namespace

void ReadSystemDmi(DriverLink& link, const BiosInterface& bios, SystemDmiRecord* record) {
  SystemDmiRecord& dmi = *record;
  dmi = SystemDmiRecord{};
  // Without a whole copy of the segment nothing of this machine's can be trusted: it has no
  // strings and no UUID, as a BIOS without the block.
  const uint8_t* segment = bios.SegmentCopy();
  if (segment == nullptr) return;
  uint32_t base = bios.Segment();
  uint32_t offset =
      link.SearchMemory(base, kBcpDmiSignature, kSignatureLength, kSegmentSearchLength);
  dmi.SystemDmiPresent = false;
  if (offset == kDriverNotFound || offset > kBiosSegmentLength - bcpdmi::kHeaderSize) return;
  const uint8_t* read = link.ReadMemory(base + offset, bcpdmi::kHeaderSize);
  if (read == nullptr) return;
  dmi.SystemDmiPresent = true;

  uint8_t header[bcpdmi::kHeaderSize];
  std::memcpy(header, read, bcpdmi::kHeaderSize);

  dmi.SystemUuidPresent = false;
  uint32_t uuidOffset = GetLe16(header + bcpdmi::kUuidOffset);
  if (header[bcpdmi::kMajorVersion] >= bcpdmi::kUuidMinMajor &&
      header[bcpdmi::kMinorVersion] >= bcpdmi::kUuidMinMinor && uuidOffset != 0 &&
      uuidOffset + bcpdmi::kUuidFieldLength <= kBiosSegmentLength) {
    dmi.SystemUuidPresent = true;
    std::memcpy(dmi.Uuid, segment + uuidOffset, bcpdmi::kUuidFieldLength);
  }

  for (uint32_t id = 0; id < kDmiStringCount; ++id) {
    uint32_t stringOffset = GetLe16(header + kDmiStringOffsetField[id]);
    CopySystemString(segment, stringOffset, SystemString(dmi, id));
  }
}

std::string MachineFileName(const SystemDmiRecord& record) {
  constexpr size_t kMostCharacters = 64;
  auto usable = [](const std::string& text) {
    for (char c : text) {
      if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    }
    return false;
  };
  std::string name = record.SystemDmiPresent ? record.SystemSerial.Text() : "";
  if (!usable(name) && record.SystemUuidPresent) {
    const uint8_t* uuid = record.Uuid;
    bool zeros = true, ones = true;
    for (uint32_t i = 0; i < bcpdmi::kUuidLength; ++i) {
      zeros = zeros && uuid[i] == 0x00;
      ones = ones && uuid[i] == 0xFF;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    name.clear();
    for (uint32_t i = 0; i < bcpdmi::kUuidLength && !zeros && !ones; ++i) {
      name += kDigits[uuid[i] >> 4];
      name += kDigits[uuid[i] & 0xF];
    }
  }
  if (!usable(name)) return "unknown";
  std::string safe;
  for (char c : name.substr(0, kMostCharacters)) {
    const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      c == '-' || c == '.';
    safe += kept ? c : '_';
  }
  return safe;
}

}  // namespace ql
