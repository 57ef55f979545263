#pragma once

#include "platform/desktop.h"

namespace ql {

// The desktop of the real program. Message boxes and the file dialogs are the platform's own;
// the windows of the main dialog register themselves here as they are created.
class Win32Desktop final : public Desktop {
 public:
  int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                     uint32_t style) override;
  int ChooseOpenFile(const FileDialogRequest& request) override;
  int ChooseSaveFile(const FileDialogRequest& request) override;
  int AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) override;
  ShutdownBoxEnd RunShutdownBox(WindowHandle owner, int seconds) override;
  void EnableControl(Control control, bool enabled) override;
  void Repaint(ProgressItem item) override;
  CursorShape SetCursor(CursorShape shape) override;
  void ReleaseSkin() override;
};

}  // namespace ql
