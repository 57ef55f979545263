// The arithmetic of the auxiliary windows: block map cells, the percent bar, centring and the help
// text. The Win32 windows (skin/win32/progress_windows.h, app/win32/aux_windows.h) paint what
// these decide.
#pragma once

#include <cstdint>

namespace ql {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const PixelRect&) const = default;
};

inline constexpr int kBlockMapColumns = 32;
inline constexpr int kCellPixels = 8;
inline constexpr int kBlockMapPixels = kBlockMapColumns * kCellPixels;  // 256
inline constexpr int kBlockMapWindowSize = 260;

// Colours packed the platform's way: red in the low byte, then green, then blue.
inline constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return r | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}
inline constexpr uint32_t kCellBorderColour = Rgb(150, 150, 150);
inline constexpr int kCellPaletteSize = 7;

// The brush colour of a cell value. A value above 6 is never written by the progress display;
// should one appear it shows as untouched rather than as a colour that means something.
uint32_t CellColour(uint8_t value);

// The rectangle drawn for cell `index` (row-major): its outline covers 8c..8c+7 across and
// 8r..8r+7 down, so the right and bottom edges are exclusive here.
PixelRect CellRect(uint32_t index);

// The pixels covering every cell that differs between what is shown and what should be; empty
// when nothing changed. `shown` and `now` hold 1024 cells each.
PixelRect ChangedCells(const uint8_t* shown, const uint8_t* now);

inline constexpr int kStatusBarWidth = 98;
inline constexpr int kStatusBarHeight = 7;
inline constexpr int kStatusBarDrawnHeight = 5;
// The red part of the percent bar: percent * 98 / 100, truncated toward zero; above 100 counts
// as 100.
int StatusBarFill(uint32_t percent);

// A window of the rectangle's size centred on a screen; halves truncated toward zero.
PixelRect CentredRect(int screenWidth, int screenHeight, const PixelRect& window);

// The help file's name in the program's folder, without an extension.
inline constexpr const char* kHelpFileName = "QuorrelHp";
// True when the bytes open a file of the platform's help viewer. The help shipped with the
// program is text, which the viewer cannot show: the program shows it itself.
bool IsViewerHelpFile(const uint8_t* head, uint32_t size);
// Turns the line ends of a text into CR LF, as a multi-line edit control wants them.
void ToCrLf(const char* text, uint32_t size, char* out, uint32_t outSize);

}  // namespace ql
