// The desktop of the real program: the platform's message boxes and file dialogs, the program's
// own dialogs, and the skin of the main window once it is shown.
#pragma once

#include "platform/desktop.h"
#include "platform/win32/win.h"
#include "skin/win32/skin.h"

namespace ql {

class Win32Desktop : public Desktop {
 public:
  // `resources` holds the dialog templates and the cursor.
  explicit Win32Desktop(HINSTANCE resources) : resources_(resources) {}

  // From now on the buttons, the repaints and the release go to `skin`; without one (null) there
  // is no window for them and they do nothing.
  void Show(Skin* skin) { skin_ = skin; }
  HINSTANCE Resources() const { return resources_; }

  int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                     uint32_t style) override;
  bool ChooseOpenFile(const FileDialogRequest& request) override;
  bool ChooseSaveFile(const FileDialogRequest& request) override;
  bool AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) override;
  ShutdownBoxEnd RunShutdownBox(WindowHandle owner, int seconds) override;
  void EnableControl(Control control, bool enabled) override;
  void Repaint(ProgressItem item) override;
  CursorShape SetCursor(CursorShape shape) override;
  void ReleaseSkin() override;

 private:
  HINSTANCE resources_;
  Skin* skin_ = nullptr;
  CursorShape cursor_ = CursorShape::kArrow;
};

}  // namespace ql
