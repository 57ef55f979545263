// The entry point of quorrelite.exe: builds the seams, records the start-up, builds the program on
// them and runs the main window.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/program.h"
#include "app/startup.h"
#include "app/win32/main_window.h"
#include "app/win32/startup_inputs.h"
#include "app/win32/win32_desktop.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "sim/sim_machine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ql;
  Win32Desktop desktop(instance);
  Win32Machine realMachine;
  Win32Files files;
  Win32Allocator allocator;

  // QUORRELITE_MACHINE names a simulated machine folder: the demo, training and test bed.
  std::unique_ptr<sim::SimMachine> simMachine;
  const char* folder = std::getenv("QUORRELITE_MACHINE");
  if (folder != nullptr && *folder) {
    std::string error;
    simMachine = sim::OpenSimMachine(files, folder, &error);
    if (!simMachine) {
      std::string text = "The simulated machine cannot be used:\n" + error;
      ProgramMessage(desktop, nullptr, text.c_str(), kMbIconHand);
      return static_cast<int>(ManufacturingOutcome::kFatal);
    }
  }
  Machine& machine = simMachine ? static_cast<Machine&>(*simMachine) : realMachine;

  Win32StartupInputs gathered(instance);
  StartupState startup;
  if (RunStartup(desktop, gathered.inputs(), &startup) == Outcome::kFatal) return kExitFatal;
  // The caption and the factory log say so: a simulated run must never pass for a flash.
  if (simMachine) {
    std::snprintf(startup.SimulatedMachine, sizeof startup.SimulatedMachine, "%s", folder);
  }

  if (simMachine) simMachine->pause = [](uint32_t ms) { ::Sleep(ms); };
  // A person running the demo, or a line trying its script, reads today's times in the records.
  if (simMachine) simMachine->realClock = &realMachine;
  Program program(desktop, machine, files, allocator, startup);
  MainWindow mainWindow(program, desktop);
  if (simMachine) {
    // After the restart it records, the machine closes the program the way the system would:
    // the main dialog ends once the flash job has, and the exit status tells what the run
    // achieved. The job's thread asks; the window's thread carries it out.
    simMachine->closeProgram = [&] {
      if (!mainWindow.CloseBySystem()) simMachine->ExitProcess(program.ExitStatus());
    };
  }
  if (mainWindow.Run() == -1) {
    // No window means nothing was loaded or flashed; the line must not read that as success.
    return static_cast<int>(ManufacturingOutcome::kFatal);
  }
  return program.ExitStatus();
}
