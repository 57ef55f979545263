// The demo and test builds' machine: the real one, or the simulated machine whose folder
// QUORRELITE_MACHINE names (the demo, the training and the end-to-end test bed).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/win32/main/run_machine.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "sim/sim_machine.h"

namespace ql {
namespace {

// Files as the 98 family has them, whose kernel has no MoveFileExA: Wine set to Windows 98
// still exports it, so the end-to-end run asks for this with QUORRELITE_WITHOUT_MOVEFILEEX to
// take the path a real Windows 98 takes.
class FilesWithoutMoveFileEx final : public Win32Files {
 public:
  bool Replace(const char* from, const char* to) override { return ReplaceInSteps(from, to); }
};

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

struct RunMachine::Parts {
  Win32Machine realMachine;
  Win32Files systemFiles;
  FilesWithoutMoveFileEx filesWithoutMoveFileEx;
  Files* files = &systemFiles;
  std::unique_ptr<sim::SimMachine> simMachine;
  std::string folder;
};

RunMachine::RunMachine() : parts_(std::make_unique<Parts>()) {}
RunMachine::~RunMachine() = default;

bool RunMachine::Open(Desktop& desktop) {
  if (Set("QUORRELITE_WITHOUT_MOVEFILEEX")) parts_->files = &parts_->filesWithoutMoveFileEx;
  if (!Set("QUORRELITE_MACHINE")) return true;
  parts_->folder = std::getenv("QUORRELITE_MACHINE");
  std::string error;
  parts_->simMachine = sim::OpenSimMachine(*parts_->files, parts_->folder, &error);
  if (parts_->simMachine) {
    parts_->simMachine->pause = [](uint32_t ms) { ::Sleep(ms); };
    // A person running the demo, or a line trying its script, reads today's times in the records.
    parts_->simMachine->realClock = &parts_->realMachine;
    return true;
  }
  std::string text = "The simulated machine cannot be used:\n" + error;
  ProgramMessage(desktop, nullptr, text.c_str(), kMbIconHand);
  return false;
}

Machine& RunMachine::machine() {
  if (parts_->simMachine) return *parts_->simMachine;
  return parts_->realMachine;
}

Files& RunMachine::files() {
  return *parts_->files;
}

void RunMachine::Describe(StartupState& startup) const {
  if (!parts_->simMachine) return;
  const char* folder = parts_->folder.c_str();
  std::snprintf(startup.CaptionNote, sizeof startup.CaptionNote, " - simulated machine %s", folder);
  std::snprintf(startup.LogNote, sizeof startup.LogNote, "Running on the simulated machine in %s!!",
                folder);
}

void RunMachine::Attach(Program& program, MainWindow& window) {
  sim::SimMachine* machine = parts_->simMachine.get();
  if (machine == nullptr) return;
  // After the restart it records, the machine closes the program the way the system would: the
  // main dialog ends and the exit status tells what the run achieved.
  machine->closeProgram = [machine, &program, &window] {
    if (!window.CloseBySystem()) machine->ExitProcess(program.ExitStatus());
  };
}

}  // namespace ql
