// The desktop of the real program: the platform's message boxes and file dialogs, the program's
// own dialogs, and the skin of the main window once it is shown.
//
// Every window of the program belongs to one thread, the main window's. A job (a flash, a backup)
// runs on a thread of its own so that the window's thread never waits on the driver; what the job
// asks of the desktop is carried to the window's thread and run there while the job waits.
#pragma once

#include "platform/desktop.h"
#include "platform/win32/win.h"
#include "skin/win32/skin.h"

namespace ql {

// Sent to the window that carries calls, with a WindowThreadCall* in lParam: the window's
// procedure hands it to Win32Desktop::RunCarriedCall.
inline constexpr UINT kWmDesktopCall = WM_APP + 0x52;

class Win32Desktop : public Desktop {
 public:
  // `resources` holds the dialog templates and the cursor.
  explicit Win32Desktop(HINSTANCE resources) : resources_(resources) {}
  ~Win32Desktop() override;
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  // From now on the buttons, the repaints and the release go to `skin`; without one (null) there
  // is no window for them and they do nothing.
  void Show(Skin* skin) { skin_ = skin; }
  HINSTANCE Resources() const { return resources_; }

  // Calls made on a thread other than `window`'s are sent to `window` and run on its thread; null
  // runs every call where it is made. The window must outlive every thread that calls meanwhile.
  void CarryTo(HWND window);
  // The window's procedure, on kWmDesktopCall.
  static void RunCarriedCall(LPARAM call);

  // While held (by the window's thread, for a job that may change the part), the system is kept
  // awake and the main window refuses a shutdown, a log-off and a suspend. Opening the shutdown
  // box lets go: the job is done with the part, and the box itself offers to bring the system down.
  void HoldSystem(bool held);
  bool SystemHeld() const { return held_; }

  // The main window's answer to WM_SETCURSOR: the shape the logic chose stays while the mouse
  // moves over the window. False when that is the arrow, which the window's class shows anyway.
  bool ShowChosenCursor() const;

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
  template <typename Call>
  auto OnWindowThread(Call call) -> decltype(call());

  HINSTANCE resources_;
  Skin* skin_ = nullptr;
  CursorShape cursor_ = CursorShape::kArrow;
  HWND carrier_ = nullptr;
  DWORD carrierThread_ = 0;
  bool held_ = false;
};

}  // namespace ql
