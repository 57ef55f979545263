#include "app/win32/startup_inputs.h"

#include "platform/win32/win.h"

namespace ql {

Win32StartupInputs GatherStartupInputs(void* instance) {
  Win32StartupInputs g;
  g.inputs.instance = instance;

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);  // 148
  // A failed call leaves the platform id 0, which counts as the NT family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&version);
#pragma GCC diagnostic pop
  g.inputs.platformId = version.dwPlatformId;

  char directory[kCurrentDirectorySize] = {};
  DWORD n = GetCurrentDirectoryA(kCurrentDirectorySize, directory);
  // A folder that does not fit answers its required size and leaves the buffer unfilled: that is
  // as much a failure as an answer of 0.
  if (n != 0 && n < kCurrentDirectorySize) {
    g.currentDirectory = directory;
    g.inputs.currentDirectory = g.currentDirectory.c_str();
  }

  char module[MAX_PATH * 2] = {};
  DWORD m = GetModuleFileNameA(nullptr, module, sizeof(module));
  if (m > 0 && m < sizeof(module)) g.modulePath = module;
  g.inputs.modulePath = g.modulePath.c_str();
  g.inputs.rawCommandLine = GetCommandLineA();
  return g;
}

}  // namespace ql
