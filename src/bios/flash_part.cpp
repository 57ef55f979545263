#include "bios/flash_part.h"

#include <new>

#include "app/program_message.h"
#include "app/startup.h"
#include "driver/bios_call.h"
#include "driver/driver_requests.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/bcp_layout.h"

namespace ql {

FlashPartState FlashPart;

int32_t CountFlashBlocks(const uint8_t* answer) {
  for (uint32_t n = 0; n < kMaxBlockRecords; ++n) {
    const uint8_t* record = answer + n * blockrec::kSize;
    if (GetLe32(record + blockrec::kBlockSize) == blockrec::kEndOfTable) {
      return static_cast<int32_t>(n);
    }
  }
  return -1;
}

int FlashBlockAnswerUsable(const uint8_t* answer) {
  return CountFlashBlocks(answer) > 0 ? 1 : 0;
}

void IdentifyFlashPart(WindowHandle owner) {
  if (BiosCall(biosfn::kGetFlashPartId) != 1) {
    ProgramMessage(owner, kMsgFlashPartIdFail, kMbOk);
    FatalExit(owner);
  }
  // A fetch the driver failed leaves an older reply in place: no part code comes from it.
  int fetched = FetchReceiveBuffer();
  if (BiosCalls.Code != bioscode::kCodeData || fetched == 0) {
    ProgramMessage(owner, kMsgNoDataBack, kMbOk);
    return;
  }
  FlashPart.FlashPartCode = DriverBlocks.BulkReply[0];
}

void BuildFlashBlockTable(WindowHandle owner) {
  if (FlashPart.BlockTableBuilt != 0) return;
  const uint8_t* answer = DriverBlocks.BulkReply;
  int32_t count = CountFlashBlocks(answer);
  if (count < 0) return;

  void* memory = HeapAllocZeroed(static_cast<uint32_t>(count) * blockrec::kSize);
  if (memory == nullptr) {
    ProgramMessage(owner, kMsgNoMemoryForBlockTable, kMbOk);
    FatalExit(owner);
  }
  static_assert(sizeof(FlashBlockRecord) == blockrec::kSize,
                "16 bytes a record, as the BIOS lays them");
  FlashBlockRecord* table = static_cast<FlashBlockRecord*>(memory);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* r = answer + static_cast<uint32_t>(i) * blockrec::kSize;
    FlashBlockRecord record;
    record.BlockSize = GetLe32(r + blockrec::kBlockSize);
    record.FileOffset = GetLe32(r + blockrec::kFileOffset);
    record.LinearPtr = GetLe32(r + blockrec::kLinearPtr);
    record.Attrib = GetLe32(r + blockrec::kAttrib);
    new (table + i) FlashBlockRecord(record);
  }
  FlashPart.FlashBlockTable = table;
  FlashPart.BlockCount = count;
  FlashPart.BlockTableBuilt = 1;
}

}  // namespace ql
