#include "platform/win32/win32_desktop.h"

#include "app/win32/dialogs.h"
#include "flash/power.h"
#include "platform/win32/win.h"
#include "skin/win32/skin.h"

namespace ql {
namespace {

OPENFILENAMEA ToOpenFileName(const FileDialogRequest& r) {
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = static_cast<HWND>(r.owner);
  ofn.lpstrFilter = r.filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = r.fileName;
  ofn.nMaxFile = r.fileNameSize;
  ofn.lpstrInitialDir = r.initialDirectory;
  ofn.lpstrTitle = r.title;
  ofn.lpstrDefExt = r.defaultExtension;
  ofn.Flags = r.flags;
  return ofn;
}

}  // namespace

int Win32Desktop::ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                 uint32_t style) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

int Win32Desktop::ChooseOpenFile(const FileDialogRequest& request) {
  OPENFILENAMEA ofn = ToOpenFileName(request);
  return GetOpenFileNameA(&ofn);
}

int Win32Desktop::ChooseSaveFile(const FileDialogRequest& request) {
  OPENFILENAMEA ofn = ToOpenFileName(request);
  return GetSaveFileNameA(&ofn);
}

int Win32Desktop::AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) {
  PasswordEntry typed{entry, entrySize};
  INT_PTR end = DialogBoxParamA(ResourceInstance(), "PASSWORD_BOX", static_cast<HWND>(owner),
                                PasswordDialog, reinterpret_cast<LPARAM>(&typed));
  // A dialog that could not be made is no password: the session ends as after EXIT.
  return end == 1 ? 1 : 0;
}

ShutdownBoxEnd Win32Desktop::RunShutdownBox(WindowHandle owner, int seconds) {
  Power.ShutdownCountdown = seconds;
  INT_PTR end = DialogBoxParamA(ResourceInstance(), "SHUTDOWN_BOX", static_cast<HWND>(owner),
                                ShutdownDialog, 0);
  switch (end) {
    case kShutdownEndElapsed:
      return ShutdownBoxEnd::kCountdownElapsed;
    case kShutdownEndNow:
      return ShutdownBoxEnd::kShutdownNow;
    default:
      // Closed, or the box could not be shown: nothing is shut down behind a person's back.
      return ShutdownBoxEnd::kClosed;
  }
}

void Win32Desktop::EnableControl(Control control, bool enabled) {
  if (HWND button = SkinButton(control)) EnableWindow(button, enabled ? TRUE : FALSE);
}

void Win32Desktop::Repaint(ProgressItem item) {
  RepaintProgressItem(item);
}

CursorShape Win32Desktop::SetCursor(CursorShape shape) {
  static CursorShape current = CursorShape::kArrow;
  HCURSOR cursor = shape == CursorShape::kAtOnce
                       ? LoadCursorA(ResourceInstance(), "ATONCE_CURSOR")
                       : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  if (cursor != nullptr) ::SetCursor(cursor);
  CursorShape previous = current;
  current = shape;
  return previous;
}

void Win32Desktop::ReleaseSkin() {
  ql::ReleaseSkin();
}

}  // namespace ql
