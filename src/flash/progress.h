// The progress state that the main window shows: the phase bitmap, the percent bar and the block
// map of 32 x 32 cells. Every change asks the desktop to repaint what it changed before returning:
// the window draws what a job reached while the job waits, never while it writes.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "bios/flash_part.h"
#include "platform/desktop.h"
#include "platform/outcome.h"
#include "rom/rom_image.h"

namespace ql {

enum class ProgressPhase : uint32_t {
  kStatus = 0,
  kReadFile = 1,
  kErasing = 2,
  kFlashing = 3,
  kBackup = 4,
  kVerifying = 5,
  kBlankCheck = 6,
  kPreparing = 7,
};
inline constexpr uint32_t kProgressPhaseCount = 8;

enum class CellState : uint8_t {
  kUntouched = 0,
  kErased = 1,
  kProgrammed = 2,
  kLeftOut = 3,
  kVerified = 4,
  kBlankChecked = 5,
  // Read before the flash and found to hold the image's bytes already: verified, not rewritten.
  kAlreadyHeld = 6,
};

inline constexpr uint32_t kBlockMapCells = 1024;
inline constexpr uint32_t kBlockMapSpan = 4194304;  // the bytes the 1024 cells stand for
inline constexpr uint32_t kCellUnit = 4096;

using BlockMapCells = std::array<CellState, kBlockMapCells>;

inline constexpr const char* kMsgRomSizeNot4K = " Rom size is not 4K multiple!!";

// The cells [first, end) of a ROM byte range, clipped to the map.
struct CellRange {
  uint32_t first = 0;
  uint32_t end = 0;
};
CellRange CellsOf(uint32_t offset, uint32_t length, uint32_t cellsPerUnit);

class Progress final : public LoadProgress {
 public:
  explicit Progress(Desktop& desktop) : desktop_(desktop) {}

  ProgressPhase Phase() const { return phase_; }
  uint32_t Percent() const { return percent_; }
  const BlockMapCells& BlockMap() const { return blockMap_; }

  void SetPhase(ProgressPhase phase);
  // done * 100 / total, truncated and computed wide; a total of 0 shows 0 percent.
  void SetPercent(uint32_t done, uint32_t total);
  // Paints the cells of the ROM byte range [offset, offset + length) in the current map. Cells
  // past the end of the map are never written.
  void Mark(uint32_t offset, uint32_t length, CellState state);
  // Current map := baseline map.
  void ResetBlockMap();
  // Phase "status" and 0 percent: how every activity leaves the display, however it ended.
  void Rest() override;

  // Lays the flash block table onto both maps for a ROM of `romSize` bytes, at every new session.
  // The ROM must be a whole number of 4096-byte pieces that divides the 4 MiB the map stands for (a
  // power of two from 4 KiB to 4 MiB); any other size, 0 included, shows " Rom size is not 4K
  // multiple!!" and answers kFatal.
  //
  // Both maps start from "not yet touched", so cells no block covers never keep what an earlier
  // connect with another ROM size laid there. A block with Attrib bit 0 is "left out"; every other
  // block starts untouched, erase-only and program-only blocks included, since the flash paints
  // them as it works on them.
  Outcome BuildBlockMap(WindowHandle owner, std::span<const FlashBlockRecord> blocks,
                        uint32_t romSize);

  // LoadProgress: a ROM file being read.
  void ReadingFile() override { SetPhase(ProgressPhase::kReadFile); }
  void FileRead(uint32_t done, uint32_t total) override { SetPercent(done, total); }

 private:
  Desktop& desktop_;
  ProgressPhase phase_ = ProgressPhase::kStatus;
  uint32_t percent_ = 0;
  BlockMapCells blockMap_ = {};
  BlockMapCells baselineBlockMap_ = {};
  uint32_t cellsPerUnit_ = 0;  // cells per 4096-byte piece; 0 until a map was built
};

}  // namespace ql
