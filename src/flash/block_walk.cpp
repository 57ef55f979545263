#include "flash/block_walk.h"

#include <cstring>

#include "driver/bios_call.h"
#include "driver/driver_requests.h"

namespace ql {

BlockTreatment TreatmentOf(uint32_t attrib) {
  BlockTreatment t;
  if (attrib == kAttribEraseProgram) {
    t.erase = t.program = 1;
  } else if (attrib == blockrec::kAttribAtOnce) {
    t.atOnce = 1;
  } else {
    t.erase = (attrib & kAttribEraseBit) != 0 ? 1 : 0;
    t.program = (attrib & kAttribProgramBit) != 0 ? 1 : 0;
  }
  return t;
}

uint32_t BlockIsFlashed(uint32_t attrib) {
  BlockTreatment t = TreatmentOf(attrib);
  return (t.erase | t.program | t.atOnce) != 0 ? 1 : 0;
}

uint32_t BlockIsRewritten(uint32_t attrib) {
  BlockTreatment t = TreatmentOf(attrib);
  return t.atOnce != 0 || (t.erase != 0 && t.program != 0) ? 1 : 0;
}

uint32_t PieceCount(uint32_t blockSize) {
  return blockSize / TransferSize + (blockSize % TransferSize != 0 ? 1 : 0);
}

Piece PieceOf(uint32_t blockSize, uint32_t index) {
  Piece p;
  p.offset = index * TransferSize;
  uint32_t left = blockSize - p.offset;
  p.count = left < TransferSize ? left : TransferSize;
  return p;
}

uint32_t BlockInside(const FlashBlockRecord& block, uint32_t size) {
  return block.FileOffset <= size && block.BlockSize <= size - block.FileOffset ? 1 : 0;
}

uint32_t ReadFlashBlock(const FlashBlockRecord& block, uint8_t* buffer) {
  uint32_t pieces = PieceCount(block.BlockSize);
  uint32_t done = 0;
  for (uint32_t attempt = 0; attempt < pieces; ++attempt) {
    Piece piece = PieceOf(block.BlockSize, done);
    SetBiosParams(block.LinearPtr + piece.offset, piece.count, 0, 0, 0, 0, 0, 0);
    if (BiosCall(biosfn::kReadFlash) != 1) continue;
    // A failed fetch leaves the reply holding an earlier piece: copying it would put the wrong
    // bytes at this piece's place, so it counts as a failed read.
    if (FetchReceiveBuffer() != 1) continue;
    std::memcpy(buffer + block.FileOffset + piece.offset, DriverBlocks.BulkReply, piece.count);
    ++done;
  }
  return pieces - done;
}

}  // namespace ql
