// The block map and the percent bar: two window classes of the skin whose pictures follow the
// progress display. Each window reaches its object through the creation parameter of
// CreateWindowExA, kept in the window's user data.
#pragma once

#include <cstdint>

#include "flash/progress.h"
#include "platform/win32/win.h"
#include "skin/aux_layout.h"

namespace ql {

// What the skin draws: the progress display as it stood at the last repaint it was asked for. A
// job changes the display on a thread of its own and asks for each repaint on the window's thread
// while it waits; a copy taken then never reads what is being written, and a paint message draws
// the copy.
struct ShownProgress {
  ProgressPhase phase = ProgressPhase::kStatus;
  uint32_t percent = 0;
  BlockMapCells blockMap = {};

  void Take(const Progress& progress) {
    phase = progress.Phase();
    percent = progress.Percent();
    blockMap = progress.BlockMap();
  }
};

// The brushes by cell value and the cell border pen, shared by the block map and the bar.
class CellPalette {
 public:
  CellPalette();
  ~CellPalette();
  CellPalette(const CellPalette&) = delete;
  CellPalette& operator=(const CellPalette&) = delete;

  // A value outside the palette gets the untouched cell's brush.
  HBRUSH Brush(uint8_t value) const;
  HBRUSH Brush(CellState state) const { return Brush(static_cast<uint8_t>(state)); }
  HPEN BorderPen() const { return borderPen_; }

 private:
  HBRUSH brushes_[kCellPaletteSize] = {};
  HPEN borderPen_ = nullptr;
};

// Registers kBlockMapClass and kStatusBarClass for `instance`. A class already registered stays
// as it is: the procedures are the same for every skin.
void RegisterProgressWindowClasses(HINSTANCE instance);

// The block map keeps its picture off the screen: a flash changes a few cells per step, and only
// those are drawn, then copied to the window; a paint message copies what it uncovers.
class BlockMapView {
 public:
  BlockMapView(const ShownProgress& progress, const CellPalette& palette)
      : progress_(progress), palette_(palette) {}
  ~BlockMapView() { DeleteCanvas(); }
  BlockMapView(const BlockMapView&) = delete;
  BlockMapView& operator=(const BlockMapView&) = delete;

  // Draws on the screen, at once and without a paint message, the cells that changed since they
  // were last shown. Nothing is drawn when nothing changed, or before the window exists.
  void ShowChanges();

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void CreateCanvas(HWND window);
  void DeleteCanvas();
  // Brings the off-screen picture up to the progress display; `all` redraws every cell.
  void DrawCellsOffScreen(bool all);
  void Paint();

  const ShownProgress& progress_;
  const CellPalette& palette_;
  HWND window_ = nullptr;
  HDC canvas_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  BlockMapCells shown_ = {};
};

// The percent bar: a red part and a white part, outlined in the default black pen.
class PercentBar {
 public:
  PercentBar(const ShownProgress& progress, const CellPalette& palette)
      : progress_(progress), palette_(palette) {}
  PercentBar(const PercentBar&) = delete;
  PercentBar& operator=(const PercentBar&) = delete;

  // Draws the bar at once when its red part changed since it was last shown.
  void ShowChange();

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Draw(HDC dc, int fill) const;

  const ShownProgress& progress_;
  const CellPalette& palette_;
  HWND window_ = nullptr;
  int shownFill_ = -1;  // none shown yet
};

}  // namespace ql
