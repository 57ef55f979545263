#include "skin/aux_layout.h"

namespace ql {

uint32_t CellColour(uint8_t value) {
  // The last, green, is a block that already held the image and was left as it was: a person sees
  // at a glance which blocks the flash rewrote.
  static constexpr uint32_t kPalette[kCellPaletteSize] = {
      Rgb(255, 255, 255), Rgb(255, 0, 0),     Rgb(0, 0, 255), Rgb(255, 255, 0),
      Rgb(0, 255, 255),   Rgb(100, 100, 100), Rgb(0, 160, 0),
  };
  return value < kCellPaletteSize ? kPalette[value] : kPalette[0];
}

PixelRect CellRect(uint32_t index) {
  int column = static_cast<int>(index % kBlockMapColumns);
  int row = static_cast<int>(index / kBlockMapColumns);
  return {column * kCellPixels, row * kCellPixels, (column + 1) * kCellPixels,
          (row + 1) * kCellPixels};
}

PixelRect ChangedCells(const uint8_t* shown, const uint8_t* now) {
  constexpr uint32_t kCells = kBlockMapColumns * kBlockMapColumns;
  PixelRect box;
  bool any = false;
  for (uint32_t i = 0; i < kCells; ++i) {
    if (shown[i] == now[i]) continue;
    PixelRect cell = CellRect(i);
    if (!any) {
      box = cell;
      any = true;
      continue;
    }
    if (cell.left < box.left) box.left = cell.left;
    if (cell.top < box.top) box.top = cell.top;
    if (cell.right > box.right) box.right = cell.right;
    if (cell.bottom > box.bottom) box.bottom = cell.bottom;
  }
  return box;
}

int StatusBarFill(uint32_t percent) {
  // The progress display never passes 100; a larger value must not draw past the bar.
  if (percent > 100) percent = 100;
  return static_cast<int>(percent) * kStatusBarWidth / 100;
}

PixelRect CentredRect(int screenWidth, int screenHeight, const PixelRect& window) {
  int w = window.right - window.left;
  int h = window.bottom - window.top;
  int left = (screenWidth - w) / 2;
  int top = (screenHeight - h) / 2;
  return {left, top, left + w, top + h};
}

bool IsViewerHelpFile(const uint8_t* head, uint32_t size) {
  static constexpr uint8_t kMagic[4] = {0x3F, 0x5F, 0x03, 0x00};
  if (size < sizeof(kMagic)) return false;
  for (uint32_t i = 0; i < sizeof(kMagic); ++i) {
    if (head[i] != kMagic[i]) return false;
  }
  return true;
}

void ToCrLf(const char* text, uint32_t size, char* out, uint32_t outSize) {
  if (outSize == 0) return;
  uint32_t n = 0;
  for (uint32_t i = 0; i < size && text[i] != '\0'; ++i) {
    char c = text[i];
    if (c == '\r') continue;
    uint32_t need = c == '\n' ? 2 : 1;
    if (n + need >= outSize) break;
    if (c == '\n') out[n++] = '\r';
    out[n++] = c;
  }
  out[n] = '\0';
}

}  // namespace ql
