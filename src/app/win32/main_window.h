// The main window: the dialog "QUORRELITE_BOX", its skin, and the procedure that turns window
// messages into the program's commands (app/program.h) and the window decisions of
// app/main_controller.h.
#pragma once

#include "app/main_controller.h"
#include "app/program.h"
#include "app/win32/win32_desktop.h"
#include "platform/win32/win.h"
#include "skin/win32/skin.h"

namespace ql {

// Posted to the main window when the operating system closes the program after the restart the
// shutdown box asked for; it ends the main dialog as the system's close would.
inline constexpr UINT kWmClosedBySystem = WM_APP + 0x51;

class MainWindow {
 public:
  // The desktop shows this window's skin from now on, until the window object goes.
  MainWindow(Program& program, Win32Desktop& desktop);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Runs the main dialog modally; answers DialogBoxParamA's result (-1 when it could not be made).
  INT_PTR Run();

  // The operating system closes the program: the program learns it, and the main dialog ends at
  // its next message. False when there is no main window to end.
  bool CloseBySystem();

  const Skin& skin() const { return skin_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Initialise();
  void Command(WPARAM wParam, LPARAM lParam);
  void Exit();
  CommandSource SourceOf(HWND control) const;
  FocusHolder HolderOf(HWND focus) const;
  // A command "as if the button had sent it": the same message the button's click sends.
  void SendButtonCommand(Control button, int id);

  Program& program_;
  Win32Desktop& desktop_;
  Skin skin_;
  WindowDrag drag_;
  HWND window_ = nullptr;
};

}  // namespace ql
