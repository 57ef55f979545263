// What the entry point reads from the platform before start-up.
#pragma once

#include <string>

#include "app/startup.h"

namespace ql {

// The family, the folders and the raw command line, gathered at construction. The inputs point
// into the strings kept here, so the record is neither copied nor moved.
class Win32StartupInputs {
 public:
  explicit Win32StartupInputs(void* instance);
  Win32StartupInputs(const Win32StartupInputs&) = delete;
  Win32StartupInputs& operator=(const Win32StartupInputs&) = delete;

  const StartupInputs& inputs() const { return inputs_; }

 private:
  StartupInputs inputs_;
  std::string currentDirectory_;
  std::string modulePath_;
};

}  // namespace ql
