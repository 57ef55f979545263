#include "app/win32/win32_desktop.h"

#include "app/win32/dialogs.h"

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

bool Win32Desktop::ChooseOpenFile(const FileDialogRequest& request) {
  OPENFILENAMEA ofn = ToOpenFileName(request);
  return GetOpenFileNameA(&ofn) != FALSE;
}

bool Win32Desktop::ChooseSaveFile(const FileDialogRequest& request) {
  OPENFILENAMEA ofn = ToOpenFileName(request);
  return GetSaveFileNameA(&ofn) != FALSE;
}

bool Win32Desktop::AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) {
  return ShowPasswordDialog(resources_, static_cast<HWND>(owner), *this, entry, entrySize);
}

ShutdownBoxEnd Win32Desktop::RunShutdownBox(WindowHandle owner, int seconds) {
  return ShowShutdownBox(resources_, static_cast<HWND>(owner), seconds);
}

void Win32Desktop::EnableControl(Control control, bool enabled) {
  if (skin_ == nullptr) return;
  if (HWND button = skin_->Button(control)) EnableWindow(button, enabled ? TRUE : FALSE);
}

void Win32Desktop::Repaint(ProgressItem item) {
  if (skin_ != nullptr) skin_->Repaint(item);
}

CursorShape Win32Desktop::SetCursor(CursorShape shape) {
  HCURSOR cursor = shape == CursorShape::kAtOnce
                       ? LoadCursorA(resources_, kAtOnceCursor)
                       : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  if (cursor != nullptr) ::SetCursor(cursor);
  CursorShape previous = cursor_;
  cursor_ = shape;
  return previous;
}

void Win32Desktop::ReleaseSkin() {
  if (skin_ != nullptr) skin_->Release();
}

}  // namespace ql
