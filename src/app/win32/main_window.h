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

// Sent by a job's thread to the main window as its last act: the job has ended.
inline constexpr UINT kWmJobEnded = WM_APP + 0x53;

// A flash, a backup or a DMI-only flash runs on a thread of its own, so that the window's thread
// never waits on the driver: it keeps answering the system and painting, refuses a shutdown and a
// suspend while the part may change (AnswerDuringJob), and runs every desktop call the job makes
// (Win32Desktop carries them here). Only one job runs at a time, and the main dialog does not end
// before it has ended.
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
  // Runs the Flash or Backup command as a job on a thread of its own.
  void StartJob(CommandAction action);
  void RunJob();
  static DWORD WINAPI JobThread(LPVOID self);
  // On kWmJobEnded: the window is the program's again, and a close that waited is carried out.
  void EndJob();
  // A message while a job runs that is not handled as usual: its answer to the dialog manager.
  INT_PTR HandleDuringJob(const JobAnswer& answer, WPARAM wParam);

  Program& program_;
  Win32Desktop& desktop_;
  Skin skin_;
  WindowDrag drag_;
  HWND window_ = nullptr;
  bool jobRunning_ = false;
  CommandAction jobAction_ = CommandAction::kNone;
  // The system closed the program while the job still ran.
  bool closeAfterJob_ = false;
};

}  // namespace ql
