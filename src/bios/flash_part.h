// The flash part as the BIOS describes it: the part code the erase and program functions expect
// back, and the flash block table taken from the first successful Connect of the run.
#pragma once

#include <cstdint>
#include <span>

#include "driver/wire.h"
#include "platform/allocator.h"

namespace ql {

// The records that fit in one receive buffer, the terminator included (layout: blockrec in
// driver/wire.h).
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

// The treatment a block's Attrib asks for, tested in this order: 0 erases and programs, exactly 4
// goes to the BIOS whole (at once), bit 3 erases and bit 4 programs, anything else is left alone.
struct BlockTreatment {
  bool erase = false;
  bool program = false;
  bool atOnce = false;
  // A flash touches the block at all.
  bool Flashed() const { return erase || program || atOnce; }
  // A flash rewrites the whole block (erase and program, or at once), so that every byte of it ends
  // up as the source holds it.
  bool Rewritten() const { return atOnce || (erase && program); }
  // A flash writes the source's bytes into it, piece by piece or at once: it can be compared.
  bool WritesSource() const { return program || atOnce; }
};
BlockTreatment TreatmentOf(uint32_t attrib);

// The block is flashed, or (left out, Attrib bit 0) read back by the DMI-only flash.
bool FlashedOrReadBack(const FlashBlockRecord& block);

// True when the block's bytes [FileOffset, FileOffset + BlockSize) lie inside a buffer of `size`
// bytes.
bool BlockInside(const FlashBlockRecord& block, uint32_t size);

// The number of records before the terminator in a Connect answer of kTransferSize bytes, or -1
// when no terminator lies within those bytes.
//
// A table of 256 records with no terminator is refused, not taken as 256 blocks: the BIOS always
// ends its table, and an answer without an end is one whose extent the program cannot know (a
// receive buffer the BIOS never wrote still holds its 0xAA fill, which reads as 256 records).
// Flashing by such a table could erase the wrong parts of the chip.
int32_t CountFlashBlocks(const uint8_t* answer);

// True when every block a flash or a read-back touches (flashed, or left out with bit 0) holds at
// least one byte, ends within the 4 GiB the BIOS addresses (LinearPtr + BlockSize at most 2^32),
// and shares no byte, in the part (LinearPtr) or in the image (FileOffset), with another such
// block. A table that says otherwise cannot be worked by: a block past 4 GiB would have its pieces
// wrap round to the bottom of the address space, erasing one block would destroy what another
// just received, and a backup or a read-back copy could not hold both blocks' bytes in one place.
bool BlocksUsable(std::span<const FlashBlockRecord> blocks);

// What became of a Connect answer's block table.
enum class TableTaken {
  kTaken,     // the run's table, now
  kKept,      // the run already had its table, which stays
  kUnusable,  // no terminator, no record, or blocks the program cannot work by (BlocksUsable)
  kNoMemory,
};

class FlashPart {
 public:
  uint8_t PartCode() const { return partCode_; }
  void SetPartCode(uint8_t code) { partCode_ = code; }

  // Takes the block table out of a Connect answer on the first call of the run, and checks it
  // there, once: the table the run works by is the one that was checked. Later calls keep the
  // first table and look at nothing. A table that is unusable is not kept.
  [[nodiscard]] TableTaken TakeBlockTable(const uint8_t* answer, Allocator& allocator);
  std::span<const FlashBlockRecord> Blocks() const { return {table_.data(), table_.size()}; }

  // Forgets the table (its memory goes back); the part code stays.
  void Release();

 private:
  uint8_t partCode_ = 0;
  HeapArray<FlashBlockRecord> table_;
  bool built_ = false;
};

}  // namespace ql
