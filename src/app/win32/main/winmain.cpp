// The entry point of quorrelite.exe.
#include <cstdlib>
#include <memory>
#include <string>

#include "app/main_controller.h"
#include "app/startup.h"
#include "app/win32/aux_windows.h"
#include "app/win32/main_window.h"
#include "app/win32/startup_inputs.h"
#include "platform/platform.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "sim/sim_machine.h"

namespace {

ql::Win32Desktop gDesktop;
ql::Win32Machine gRealMachine;
std::unique_ptr<ql::sim::SimMachine> gSimMachine;
ql::Win32Files gFiles;
ql::Win32Allocator gAllocator;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // QUORRELITE_MACHINE names a simulated machine folder: the demo, training and test bed.
  ql::Machine* machine = &gRealMachine;
  if (const char* folder = std::getenv("QUORRELITE_MACHINE"); folder != nullptr && *folder) {
    std::string error;
    gSimMachine = ql::sim::OpenSimMachine(folder, &error);
    if (!gSimMachine) {
      std::string text = "The simulated machine cannot be used:\n" + error;
      MessageBoxA(nullptr, text.c_str(), "Quorrelite", MB_ICONHAND);
      return static_cast<int>(ql::ManufacturingOutcome::kFatal);
    }
    // After the restart it records, the machine closes the program the way the system would:
    // the main dialog ends and the exit status tells what the run achieved.
    gSimMachine->closeProgram = [] { ql::CloseProgramBySystem(); };
    machine = gSimMachine.get();
  }
  ql::InstallPlatform(ql::PlatformSeam{&gDesktop, machine, &gFiles, &gAllocator});
  ql::RegisterAuxWindowClasses(instance);
  ql::Win32StartupInputs gathered = ql::GatherStartupInputs(instance);
  ql::RunStartup(gathered.inputs);
  if (ql::RunMainDialog() == -1) {
    // No window means nothing was loaded or flashed; the line must not read that as success.
    return static_cast<int>(ql::ManufacturingOutcome::kFatal);
  }
  return ql::ExitStatusAfterMainDialog();
}
