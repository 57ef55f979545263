#include "flash/block_walk.h"

#include <cstring>

namespace ql {

std::vector<TreatedBlock> TreatedBlocks(std::span<const FlashBlockRecord> blocks,
                                        const BlockSelection* selection) {
  std::vector<TreatedBlock> treated;
  for (uint32_t index = 0; index < blocks.size(); ++index) {
    if (selection != nullptr && !(*selection)[index]) continue;
    BlockTreatment treatment = TreatmentOf(blocks[index].Attrib);
    if (!treatment.Flashed()) continue;
    treated.push_back({blocks[index], index, treatment});
  }
  return treated;
}

uint32_t PieceCount(uint32_t blockSize) {
  return blockSize / kTransferSize + (blockSize % kTransferSize != 0 ? 1 : 0);
}

Piece PieceOf(uint32_t blockSize, uint32_t index) {
  Piece piece;
  piece.offset = index * kTransferSize;
  uint32_t left = blockSize - piece.offset;
  piece.count = left < kTransferSize ? left : kTransferSize;
  return piece;
}

bool ReadFlashPiece(BiosCaller& caller, uint32_t linear, uint32_t count, const uint8_t* armed) {
  if (!caller.ArmReceiveBuffer(armed, count)) return false;
  caller.SetParams({linear, count, 0, 0, 0, 0, 0, 0});
  if (!caller.Call(biosfn::kReadFlash).Succeeded()) return false;
  // A failed fetch leaves the reply holding an earlier piece, which says nothing about this one.
  return caller.FetchReceiveBuffer();
}

namespace {

using PieceBytes = std::array<uint8_t, kTransferSize>;

PieceBytes Filled(uint8_t value) {
  PieceBytes bytes;
  bytes.fill(value);
  return bytes;
}

}  // namespace

bool ReadFlashPieceTwice(BiosCaller& caller, uint32_t linear, uint32_t count,
                         const uint8_t* firstArm, const uint8_t* secondArm, uint8_t* into) {
  if (!ReadFlashPiece(caller, linear, count, firstArm)) return false;
  PieceBytes once;
  std::memcpy(once.data(), caller.Received(), count);
  if (!ReadFlashPiece(caller, linear, count, secondArm)) return false;
  if (std::memcmp(once.data(), caller.Received(), count) != 0) return false;
  std::memcpy(into, once.data(), count);
  return true;
}

uint32_t ReadFlashBlock(BiosCaller& caller, const FlashBlockRecord& block, uint8_t* buffer) {
  static const PieceBytes kFirstArm = Filled(0x55), kSecondArm = Filled(0xAA);
  uint32_t pieces = PieceCount(block.BlockSize);
  uint32_t done = 0;
  for (uint32_t attempt = 0; attempt < pieces; ++attempt) {
    Piece piece = PieceOf(block.BlockSize, done);
    if (ReadFlashPieceTwice(caller, block.LinearPtr + piece.offset, piece.count, kFirstArm.data(),
                            kSecondArm.data(), buffer + block.FileOffset + piece.offset)) {
      ++done;
    }
  }
  return pieces - done;
}

}  // namespace ql
