// What every pass over the flash block table shares: which blocks a pass treats, how a block is cut
// into transfer pieces, and the one reader that copies flash contents out of the part.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "bios/flash_part.h"
#include "driver/bios_call.h"

namespace ql {

// The blocks a DMI-only flash rewrites, by table index.
using BlockSelection = std::array<bool, kMaxBlockRecords>;

// One block a pass works on, in table order.
struct TreatedBlock {
  FlashBlockRecord block;
  uint32_t index = 0;  // in the block table: the BIOS wants it back
  BlockTreatment treatment;
};

// Every block a flash touches, in table order; with a selection, only the selected ones among them.
std::vector<TreatedBlock> TreatedBlocks(std::span<const FlashBlockRecord> blocks,
                                        const BlockSelection* selection = nullptr);

// A block is handled in pieces of at most kTransferSize bytes. A last piece shorter than that is
// still a piece: the BIOS takes any count up to kTransferSize, and leaving it out would leave the
// end of an erased block blank in the part.
struct Piece {
  uint32_t offset = 0;  // from the block's start
  uint32_t count = 0;
};
uint32_t PieceCount(uint32_t blockSize);
Piece PieceOf(uint32_t blockSize, uint32_t index);

// Reads `count` bytes (at most kTransferSize) of the part at `linear` with ReadFlash, within an
// open session; the bytes are then at caller.Received(). The receive buffer is first armed with
// the `count` bytes of `armed`, which the caller chooses so that they cannot pass the check that
// follows (the complement of what it expects, say): a BIOS that answers success without writing
// the buffer then hands back bytes that fail, never an earlier piece that might pass. False when
// the arming, the call or the fetch was refused: the bytes prove nothing about this piece.
[[nodiscard]] bool ReadFlashPiece(BiosCaller& caller, uint32_t linear, uint32_t count,
                                  const uint8_t* armed);

// Reads a piece twice, the receive buffer armed first with `firstArm` and then with `secondArm`
// (which differ from it in every byte), and copies it into `into` only when both reads agree: a
// read that hands back nothing of the piece, or part of it, cannot pass. False when a read failed
// or they disagree; `into` is then untouched.
[[nodiscard]] bool ReadFlashPieceTwice(BiosCaller& caller, uint32_t linear, uint32_t count,
                                       const uint8_t* firstArm, const uint8_t* secondArm,
                                       uint8_t* into);

// Reads one block out of the part into buffer + FileOffset, piece by piece, when nothing tells
// what the part should hold (a backup, the read-back of the installed BIOS): every piece is read
// twice, the receive buffer armed with two patterns that differ in every bit, and taken only when
// both reads agree, so a read that writes the buffer wholly or partly not at all cannot pass. A
// failed piece is tried again by the next attempt, and a block gets as many attempts as it has
// pieces, so every failure leaves the block's last piece unread (the buffer keeps what it held
// there). Answers the number of pieces left unread: 0 for a whole block. The caller makes sure the
// block lies inside the buffer (BlockInside).
uint32_t ReadFlashBlock(BiosCaller& caller, const FlashBlockRecord& block, uint8_t* buffer);

}  // namespace ql
