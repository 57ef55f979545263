#include "app/win32/startup_inputs.h"

#include "platform/win32/win.h"

namespace ql {

Win32StartupInputs::Win32StartupInputs(void* instance) {
  inputs_.instance = instance;

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);  // 148
  // A failed call leaves the platform id 0, which counts as the NT family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&version);
#pragma GCC diagnostic pop
  inputs_.platformId = version.dwPlatformId;

  char directory[kCurrentDirectorySize] = {};
  DWORD length = GetCurrentDirectoryA(kCurrentDirectorySize, directory);
  // A folder that does not fit answers its required size and leaves the buffer unfilled: that is
  // as much a failure as an answer of 0.
  if (length != 0 && length < kCurrentDirectorySize) {
    currentDirectory_ = directory;
    inputs_.currentDirectory = currentDirectory_.c_str();
  }

  char module[MAX_PATH * 2] = {};
  DWORD moduleLength = GetModuleFileNameA(nullptr, module, sizeof(module));
  if (moduleLength > 0 && moduleLength < sizeof(module)) modulePath_ = module;
  inputs_.modulePath = modulePath_.c_str();
  inputs_.rawCommandLine = GetCommandLineA();
}

}  // namespace ql
