#include "bios/flash_part.h"

#include <utility>

#include "platform/bytes.h"

namespace ql {

BlockTreatment TreatmentOf(uint32_t attrib) {
  BlockTreatment treatment;
  if (attrib == kAttribEraseProgram) {
    treatment.erase = treatment.program = true;
  } else if (attrib == blockrec::kAttribAtOnce) {
    treatment.atOnce = true;
  } else {
    treatment.erase = (attrib & kAttribEraseBit) != 0;
    treatment.program = (attrib & kAttribProgramBit) != 0;
  }
  return treatment;
}

bool BlockInside(const FlashBlockRecord& block, uint32_t size) {
  return block.FileOffset <= size && block.BlockSize <= size - block.FileOffset;
}

bool FlashedOrReadBack(const FlashBlockRecord& block) {
  return TreatmentOf(block.Attrib).Flashed() || (block.Attrib & kAttribLeftOutBit) != 0;
}

bool BlocksUsable(std::span<const FlashBlockRecord> blocks) {
  constexpr uint64_t kAddressSpace = uint64_t{1} << 32;
  auto overlap = [](uint64_t a, uint64_t b, uint64_t size, uint64_t otherSize) {
    return a < b + otherSize && b < a + size;
  };
  for (size_t i = 0; i < blocks.size(); ++i) {
    const FlashBlockRecord& block = blocks[i];
    if (!FlashedOrReadBack(block)) continue;
    if (block.BlockSize == 0 || uint64_t{block.LinearPtr} + block.BlockSize > kAddressSpace) {
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      const FlashBlockRecord& other = blocks[j];
      if (FlashedOrReadBack(other) &&
          (overlap(block.LinearPtr, other.LinearPtr, block.BlockSize, other.BlockSize) ||
           overlap(block.FileOffset, other.FileOffset, block.BlockSize, other.BlockSize))) {
        return false;
      }
    }
  }
  return true;
}

int32_t CountFlashBlocks(const uint8_t* answer) {
  for (uint32_t n = 0; n < kMaxBlockRecords; ++n) {
    const uint8_t* record = answer + n * blockrec::kSize;
    if (GetLe32(record + blockrec::kBlockSize) == blockrec::kEndOfTable) {
      return static_cast<int32_t>(n);
    }
  }
  return -1;
}

TableTaken FlashPart::TakeBlockTable(const uint8_t* answer, Allocator& allocator) {
  if (built_) return TableTaken::kKept;
  int32_t count = CountFlashBlocks(answer);
  if (count <= 0) return TableTaken::kUnusable;

  auto table = HeapArray<FlashBlockRecord>::Allocate(allocator, static_cast<uint32_t>(count));
  if (table.empty()) return TableTaken::kNoMemory;
  for (uint32_t i = 0; i < table.size(); ++i) {
    const uint8_t* record = answer + i * blockrec::kSize;
    table[i].BlockSize = GetLe32(record + blockrec::kBlockSize);
    table[i].FileOffset = GetLe32(record + blockrec::kFileOffset);
    table[i].LinearPtr = GetLe32(record + blockrec::kLinearPtr);
    table[i].Attrib = GetLe32(record + blockrec::kAttrib);
  }
  if (!BlocksUsable({table.data(), table.size()})) return TableTaken::kUnusable;
  table_ = std::move(table);
  built_ = true;
  return TableTaken::kTaken;
}

void FlashPart::Release() {
  table_.reset();
  built_ = false;
}

}  // namespace ql
