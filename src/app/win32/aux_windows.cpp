#include "app/win32/aux_windows.h"

#include <cstring>
#include <string>

#include "app/aux_windows.h"
#include "app/startup.h"
#include "flash/progress.h"
#include "resources/resource_ids.h"
#include "skin/skin_layout.h"

namespace ql {
namespace {

// Six brushes by cell value and the cell border pen, shared by the block map and the bar.
struct CellPaletteState {
  HBRUSH brush[kCellPaletteSize] = {};
  HPEN pen = nullptr;
};
CellPaletteState CellPalette;

void CreateCellPalette() {
  if (CellPalette.pen != nullptr) return;
  for (int i = 0; i < kCellPaletteSize; ++i) {
    CellPalette.brush[i] = CreateSolidBrush(CellColour(static_cast<uint8_t>(i)));
  }
  CellPalette.pen = CreatePen(PS_SOLID, 1, kCellBorderColour);
}

void DeleteCellPalette() {
  for (HBRUSH& b : CellPalette.brush) {
    if (b != nullptr) DeleteObject(b);
    b = nullptr;
  }
  if (CellPalette.pen != nullptr) DeleteObject(CellPalette.pen);
  CellPalette.pen = nullptr;
}

HBRUSH CellBrush(uint8_t value) {
  return CellPalette.brush[value < kCellPaletteSize ? value : 0];
}

// The block map keeps its picture off the screen: a flash changes a few cells per step, and
// only those are drawn, then copied to the window; a paint message copies what it uncovers.
struct BlockMapCanvas {
  HWND window = nullptr;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  uint8_t shown[kBlockMapCells] = {};
};
BlockMapCanvas MapCanvas;

void DrawCell(HDC dc, uint32_t index, uint8_t value) {
  PixelRect r = CellRect(index);
  SelectObject(dc, CellBrush(value));
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

// Brings the off-screen picture up to Progress.BlockMap; `all` redraws every cell.
void DrawCellsOffScreen(bool all) {
  HGDIOBJ pen = SelectObject(MapCanvas.dc, CellPalette.pen);
  HGDIOBJ brush = GetCurrentObject(MapCanvas.dc, OBJ_BRUSH);
  for (uint32_t i = 0; i < kBlockMapCells; ++i) {
    uint8_t value = Progress.BlockMap[i];
    if (!all && MapCanvas.shown[i] == value) continue;
    DrawCell(MapCanvas.dc, i, value);
    MapCanvas.shown[i] = value;
  }
  SelectObject(MapCanvas.dc, brush);
  SelectObject(MapCanvas.dc, pen);
}

void CreateMapCanvas(HWND window) {
  HDC screen = GetDC(window);
  MapCanvas.window = window;
  MapCanvas.dc = CreateCompatibleDC(screen);
  MapCanvas.bitmap = CreateCompatibleBitmap(screen, kBlockMapPixels, kBlockMapPixels);
  MapCanvas.previousBitmap = SelectObject(MapCanvas.dc, MapCanvas.bitmap);
  ReleaseDC(window, screen);
  DrawCellsOffScreen(/*all=*/true);
}

void DeleteMapCanvas() {
  if (MapCanvas.dc != nullptr) {
    SelectObject(MapCanvas.dc, MapCanvas.previousBitmap);
    DeleteDC(MapCanvas.dc);
  }
  if (MapCanvas.bitmap != nullptr) DeleteObject(MapCanvas.bitmap);
  MapCanvas = BlockMapCanvas{};
}

// The percent bar: a red part and a white part, outlined in the default black pen.
int ShownFill = -1;

void PaintStatusBar(HDC dc, int fill) {
  HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ brush = SelectObject(dc, CellBrush(kCellErased));
  if (fill > 0) Rectangle(dc, 0, 0, fill, kStatusBarDrawnHeight);
  SelectObject(dc, CellBrush(kCellUntouched));
  if (fill < kStatusBarWidth) Rectangle(dc, fill, 0, kStatusBarWidth, kStatusBarDrawnHeight);
  SelectObject(dc, brush);
  SelectObject(dc, pen);
}

DRAWITEMSTRUCT DrawRecord;

// The splash.
constexpr UINT_PTR kSplashTimer = 0x1000;
constexpr UINT kSplashMilliseconds = 3000;
constexpr WPARAM kSplashEndCommand = 0x8000042D;
HWND SplashMainWindow = nullptr;
HBITMAP SplashBitmap = nullptr;
HWND SplashPicture = nullptr;

void EndSplash(HWND dialog) {
  KillTimer(dialog, kSplashTimer);
  if (SplashBitmap != nullptr) DeleteObject(SplashBitmap);
  SplashBitmap = nullptr;
}

HINSTANCE ResourceModule();

// The help window: the shipped help text in a read-only edit control.
INT_PTR CALLBACK HelpDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HRSRC found = FindResourceA(ResourceModule(), "QUORRELHP_TEXT", MAKEINTRESOURCEA(10));
      HGLOBAL loaded = found != nullptr ? LoadResource(ResourceModule(), found) : nullptr;
      const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : "";
      uint32_t size = found != nullptr ? SizeofResource(ResourceModule(), found) : 0;
      std::string shown(static_cast<size_t>(size) * 2 + 1, '\0');
      ToCrLf(text, size, shown.data(), static_cast<uint32_t>(shown.size()));
      SetDlgItemTextA(dialog, IDC_HELP_TEXT, shown.c_str());
      RECT ignored;
      CentreWindow(dialog, &ignored);
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

bool FileIsViewerHelp(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  uint8_t head[4] = {};
  DWORD got = 0;
  BOOL ok = ReadFile(file, head, sizeof(head), &got, nullptr);
  CloseHandle(file);
  return ok && IsViewerHelpFile(head, got);
}

HINSTANCE ResourceModule() {
  return static_cast<HINSTANCE>(Startup.InstanceHandle);
}

void ScreenSize(int* width, int* height) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  *width = GetDeviceCaps(dc, HORZRES);
  *height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(desktop, dc);
}

}  // namespace

void RegisterAuxWindowClasses(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpfnWndProc = &BlockMapWindow;
  wc.lpszClassName = kBlockMapClass;
  RegisterClassExA(&wc);
  wc.lpfnWndProc = &StatusBarWindow;
  wc.lpszClassName = kStatusBarClass;
  RegisterClassExA(&wc);
}

LRESULT CALLBACK BlockMapWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateCellPalette();
      std::memset(Progress.BlockMap, 0, kBlockMapCells);
      std::memset(Progress.BaselineBlockMap, 0, kBlockMapCells);
      if (MapCanvas.window != nullptr) DeleteMapCanvas();
      CreateMapCanvas(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (MapCanvas.window == window) {
        DrawCellsOffScreen(/*all=*/false);
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, MapCanvas.dc, r.left, r.top,
               SRCCOPY);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (MapCanvas.window == window) DeleteMapCanvas();
      DeleteCellPalette();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK StatusBarWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      ShownFill = -1;
      return 0;
    case WM_PAINT: {
      // The brushes belong to the block map, created first; a bar alone still gets its colours.
      CreateCellPalette();
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      ShownFill = StatusBarFill(Progress.ProgressPercent);
      PaintStatusBar(dc, ShownFill);
      EndPaint(window, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void ShowBlockMapChanges(HWND blockMap) {
  if (MapCanvas.window != blockMap) return;
  PixelRect changed = ChangedCells(MapCanvas.shown, Progress.BlockMap);
  if (changed.Empty()) return;
  DrawCellsOffScreen(/*all=*/false);
  HDC dc = GetDC(blockMap);
  BitBlt(dc, changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top,
         MapCanvas.dc, changed.left, changed.top, SRCCOPY);
  ReleaseDC(blockMap, dc);
}

void ShowStatusBarChange(HWND statusBar) {
  int fill = StatusBarFill(Progress.ProgressPercent);
  if (fill == ShownFill) return;
  CreateCellPalette();
  HDC dc = GetDC(statusBar);
  PaintStatusBar(dc, fill);
  ReleaseDC(statusBar, dc);
  ShownFill = fill;
}

DWORD WINAPI SplashThread(LPVOID mainWindow) {
  SplashMainWindow = static_cast<HWND>(mainWindow);
  DialogBoxParamA(ResourceModule(), "SPLASH_BOX", GetDesktopWindow(), &SplashDialog, 0);
  SendMessageA(SplashMainWindow, WM_COMMAND, kSplashEndCommand, 0);
  return 1;
}

INT_PTR CALLBACK SplashDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      int sw = 0, sh = 0;
      ScreenSize(&sw, &sh);
      MoveWindow(dialog, (sw - kSplashWidth) / 2, (sh - kSplashHeight) / 2, kSplashWidth,
                 kSplashHeight, TRUE);
      SplashBitmap = LoadBitmapA(ResourceModule(), kSplashBitmap);
      SplashPicture =
          CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, kSplashWidth,
                          kSplashHeight, dialog, nullptr, GetModuleHandleA(nullptr), nullptr);
      SetTimer(dialog, kSplashTimer, kSplashMilliseconds, nullptr);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* record = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      HDC memory = CreateCompatibleDC(record->hDC);
      HGDIOBJ previous = SelectObject(memory, SplashBitmap);
      StretchBlt(record->hDC, 0, 0, kSplashWidth, kSplashHeight, memory, 0, 0, kSplashWidth,
                 kSplashHeight, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
      return TRUE;
    }
    case WM_COMMAND:
      // Only a click on the picture ends it early; the dialog manager's Return and Esc do not.
      if (lParam == 0 || reinterpret_cast<HWND>(lParam) != SplashPicture) return FALSE;
      EndSplash(dialog);
      EndDialog(dialog, 1);
      return TRUE;
    case WM_TIMER:
      if (wParam != kSplashTimer) return FALSE;
      EndSplash(dialog);
      if (SplashMainWindow != nullptr) {
        SetActiveWindow(SplashMainWindow);
        SetFocus(SplashMainWindow);
      }
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowHelp(HWND owner) {
  std::string path = std::string(Startup.ProgramDirectory) + "\\" + kHelpFileName;
  // The viewer is given the file only when it can read it: handed anything else it shows an
  // error of its own, and platforms without the viewer fail the call.
  if (FileIsViewerHelp(path.c_str()) && WinHelpA(owner, path.c_str(), HELP_CONTENTS, 0)) return;
  DialogBoxParamA(ResourceModule(), "HELP_BOX", owner, &HelpDialog, 0);
}

void CentreWindow(HWND window, RECT* out) {
  RECT r;
  GetWindowRect(window, &r);
  int sw = 0, sh = 0;
  ScreenSize(&sw, &sh);
  PixelRect centred = CentredRect(sw, sh, {r.left, r.top, r.right, r.bottom});
  if (out != nullptr) *out = RECT{centred.left, centred.top, centred.right, centred.bottom};
  MoveWindow(window, centred.left, centred.top, centred.right - centred.left,
             centred.bottom - centred.top, FALSE);
}

void SendDrawItem(HWND parent, HWND control, UINT itemState) {
  DrawRecord = DRAWITEMSTRUCT{};
  DrawRecord.CtlType = ODT_BUTTON;
  DrawRecord.itemAction = ODA_DRAWENTIRE;
  DrawRecord.itemState = itemState;
  DrawRecord.hwndItem = control;
  DrawRecord.hDC = GetDC(control);
  GetWindowRect(control, &DrawRecord.rcItem);
  SendMessageA(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DrawRecord));
  // The request is synchronous: the context is no longer in use once it returns.
  ReleaseDC(control, DrawRecord.hDC);
}

void RedrawOwnerDrawnControl(HWND parent, HWND control) {
  SendDrawItem(parent, control, ODS_DEFAULT);
}

}  // namespace ql
