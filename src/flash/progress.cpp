#include "flash/progress.h"

namespace ql {

void Progress::SetPhase(ProgressPhase phase) {
  phase_ = phase;
  desktop_.Repaint(ProgressItem::kPhaseItem);
  desktop_.Repaint(ProgressItem::kMainWindow);
}

void Progress::SetPercent(uint32_t done, uint32_t total) {
  // Computed wide: done * 100 overflows 32 bits for images above 42 MB.
  uint64_t percent = total == 0 ? 0 : static_cast<uint64_t>(done) * 100u / total;
  percent_ = static_cast<uint32_t>(percent > 100 ? 100 : percent);
  desktop_.Repaint(ProgressItem::kBackground);
  desktop_.Repaint(ProgressItem::kBlockMap);
  desktop_.Repaint(ProgressItem::kPhaseItem);
  desktop_.Repaint(ProgressItem::kStatusBar);
  desktop_.Repaint(ProgressItem::kMainWindow);
}

CellRange CellsOf(uint32_t offset, uint32_t length, uint32_t cellsPerUnit) {
  uint64_t first = static_cast<uint64_t>(offset / kCellUnit) * cellsPerUnit;
  uint64_t end = first + static_cast<uint64_t>(length / kCellUnit) * cellsPerUnit;
  CellRange range;
  range.first = static_cast<uint32_t>(first < kBlockMapCells ? first : kBlockMapCells);
  range.end = static_cast<uint32_t>(end < kBlockMapCells ? end : kBlockMapCells);
  return range;
}

void Progress::Mark(uint32_t offset, uint32_t length, CellState state) {
  CellRange range = CellsOf(offset, length, cellsPerUnit_);
  for (uint32_t cell = range.first; cell < range.end; ++cell) blockMap_[cell] = state;
  desktop_.Repaint(ProgressItem::kBlockMap);
}

void Progress::Rest() {
  SetPhase(ProgressPhase::kStatus);
  SetPercent(0, 100);
}

void Progress::ResetBlockMap() {
  blockMap_ = baselineBlockMap_;
}

Outcome Progress::BuildBlockMap(WindowHandle owner, std::span<const FlashBlockRecord> blocks,
                                uint32_t romSize) {
  if (romSize == 0 || romSize % kCellUnit != 0 || kBlockMapSpan % romSize != 0) {
    ProgramMessage(desktop_, owner, kMsgRomSizeNot4K, kMbOk);
    return Outcome::kFatal;
  }
  cellsPerUnit_ = kBlockMapSpan / romSize;
  blockMap_.fill(CellState::kUntouched);
  baselineBlockMap_.fill(CellState::kUntouched);
  for (const FlashBlockRecord& block : blocks) {
    CellState state =
        (block.Attrib & kAttribLeftOutBit) != 0 ? CellState::kLeftOut : CellState::kUntouched;
    CellRange range = CellsOf(block.FileOffset, block.BlockSize, cellsPerUnit_);
    for (uint32_t cell = range.first; cell < range.end; ++cell) {
      blockMap_[cell] = state;
      baselineBlockMap_[cell] = state;
    }
  }
  desktop_.Repaint(ProgressItem::kBlockMap);
  return Outcome::kDone;
}

}  // namespace ql
