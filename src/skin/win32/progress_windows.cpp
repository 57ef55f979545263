#include "skin/win32/progress_windows.h"

#include "skin/skin_layout.h"

namespace ql {
namespace {

// The object a window was created for; the creation parameter is kept at WM_NCCREATE, the first
// message a window gets.
template <typename View>
View* ViewOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<View*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The cells as the bytes the layout's arithmetic compares.
const uint8_t* CellBytes(const BlockMapCells& cells) {
  static_assert(sizeof(CellState) == 1);
  return reinterpret_cast<const uint8_t*>(cells.data());
}

}  // namespace

CellPalette::CellPalette() {
  for (int i = 0; i < kCellPaletteSize; ++i) {
    brushes_[i] = CreateSolidBrush(CellColour(static_cast<uint8_t>(i)));
  }
  borderPen_ = CreatePen(PS_SOLID, 1, kCellBorderColour);
}

CellPalette::~CellPalette() {
  for (HBRUSH brush : brushes_) {
    if (brush != nullptr) DeleteObject(brush);
  }
  if (borderPen_ != nullptr) DeleteObject(borderPen_);
}

HBRUSH CellPalette::Brush(uint8_t value) const {
  return brushes_[value < kCellPaletteSize ? value : 0];
}

void RegisterProgressWindowClasses(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpfnWndProc = &BlockMapView::Procedure;
  wc.lpszClassName = kBlockMapClass;
  RegisterClassExA(&wc);
  wc.lpfnWndProc = &PercentBar::Procedure;
  wc.lpszClassName = kStatusBarClass;
  RegisterClassExA(&wc);
}

void BlockMapView::CreateCanvas(HWND window) {
  DeleteCanvas();
  HDC screen = GetDC(window);
  window_ = window;
  canvas_ = CreateCompatibleDC(screen);
  bitmap_ = CreateCompatibleBitmap(screen, kBlockMapPixels, kBlockMapPixels);
  previousBitmap_ = SelectObject(canvas_, bitmap_);
  ReleaseDC(window, screen);
  DrawCellsOffScreen(/*all=*/true);
}

void BlockMapView::DeleteCanvas() {
  if (canvas_ != nullptr) {
    SelectObject(canvas_, previousBitmap_);
    DeleteDC(canvas_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  window_ = nullptr;
  canvas_ = nullptr;
  bitmap_ = nullptr;
  previousBitmap_ = nullptr;
}

void BlockMapView::DrawCellsOffScreen(bool all) {
  HGDIOBJ pen = SelectObject(canvas_, palette_.BorderPen());
  HGDIOBJ brush = GetCurrentObject(canvas_, OBJ_BRUSH);
  const BlockMapCells& now = progress_.blockMap;
  for (uint32_t i = 0; i < kBlockMapCells; ++i) {
    if (!all && shown_[i] == now[i]) continue;
    PixelRect r = CellRect(i);
    SelectObject(canvas_, palette_.Brush(now[i]));
    Rectangle(canvas_, r.left, r.top, r.right, r.bottom);
    shown_[i] = now[i];
  }
  SelectObject(canvas_, brush);
  SelectObject(canvas_, pen);
}

void BlockMapView::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  DrawCellsOffScreen(/*all=*/false);
  const RECT& r = ps.rcPaint;
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, canvas_, r.left, r.top, SRCCOPY);
  EndPaint(window_, &ps);
}

void BlockMapView::ShowChanges() {
  if (window_ == nullptr) return;
  PixelRect changed = ChangedCells(CellBytes(shown_), CellBytes(progress_.blockMap));
  if (changed.Empty()) return;
  DrawCellsOffScreen(/*all=*/false);
  HDC dc = GetDC(window_);
  BitBlt(dc, changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top,
         canvas_, changed.left, changed.top, SRCCOPY);
  ReleaseDC(window_, dc);
}

LRESULT CALLBACK BlockMapView::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BlockMapView* view = ViewOf<BlockMapView>(window, message, lParam);
  if (view == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      view->CreateCanvas(window);
      return 0;
    case WM_PAINT:
      view->Paint();
      return 0;
    case WM_DESTROY:
      view->DeleteCanvas();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void PercentBar::Draw(HDC dc, int fill) const {
  HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ brush = SelectObject(dc, palette_.Brush(CellState::kErased));
  if (fill > 0) Rectangle(dc, 0, 0, fill, kStatusBarDrawnHeight);
  SelectObject(dc, palette_.Brush(CellState::kUntouched));
  if (fill < kStatusBarWidth) Rectangle(dc, fill, 0, kStatusBarWidth, kStatusBarDrawnHeight);
  SelectObject(dc, brush);
  SelectObject(dc, pen);
}

void PercentBar::ShowChange() {
  if (window_ == nullptr) return;
  int fill = StatusBarFill(progress_.percent);
  if (fill == shownFill_) return;
  HDC dc = GetDC(window_);
  Draw(dc, fill);
  ReleaseDC(window_, dc);
  shownFill_ = fill;
}

LRESULT CALLBACK PercentBar::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PercentBar* bar = ViewOf<PercentBar>(window, message, lParam);
  if (bar == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      bar->window_ = window;
      bar->shownFill_ = -1;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      bar->shownFill_ = StatusBarFill(bar->progress_.percent);
      bar->Draw(dc, bar->shownFill_);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      bar->window_ = nullptr;
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace ql
