// The common ground of the native tests: a fresh process state, a scripted desktop, a recording
// machine, real files and a failing allocator, installed for each test and removed after it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

#include "app/process_state.h"
#include "platform/platform.h"
#include "platform/posix/posix_files.h"
#include "platform/testing/failing_allocator.h"
#include "platform/testing/faulty_files.h"
#include "platform/testing/process_exit.h"
#include "platform/testing/recording_machine.h"
#include "platform/testing/scripted_desktop.h"

namespace ql::testing {

// Message boxes print as their words when an expectation fails.
inline void PrintTo(const MessageRecord& m, std::ostream* os) {
  *os << "{\"" << m.text << "\", \"" << m.caption << "\", 0x" << std::hex << m.style << std::dec
      << "}";
}

class SeamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    previous_ = InstallPlatform(PlatformSeam{&desktop, MachineUnderTest(), &files, &allocator});
  }
  void TearDown() override {
    ResetProcessState();
    InstallPlatform(previous_);
  }

  // The machine the test runs on; a fixture over the simulated machine overrides this.
  virtual Machine* MachineUnderTest() { return &machine; }

  // Runs `body` and answers the exit status it ended the process with, or nullopt when it
  // returned normally.
  static std::optional<int> ExitStatusOf(const std::function<void()>& body) {
    try {
      body();
    } catch (const ProcessExit& e) {
      return e.code;
    }
    return std::nullopt;
  }

  ScriptedDesktop desktop;
  RecordingMachine machine;
  PosixFiles posixFiles;
  FaultyFiles files{posixFiles};
  FailingAllocator allocator;

 private:
  PlatformSeam previous_;
};

}  // namespace ql::testing
