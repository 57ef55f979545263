// What every pass over the flash block table shares: how a block's Attrib decides its treatment,
// how a block is cut into transfer pieces, whether a block lies inside the buffer it is read from
// or written into, and the one reader that copies a block out of the flash part.
#pragma once

#include <cstdint>

#include "bios/flash_part.h"

namespace ql {

// The treatment a block's Attrib asks for, tested in this order: 0 erases and programs, exactly 4
// goes to the BIOS whole (at once), bit 3 erases and bit 4 programs, anything else is left alone.
struct BlockTreatment {
  uint32_t erase = 0;
  uint32_t program = 0;
  uint32_t atOnce = 0;
};
BlockTreatment TreatmentOf(uint32_t attrib);
// 1 when a flash touches the block at all.
uint32_t BlockIsFlashed(uint32_t attrib);
// 1 when a flash rewrites the whole block (erase and program, or at once), so that every byte of
// it ends up as the source holds it.
uint32_t BlockIsRewritten(uint32_t attrib);

// A block is handled in pieces of at most TransferSize bytes. A last piece shorter than that is
// still a piece: the BIOS takes any count up to TransferSize, and leaving it out would leave the
// end of an erased block blank in the part.
struct Piece {
  uint32_t offset = 0;  // from the block's start
  uint32_t count = 0;
};
uint32_t PieceCount(uint32_t blockSize);
Piece PieceOf(uint32_t blockSize, uint32_t index);

// 1 when the block's bytes [FileOffset, FileOffset + BlockSize) lie inside a buffer of `size`
// bytes.
uint32_t BlockInside(const FlashBlockRecord& block, uint32_t size);

// Reads one block out of the part into buffer + FileOffset with ReadFlash, piece by piece, within
// an open session. A failed read (the BIOS refused, or the driver did not fetch the receive
// buffer) is tried again by the next attempt, and a block gets as many
// attempts as it has pieces, so every failure leaves the block's last piece unread (the buffer
// keeps what it held there). Answers the number of pieces left unread: 0 for a whole block. The
// caller makes sure the block lies inside the buffer (BlockInside).
uint32_t ReadFlashBlock(const FlashBlockRecord& block, uint8_t* buffer);

}  // namespace ql
