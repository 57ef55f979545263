#include "platform/win32/win32_desktop.h"

#include "platform/win32/win.h"

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

// The dialogs and the skinned main window come with the GUI; until then a password cannot be
// typed (answered as EXIT) and the countdown box is not shown (answered as closed), so nothing
// is shut down behind a person's back.
int Win32Desktop::AskPassword(WindowHandle, char*, uint32_t) {
  return 0;
}

ShutdownBoxEnd Win32Desktop::RunShutdownBox(WindowHandle, int) {
  return ShutdownBoxEnd::kClosed;
}

void Win32Desktop::EnableControl(Control, bool) {}

void Win32Desktop::Repaint(ProgressItem) {}

CursorShape Win32Desktop::SetCursor(CursorShape shape) {
  return shape;
}

void Win32Desktop::ReleaseSkin() {}

}  // namespace ql
