// The flash passes: the block table walked in order, each block erased (with a blank check),
// programmed in pieces and verified, or handed whole to the BIOS's at-once service, as its Attrib
// asks. Also the selection by which the DMI-only flash rewrites only some blocks.
#pragma once

#include <cstdint>

#include "bios/flash_part.h"
#include "platform/desktop.h"

namespace ql {

inline constexpr const char* kMsgBlankCheckFailed = "Blank Check failed!!!";
inline constexpr const char* kMsgVerifyFailed = "Verify failed!!!";
inline constexpr const char* kMsgOncePreProcessFailed = "Once flash pre-process failed";
inline constexpr const char* kOncePreProcessCaption = "Error";
inline constexpr const char* kMsgOnceProgrammingFailed = "Once flash programming failed";
inline constexpr const char* kMsgOnceErasingFailed = "Once flash erasing failed";
// A refusal with a Status the BIOS does not otherwise use for OnceFlash.
inline constexpr const char* kMsgOnceFlashFailed = "Once flash failed!!";
inline constexpr const char* kMsgProgramDataNotSent =
    "Can not hand the data to program to the BIOS!!\nThe flash was stopped!!";
// Refusals before anything is erased.
inline constexpr const char* kMsgNoFlashBlocks =
    "The BIOS did not report any flash block!!\nNothing was flashed!!";
inline constexpr const char* kMsgBlocksBeyondImage =
    "The flash blocks of the BIOS reach beyond the rom image!!\nNothing was flashed!!";
inline constexpr const char* kMsgOncePartialPage =
    "The once flash block is not a whole number of 4K pages!!\nNothing was flashed!!";

struct BlockPassState {
  // When 1, only blocks whose BlockSelection entry is 1 are treated.
  uint32_t SelectedBlocksOnly = 0;
  uint32_t BlockSelection[kMaxBlockRecords] = {};
};

extern BlockPassState BlockPasses;

// Writes `source` (indexed by FileOffset, `sourceSize` bytes) into the flash part. 1 when every
// treated block passed; 0 after a failure, its message shown. Opens the BIOS session and leaves
// it closed on every way out.
//
// The table is checked before the first block is touched, so a flash that cannot be completed is
// refused with the part as it was: a table without blocks (there is nothing to flash, and success
// would be a lie), a treated block that reaches beyond the source, an at-once block the BIOS
// cannot take whole (above 16 MiB, or not a whole number of pages, whose tail the BIOS would
// erase and never program).
//
// A ReadFlash that fails during the blank check or the verify fails that check: the receive
// buffer then still holds the bytes of an earlier read, which prove nothing about this piece.
int FlashBlocks(WindowHandle owner, const uint8_t* source, uint32_t sourceSize);

void EraseFlashBlock(uint32_t linear, uint32_t size, uint32_t blockIndex);
// 0 when the data could not be handed to the BIOS's send buffer; nothing is programmed then, as
// the BIOS would program what the buffer held from the piece before.
int ProgramFlashPiece(uint32_t linear, uint32_t fileOffset, uint32_t count, uint32_t blockIndex,
                      const uint8_t* source);
// 1 when the part holds the `count` source bytes at `fileOffset`.
int VerifyFlashPiece(uint32_t linear, uint32_t fileOffset, uint32_t count, const uint8_t* source);
// 1 when every byte of the block reads back 0xFF.
int BlankCheckBlock(WindowHandle owner, uint32_t linear, uint32_t fileOffset, uint32_t size);

}  // namespace ql
