// The entry point of quorrelite.exe: chooses the machine, records the start-up, builds the program
// on the seams and runs the main window.
#include "app/program.h"
#include "app/startup.h"
#include "app/win32/main/run_machine.h"
#include "app/win32/main_window.h"
#include "app/win32/startup_inputs.h"
#include "app/win32/win32_desktop.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_machine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ql;
  Win32Desktop desktop(instance);
  Win32Allocator allocator;
  RunMachine run;
  if (!run.Open(desktop)) return static_cast<int>(ManufacturingOutcome::kFatal);

  Win32StartupInputs gathered(instance);
  StartupState startup;
  if (RunStartup(desktop, gathered.inputs(), &startup) == Outcome::kFatal) return kExitFatal;
  run.Describe(startup);

  Program program(desktop, run.machine(), run.files(), allocator, startup);
  MainWindow mainWindow(program, desktop);
  run.Attach(program, mainWindow);
  if (mainWindow.Run() == -1) {
    // No window means nothing was loaded or flashed; the line must not read that as success.
    return static_cast<int>(ManufacturingOutcome::kFatal);
  }
  return program.ExitStatus();
}
