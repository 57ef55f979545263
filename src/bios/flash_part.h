// The flash part as the BIOS describes it: the part code the erase and program functions expect
// back, and the flash block table taken from the first successful Connect of the run.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "rom/bcp_layout.h"

namespace ql {

// The records that fit in one receive buffer, the terminator included (layout: blockrec in
// rom/bcp_layout.h).
inline constexpr uint32_t kMaxBlockRecords = 256;

// Attrib values as the flash passes and the block map read them.
inline constexpr uint32_t kAttribEraseProgram = 0;
inline constexpr uint32_t kAttribLeftOutBit = 0x01;
inline constexpr uint32_t kAttribEraseBit = 0x08;
inline constexpr uint32_t kAttribProgramBit = 0x10;

struct FlashBlockRecord {
  uint32_t BlockSize = 0;
  uint32_t FileOffset = 0;
  uint32_t LinearPtr = 0;
  uint32_t Attrib = 0;
};

struct FlashPartState {
  uint8_t FlashPartCode = 0;
  FlashBlockRecord* FlashBlockTable = nullptr;  // BlockCount records, heap
  int32_t BlockCount = 0;
  uint32_t BlockTableBuilt = 0;
};

extern FlashPartState FlashPart;

inline constexpr const char* kMsgFlashPartIdFail = "Flash Part ID Fail!!";
inline constexpr const char* kMsgNoDataBack = "No data back to App 4k buffer ";
inline constexpr const char* kMsgNoMemoryForBlockTable = "No enough memory for flash block table!!";
inline constexpr const char* kMsgNoCorrectFlashBlock =
    "You did not have Correct Flash Block in BIOS";

// The number of records before the terminator in a Connect answer of TransferSize bytes, or -1
// when no terminator lies within those bytes.
//
// A table of 256 records with no terminator is refused, not taken as 256 blocks: the BIOS
// always ends its table, and an answer without an end is one whose extent the program cannot
// know (a receive buffer the BIOS never wrote still holds its 0xAA fill, which reads as 256
// records). Flashing by such a table could erase the wrong parts of the chip.
int32_t CountFlashBlocks(const uint8_t* answer);

// 1 when a Connect answer holds a table the program can work with: terminated within its
// bytes and not empty.
int FlashBlockAnswerUsable(const uint8_t* answer);

// Asks the BIOS for the part code (GetFlashPartId, sent with the parameters of the Connect before
// it). A refusal shows "Flash Part ID Fail!!" and ends the program; an answer without data shows
// "No data back to App 4k buffer " and leaves the code as it was.
void IdentifyFlashPart(WindowHandle owner);

// Takes the block table out of the fetched Connect answer (DriverBlocks.BulkReply) on the first
// call of the run; later calls do nothing. An answer without a terminator builds nothing (the
// caller refuses it, see FlashBlockAnswerUsable). No memory for the table: "No enough memory for
// flash block table!!" and the program ends.
void BuildFlashBlockTable(WindowHandle owner);

}  // namespace ql
