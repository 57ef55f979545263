// The entry point of quorrelite.exe.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/startup.h"
#include "app/win32/startup_inputs.h"
#include "driver/driver_link.h"
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
      return 1;
    }
    machine = gSimMachine.get();
  }
  ql::InstallPlatform(ql::PlatformSeam{&gDesktop, machine, &gFiles, &gAllocator});
  ql::Win32StartupInputs gathered = ql::GatherStartupInputs(instance);
  ql::RunStartup(gathered.inputs);

  // The main window is not built yet: run the start-up as far as the driver link and say so.
  std::printf("Quorrelite start-up: OS family 0x%X, program folder \"%s\", %s, file \"%s\"\n",
              ql::Startup.OsFamily, ql::Startup.ProgramDirectory,
              ql::Startup.ManufacturingMode ? "manufacturing mode" : "normal mode",
              ql::Startup.StartupFilePending ? ql::Startup.StartupArgument : "");
  if (ql::OpenDriver(nullptr) != 0) {
    std::printf("Quorrelite: the flash driver could not be opened; exit status 1\n");
    std::fflush(stdout);
    return 1;
  }
  std::printf("Quorrelite: flash driver open. The main window is not built yet.\n");
  std::fflush(stdout);
  return 0;
}
