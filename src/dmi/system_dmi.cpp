#include "dmi/system_dmi.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "bios/bios_interface.h"
#include "dmi/dmi_strings.h"
#include "driver/bios_call.h"
#include "driver/driver_requests.h"
#include "platform/bytes.h"
#include "platform/platform.h"

namespace ql {

SystemDmiReadState SystemDmiRead;

namespace {

// The string copies of the system record, by DmiStringId.
DmiStringCopy& SystemString(uint32_t id) {
  SystemDmiRecord& s = DmiStrings.SystemDmi;
  DmiStringCopy* copies[kDmiStringCount] = {&s.Serial,  &s.Manufacturer, &s.Product,
                                            &s.Version, &s.SystemSerial, &s.ChassisSerial};
  return *copies[id];
}

// Copies the string whose characters start at `offset` of the segment copy, from its length byte
// on: length, characters, terminator, balance byte. 0 when it cannot be copied whole.
int CopySystemString(const uint8_t* segment, uint32_t offset, DmiStringCopy& into) {
  into = DmiStringCopy{};
  if (segment == nullptr || offset == 0) return 0;
  uint32_t start = offset - dmifield::kLengthBefore;
  uint32_t total = dmifield::kLengthBefore + segment[start] + dmifield::kTrailer;
  if (total > kDmiCopySize || start + total > kBiosSegmentLength) return 0;
  std::memcpy(into.Bytes, segment + start, total);
  return 1;
}

}  // namespace

void ReadBiosSegmentCopy(WindowHandle window) {
  HeapFreeIfSet(DmiStrings.BiosSegmentCopy);
  DmiStrings.BiosSegmentCopy = nullptr;
  uint8_t* copy = static_cast<uint8_t*>(HeapAllocZeroed(kBiosSegmentLength));
  if (copy == nullptr) {
    ProgramMessage(window, kMsgMemoryAllocateError, kMbIconHand);
    FatalExit(window);
  }
  DmiStrings.BiosSegmentCopy = copy;
  for (uint32_t piece = 0; piece < kBiosSegmentLength / TransferSize; ++piece) {
    ReadMemoryBulk(BiosInterface.BiosSegment + piece * TransferSize);
    std::memcpy(copy + piece * TransferSize, DriverBlocks.BulkReply, TransferSize);
  }
}

void ReadSystemDmi() {
  SystemDmiRecord& dmi = DmiStrings.SystemDmi;
  uint32_t base = BiosInterface.BiosSegment;
  uint32_t offset = SearchMemory(base, kBcpDmiSignature, kSignatureLength, kSegmentSearchLength);
  dmi.SystemDmiPresent = 0;
  if (offset == kDriverNotFound || offset > kBiosSegmentLength - bcpdmi::kHeaderSize) return;
  dmi.SystemDmiPresent = 1;

  uint8_t header[bcpdmi::kHeaderSize];
  std::memcpy(header, ReadMemory(base + offset, bcpdmi::kHeaderSize), bcpdmi::kHeaderSize);
  const uint8_t* segment = DmiStrings.BiosSegmentCopy;

  dmi.SystemUuidPresent = 0;
  uint32_t uuidOffset = GetLe16(header + bcpdmi::kUuidOffset);
  if (header[bcpdmi::kMajorVersion] >= bcpdmi::kUuidMinMajor &&
      header[bcpdmi::kMinorVersion] >= bcpdmi::kUuidMinMinor && uuidOffset != 0 &&
      segment != nullptr && uuidOffset + bcpdmi::kUuidFieldLength <= kBiosSegmentLength) {
    dmi.SystemUuidPresent = 1;
    std::memcpy(dmi.Uuid, segment + uuidOffset, bcpdmi::kUuidFieldLength);
  }

  for (uint32_t id = 0; id < kDmiStringCount; ++id) {
    uint32_t stringOffset = GetLe16(header + kDmiStringOffsetField[id]);
    SystemDmiRead.StringPresent[id] = CopySystemString(segment, stringOffset, SystemString(id));
  }
}

}  // namespace ql
