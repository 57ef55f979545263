#pragma once

#include <string>

#include "app/startup.h"

namespace ql {

// What the entry point reads from the platform before start-up: the family, the folders and the
// raw command line. The strings live in `storage`.
struct Win32StartupInputs {
  StartupInputs inputs;
  std::string currentDirectory;
  std::string modulePath;
};

Win32StartupInputs GatherStartupInputs(void* instance);

}  // namespace ql
