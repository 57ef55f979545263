// The release programs' machine: the real flash driver, the system's power and restart, the
// system's files. Nothing in the environment changes that.
#include "app/win32/main/run_machine.h"

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"

namespace ql {

struct RunMachine::Parts {
  Win32Machine machine;
  Win32Files files;
};

RunMachine::RunMachine() : parts_(std::make_unique<Parts>()) {}
RunMachine::~RunMachine() = default;

bool RunMachine::Open(Desktop&) {
  return true;
}

Machine& RunMachine::machine() {
  return parts_->machine;
}

Files& RunMachine::files() {
  return parts_->files;
}

void RunMachine::Describe(StartupState&) const {}

void RunMachine::Attach(Program&, MainWindow&) {}

}  // namespace ql
