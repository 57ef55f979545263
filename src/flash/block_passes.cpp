#include "flash/block_passes.h"

#include <cstring>

#include "app/options.h"
#include "app/startup.h"
#include "bios/bios_session.h"
#include "driver/bios_call.h"
#include "driver/driver_requests.h"
#include "flash/block_walk.h"
#include "flash/once_flash.h"
#include "flash/progress.h"
#include "platform/platform.h"

namespace ql {

BlockPassState BlockPasses;

namespace {

// A piece of erased flash, for the blank check to compare with.
const struct ErasedPiece {
  uint8_t bytes[TransferSize];
  ErasedPiece() { std::memset(bytes, 0xFF, sizeof bytes); }
} kErased;
const uint8_t* const kErasedPiece = kErased.bytes;

bool On(uint32_t option) {
  return option == kOptionDefault;
}

int Fail(WindowHandle owner, const char* text, const char* caption = kProgramName) {
  DisconnectBios(owner);
  TheDesktop().ShowMessageBox(owner, text, caption, kMbIconHand);
  RestProgress(owner);
  return 0;
}

bool Treated(int32_t index) {
  if (BlockPasses.SelectedBlocksOnly == 1 && BlockPasses.BlockSelection[index] != 1) return false;
  return BlockIsFlashed(FlashPart.FlashBlockTable[index].Attrib) == 1;
}

// Reads one piece of the part into DriverBlocks.BulkReply; false when the BIOS refused or the
// driver did not hand the receive buffer over. A fetch that failed leaves the reply holding the
// piece read before, which says nothing about this one: a blank check or a verify must not pass
// on it.
bool ReadPiece(uint32_t linear, uint32_t count) {
  SetBiosParams(linear, count, 0, 0, 0, 0, 0, 0);
  uint32_t read = BiosCall(biosfn::kReadFlash);
  int fetched = FetchReceiveBuffer();
  return read == 1 && fetched == 1;
}

// 1 when every treated block can be flashed to the end; otherwise the refusal has been made and
// the answer is 0. Nothing has been erased yet.
int CheckTable(WindowHandle owner, uint32_t sourceSize) {
  if (FlashPart.BlockCount < 1 || FlashPart.FlashBlockTable == nullptr) {
    return Fail(owner, kMsgNoFlashBlocks);
  }
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    if (!Treated(i)) continue;
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    if (BlockInside(block, sourceSize) == 0) return Fail(owner, kMsgBlocksBeyondImage);
    if (TreatmentOf(block.Attrib).atOnce == 0) continue;
    if (PageTablesFor(block.BlockSize) > kMaxPageTables) {
      TheDesktop().ShowMessageBox(owner, kMsgOnceTooLarge, kOnceFlashCaption, kMbIconHand);
      return Fail(owner, kMsgOncePreProcessFailed, kOncePreProcessCaption);
    }
    if (block.BlockSize == 0 || block.BlockSize % kPageSize != 0) {
      return Fail(owner, kMsgOncePartialPage);
    }
  }
  return 1;
}

int EraseStep(WindowHandle owner, const FlashBlockRecord& block, uint32_t index) {
  SetProgressPhase(owner, kPhaseErasing);
  SetProgressPercent(owner, 100, 100);
  MarkBlockMap(block.FileOffset, block.BlockSize, kCellErased);
  EraseFlashBlock(block.LinearPtr, block.BlockSize, index);
  if (On(Options.AutoBlankCheck) &&
      BlankCheckBlock(owner, block.LinearPtr, block.FileOffset, block.BlockSize) == 0) {
    return Fail(owner, kMsgBlankCheckFailed);
  }
  return 1;
}

int ProgramStep(WindowHandle owner, const FlashBlockRecord& block, uint32_t index,
                const uint8_t* source) {
  for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
    Piece piece = PieceOf(block.BlockSize, k);
    SetProgressPhase(owner, kPhaseFlashing);
    SetProgressPercent(owner, piece.offset, block.BlockSize);
    MarkBlockMap(block.FileOffset + piece.offset, piece.count, kCellProgrammed);
    // With the verify off nothing else would notice a piece programmed from stale data.
    if (ProgramFlashPiece(block.LinearPtr + piece.offset, block.FileOffset + piece.offset,
                          piece.count, index, source) == 0) {
      return Fail(owner, kMsgProgramDataNotSent);
    }
  }
  return 1;
}

int VerifyStep(WindowHandle owner, const FlashBlockRecord& block, const uint8_t* source) {
  for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
    Piece piece = PieceOf(block.BlockSize, k);
    SetProgressPhase(owner, kPhaseVerifying);
    SetProgressPercent(owner, piece.offset, block.BlockSize);
    if (VerifyFlashPiece(block.LinearPtr + piece.offset, block.FileOffset + piece.offset,
                         piece.count, source) == 0) {
      return Fail(owner, kMsgVerifyFailed);
    }
  }
  return 1;
}

