#include "flash/progress.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "platform/platform.h"
#include "rom/rom_image.h"

namespace ql {

ProgressState Progress;

void SetProgressPhase(WindowHandle, uint32_t phase) {
  Progress.ProgressPhase = phase;
  TheDesktop().Repaint(ProgressItem::kPhaseItem);
  TheDesktop().Repaint(ProgressItem::kMainWindow);
}

void SetProgressPercent(WindowHandle, uint32_t done, uint32_t total, uint32_t) {
  // Computed wide: done * 100 overflows 32 bits for images above 42 MB.
  uint64_t percent = total == 0 ? 0 : static_cast<uint64_t>(done) * 100u / total;
  Progress.ProgressPercent = static_cast<uint32_t>(percent > 100 ? 100 : percent);
  Desktop& d = TheDesktop();
  d.Repaint(ProgressItem::kBackground);
  d.Repaint(ProgressItem::kBlockMap);
  d.Repaint(ProgressItem::kPhaseItem);
  d.Repaint(ProgressItem::kStatusBar);
  d.Repaint(ProgressItem::kMainWindow);
}

CellRange CellsOf(uint32_t offset, uint32_t length, uint32_t cellsPerUnit) {
  uint64_t first = static_cast<uint64_t>(offset / kCellUnit) * cellsPerUnit;
  uint64_t end = first + static_cast<uint64_t>(length / kCellUnit) * cellsPerUnit;
  CellRange r;
  r.first = static_cast<uint32_t>(first < kBlockMapCells ? first : kBlockMapCells);
  r.end = static_cast<uint32_t>(end < kBlockMapCells ? end : kBlockMapCells);
  return r;
}

void MarkBlockMap(uint32_t offset, uint32_t length, uint8_t state) {
  CellRange r = CellsOf(offset, length, Progress.CellsPerUnit);
  for (uint32_t c = r.first; c < r.end; ++c) Progress.BlockMap[c] = state;
  TheDesktop().Repaint(ProgressItem::kBlockMap);
}

void RestProgress(WindowHandle owner) {
  SetProgressPhase(owner, kPhaseStatus);
  SetProgressPercent(owner, 0, 100);
}

void ResetBlockMap() {
  std::memcpy(Progress.BlockMap, Progress.BaselineBlockMap, kBlockMapCells);
}

void BuildBlockMap(WindowHandle owner) {
  uint32_t romSize = RomImage.RomSize;
  if (romSize == 0 || romSize % kCellUnit != 0 || kBlockMapSpan % romSize != 0) {
    ProgramMessage(owner, kMsgRomSizeNot4K, kMbOk);
    FatalExit(owner);
  }
  Progress.CellsPerUnit = kBlockMapSpan / romSize;
  std::memset(Progress.BlockMap, kCellUntouched, kBlockMapCells);
  std::memset(Progress.BaselineBlockMap, kCellUntouched, kBlockMapCells);
  const FlashBlockRecord* table = FlashPart.FlashBlockTable;
  for (int32_t i = 0; table != nullptr && i < FlashPart.BlockCount; ++i) {
    const FlashBlockRecord& block = table[i];
    uint8_t state = (block.Attrib & kAttribLeftOutBit) != 0 ? kCellLeftOut : kCellUntouched;
    CellRange r = CellsOf(block.FileOffset, block.BlockSize, Progress.CellsPerUnit);
    for (uint32_t c = r.first; c < r.end; ++c) {
      Progress.BlockMap[c] = state;
      Progress.BaselineBlockMap[c] = state;
    }
  }
  TheDesktop().Repaint(ProgressItem::kBlockMap);
}

}  // namespace ql
