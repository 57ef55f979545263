// The machine a run of quorrelite.exe works on, and the files it works with. The build chooses the
// one implementation that is compiled in: the release programs have run_machine_real.cpp alone,
// so nothing in them can put the program on anything but the real flash driver; the demo and
// test builds (CMake option QL_SIMULATOR) have run_machine_simulated.cpp, which runs on a
// simulated machine when QUORRELITE_MACHINE names one.
#pragma once

#include <memory>

#include "app/program.h"
#include "app/startup.h"
#include "app/win32/main_window.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/machine.h"

namespace ql {

class RunMachine {
 public:
  RunMachine();
  ~RunMachine();
  RunMachine(const RunMachine&) = delete;
  RunMachine& operator=(const RunMachine&) = delete;

  // Chooses the machine, before the start-up; false after a box has told why the run cannot go
  // on (the entry point then ends with the fatal status).
  bool Open(Desktop& desktop);
  Machine& machine();
  Files& files();
  // Notes in the start-up state what the caption and the factory log must say about the machine.
  void Describe(StartupState& startup) const;
  // The program and its window exist: a machine that closes the program as the system would is
  // given the way to do it.
  void Attach(Program& program, MainWindow& window);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace ql
