// The progress state that the main window shows: the phase bitmap, the percent bar and the block
// map of 32 x 32 cells. Every operation repaints what it changed before returning, because the
// flash runs inside a command and the message loop does not run meanwhile.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

enum ProgressPhaseValue : uint32_t {
  kPhaseStatus = 0,
  kPhaseReadFile = 1,
  kPhaseErasing = 2,
  kPhaseFlashing = 3,
  kPhaseBackup = 4,
  kPhaseVerifying = 5,
  kPhaseBlankCheck = 6,
  kPhasePreparing = 7,
};

enum CellState : uint8_t {
  kCellUntouched = 0,
  kCellErased = 1,
  kCellProgrammed = 2,
  kCellLeftOut = 3,
  kCellVerified = 4,
  kCellBlankChecked = 5,
};

inline constexpr uint32_t kBlockMapCells = 1024;
inline constexpr uint32_t kBlockMapSpan = 4194304;  // the bytes the 1024 cells stand for
inline constexpr uint32_t kCellUnit = 4096;

struct ProgressState {
  uint32_t ProgressPhase = kPhaseStatus;
  uint32_t ProgressPercent = 0;
  uint8_t BlockMap[kBlockMapCells] = {};
  uint8_t BaselineBlockMap[kBlockMapCells] = {};
  uint32_t CellsPerUnit = 0;  // cells per 4096-byte piece; 0 until a map was built
};

extern ProgressState Progress;

void SetProgressPhase(WindowHandle owner, uint32_t phase);
// done * 100 / total, truncated; a total of 0 shows 0 percent. The activity names the caller
// and has no effect.
void SetProgressPercent(WindowHandle owner, uint32_t done, uint32_t total, uint32_t activity = 0);
// Paints the cells of the ROM byte range [offset, offset + length) in the current map. Cells
// past the end of the map are never written.
void MarkBlockMap(uint32_t offset, uint32_t length, uint8_t state);
// Current map := baseline map.
void ResetBlockMap();
// Phase 0 and 0 percent: how every activity leaves the display, however it ended.
void RestProgress(WindowHandle owner);

inline constexpr const char* kMsgRomSizeNot4K = " Rom size is not 4K multiple!!";

// Lays the flash block table onto both maps for the ROM of RomImage.RomSize bytes, at every
// connect. The ROM must be a whole number of 4096-byte pieces that divides the 4 MiB the map
// stands for (so a power of two from 4 KiB to 4 MiB); any other size, 0 included, shows
// " Rom size is not 4K multiple!!" and ends the program.
//
// Both maps start from "not yet touched", so cells no block covers never keep what an earlier
// connect with another ROM size laid there. A block with Attrib bit 0 is "left out"; every other
// block starts untouched, erase-only and program-only blocks (Attrib 8, 16) included, since the
// flash will paint them as it works on them. Cells past the end of the map are never written.
void BuildBlockMap(WindowHandle owner);

// The cells [first, first + count) clipped to the map, as a half-open range.
struct CellRange {
  uint32_t first = 0;
  uint32_t end = 0;
};
CellRange CellsOf(uint32_t offset, uint32_t length, uint32_t cellsPerUnit);

}  // namespace ql
