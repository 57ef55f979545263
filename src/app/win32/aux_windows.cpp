#include "app/win32/aux_windows.h"

#include <cstdint>
#include <memory>
#include <string>

#include "resources/resource_ids.h"
#include "skin/aux_layout.h"
#include "skin/skin_layout.h"

namespace ql {
namespace {

constexpr UINT_PTR kSplashTimer = 0x1000;
constexpr UINT kSplashMilliseconds = 3000;

// What the splash's thread holds: it owns the record and frees it when the splash has ended.
struct Splash {
  HWND mainWindow = nullptr;
  HINSTANCE resources = nullptr;
  HBITMAP bitmap = nullptr;
  HWND picture = nullptr;
};

void ScreenSize(int* width, int* height) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  *width = GetDeviceCaps(dc, HORZRES);
  *height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(desktop, dc);
}

void EndSplash(HWND dialog, Splash& splash) {
  KillTimer(dialog, kSplashTimer);
  if (splash.bitmap != nullptr) DeleteObject(splash.bitmap);
  splash.bitmap = nullptr;
}

INT_PTR CALLBACK SplashDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* splash = reinterpret_cast<Splash*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (splash == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      int screenWidth = 0, screenHeight = 0;
      ScreenSize(&screenWidth, &screenHeight);
      MoveWindow(dialog, (screenWidth - kSplashWidth) / 2, (screenHeight - kSplashHeight) / 2,
                 kSplashWidth, kSplashHeight, TRUE);
      splash->bitmap = LoadBitmapA(splash->resources, kSplashBitmap);
      splash->picture =
          CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, kSplashWidth,
                          kSplashHeight, dialog, nullptr, GetModuleHandleA(nullptr), nullptr);
      SetTimer(dialog, kSplashTimer, kSplashMilliseconds, nullptr);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* record = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      HDC memory = CreateCompatibleDC(record->hDC);
      HGDIOBJ previous = SelectObject(memory, splash->bitmap);
      StretchBlt(record->hDC, 0, 0, kSplashWidth, kSplashHeight, memory, 0, 0, kSplashWidth,
                 kSplashHeight, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
      return TRUE;
    }
    case WM_COMMAND:
      // Only a click on the picture ends it early; the dialog manager's Return and Esc do not.
      if (lParam == 0 || reinterpret_cast<HWND>(lParam) != splash->picture) return FALSE;
      EndSplash(dialog, *splash);
      EndDialog(dialog, 1);
      return TRUE;
    case WM_TIMER:
      if (wParam != kSplashTimer) return FALSE;
      EndSplash(dialog, *splash);
      if (splash->mainWindow != nullptr) {
        SetActiveWindow(splash->mainWindow);
        SetFocus(splash->mainWindow);
      }
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

DWORD WINAPI SplashThread(LPVOID start) {
  std::unique_ptr<Splash> splash(static_cast<Splash*>(start));
  DialogBoxParamA(splash->resources, "SPLASH_BOX", GetDesktopWindow(), &SplashDialog,
                  reinterpret_cast<LPARAM>(splash.get()));
  SendMessageA(splash->mainWindow, WM_COMMAND, kSplashEndCommand, 0);
  return 1;
}

// The help window: the shipped help text in a read-only edit control. lParam: the resources.
INT_PTR CALLBACK HelpDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto resources = reinterpret_cast<HINSTANCE>(lParam);
      HRSRC found = FindResourceA(resources, "QUORRELHP_TEXT", MAKEINTRESOURCEA(10));
      HGLOBAL loaded = found != nullptr ? LoadResource(resources, found) : nullptr;
      const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : "";
      uint32_t size = found != nullptr ? SizeofResource(resources, found) : 0;
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

}  // namespace

void StartSplash(HWND mainWindow, HINSTANCE resources) {
  auto splash = std::make_unique<Splash>();
  splash->mainWindow = mainWindow;
  splash->resources = resources;
  HANDLE thread = CreateThread(nullptr, 0, SplashThread, splash.get(), 0, nullptr);
  if (thread == nullptr) return;
  splash.release();  // the thread's now
  CloseHandle(thread);
}

void ShowHelp(HWND owner, HINSTANCE resources, const char* programDirectory) {
  std::string path = std::string(programDirectory) + "\\" + kHelpFileName;
  // The viewer is given the file only when it can read it: handed anything else it shows an
  // error of its own, and platforms without the viewer fail the call.
  if (FileIsViewerHelp(path.c_str()) && WinHelpA(owner, path.c_str(), HELP_CONTENTS, 0)) return;
  DialogBoxParamA(resources, "HELP_BOX", owner, &HelpDialog, reinterpret_cast<LPARAM>(resources));
}

void CentreWindow(HWND window, RECT* out) {
  RECT r;
  GetWindowRect(window, &r);
  int screenWidth = 0, screenHeight = 0;
  ScreenSize(&screenWidth, &screenHeight);
  PixelRect centred = CentredRect(screenWidth, screenHeight, {r.left, r.top, r.right, r.bottom});
  if (out != nullptr) *out = RECT{centred.left, centred.top, centred.right, centred.bottom};
  MoveWindow(window, centred.left, centred.top, centred.right - centred.left,
             centred.bottom - centred.top, FALSE);
}

}  // namespace ql