const char* OnceFlashFailure(int32_t status) {
  switch (status) {
    case bioscode::kStatusOnceProgramFailed:
      return kMsgOnceProgrammingFailed;
    case bioscode::kStatusOnceEraseFailed:
      return kMsgOnceErasingFailed;
    default:
      // Any other refusal leaves the block in a state nobody knows: going on with the next block
      // would end in a success the part does not hold.
      return kMsgOnceFlashFailed;
  }
}

int AtOnceStep(WindowHandle owner, const FlashBlockRecord& block, uint32_t index,
               const uint8_t* source, uint32_t sourceSize) {
  Desktop& desktop = TheDesktop();
  OnceFlashMemory.BlockSize = block.BlockSize;
  if (PrepareOnceFlashMemory(owner, block.FileOffset, source, sourceSize) != 0) {
    DisconnectBios(owner);
    desktop.ShowMessageBox(owner, kMsgOncePreProcessFailed, kOncePreProcessCaption, kMbIconHand);
    ReleaseOnceFlashMemory(owner);
    RestProgress(owner);
    return 0;
  }
  uint32_t flags = (On(Options.AutoBlankCheck) ? kOnceFlashBlankCheck : 0) |
                   (On(Options.AutoVerify) ? kOnceFlashVerify : 0);
  CursorShape previous = desktop.SetCursor(CursorShape::kAtOnce);
  MarkBlockMap(block.FileOffset, block.BlockSize, kCellProgrammed);
  SetBiosParams(OnceFlashMemory.PageTableCount, OnceFlashMemory.PageTablePhysical[0],
                block.LinearPtr, block.BlockSize, index, flags, 0, 0);
  if (BiosCall(biosfn::kOnceFlash) != 1) {
    int32_t status = BiosCalls.Status;
    DisconnectBios(owner);
    RestProgress(owner);
    desktop.ShowMessageBox(owner, OnceFlashFailure(status), kOnceFlashCaption, kMbIconHand);
    desktop.SetCursor(previous);
    ReleaseOnceFlashMemory(owner);
    return 0;
  }
  MarkBlockMap(block.FileOffset, block.BlockSize, kCellProgrammed);
  desktop.SetCursor(previous);
  ReleaseOnceFlashMemory(owner);
  return 1;
}

}  // namespace

void EraseFlashBlock(uint32_t linear, uint32_t size, uint32_t blockIndex) {
  SetBiosParams(FlashPart.FlashPartCode, linear, size, blockIndex, 0, 0, 0, 0);
  BiosCall(biosfn::kEraseBlock);
}

int ProgramFlashPiece(uint32_t linear, uint32_t fileOffset, uint32_t count, uint32_t blockIndex,
                      const uint8_t* source) {
  if (!WriteMemoryBulk(BiosCalls.SendBuffer.linear, source + fileOffset, count)) return 0;
  SetBiosParams(FlashPart.FlashPartCode, linear, count, blockIndex, 0, 0, 0, 0);
  BiosCall(biosfn::kProgramFlash);
  return 1;
}

int VerifyFlashPiece(uint32_t linear, uint32_t fileOffset, uint32_t count, const uint8_t* source) {
  bool read = ReadPiece(linear, count);
  MarkBlockMap(fileOffset, count, kCellVerified);
  if (!read) return 0;
  return std::memcmp(DriverBlocks.BulkReply, source + fileOffset, count) == 0 ? 1 : 0;
}

int BlankCheckBlock(WindowHandle owner, uint32_t linear, uint32_t fileOffset, uint32_t size) {
  for (uint32_t k = 0; k < PieceCount(size); ++k) {
    Piece piece = PieceOf(size, k);
    bool read = ReadPiece(linear + piece.offset, piece.count);
    SetProgressPhase(owner, kPhaseBlankCheck);
    SetProgressPercent(owner, piece.offset, size);
    MarkBlockMap(fileOffset + piece.offset, piece.count, kCellBlankChecked);
    if (!read || std::memcmp(DriverBlocks.BulkReply, kErasedPiece, piece.count) != 0) return 0;
  }
  return 1;
}

int FlashBlocks(WindowHandle owner, const uint8_t* source, uint32_t sourceSize) {
  ConnectBios(owner);
  if (CheckTable(owner, sourceSize) == 0) return 0;
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    if (!Treated(i)) continue;
    const FlashBlockRecord block = FlashPart.FlashBlockTable[i];
    uint32_t index = static_cast<uint32_t>(i);
    BlockTreatment t = TreatmentOf(block.Attrib);
    if (t.erase == 1 && EraseStep(owner, block, index) == 0) return 0;
    if (t.program == 1 && ProgramStep(owner, block, index, source) == 0) return 0;
    if (t.atOnce == 1 && AtOnceStep(owner, block, index, source, sourceSize) == 0) return 0;
    if ((t.program == 1 || t.atOnce == 1) && On(Options.AutoVerify) &&
        VerifyStep(owner, block, source) == 0) {
      return 0;
    }
  }
  DisconnectBios(owner);
  RestProgress(owner);
  return 1;
}

}  // namespace ql
