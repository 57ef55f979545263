// The common ground of the native tests: a simulated machine built from a ROM image and a profile,
// a scripted desktop, real files (with injectable failures) in a folder of the test's own, a
// failing allocator, and the program built on them the way the entry point builds it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/program.h"
#include "app/startup.h"
#include "platform/posix/posix_files.h"
#include "platform/testing/failing_allocator.h"
#include "platform/testing/faulty_files.h"
#include "platform/testing/process_exit.h"
#include "platform/testing/scripted_desktop.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "support/temp_folder.h"

namespace ql::testing {

// Message boxes print as their words when an expectation fails.
inline void PrintTo(const MessageRecord& m, std::ostream* os) {
  *os << "{\"" << m.text << "\", \"" << m.caption << "\", 0x" << std::hex << m.style << std::dec
      << "}";
}

inline MessageRecord Box(const char* text, uint32_t style, const char* caption = kProgramName) {
  return {text, caption, style};
}
inline MessageRecord Stop(const char* text, const char* caption = kProgramName) {
  return {text, caption, kMbIconHand};
}

inline Bytes BuildImage(const sim::RomSpec& spec = {}) {
  Bytes image;
  std::string error;
  EXPECT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
  return image;
}

class ProgramTest : public ::testing::Test {
 protected:
  // A machine running the image of `running` with the default profile.
  explicit ProgramTest(const sim::RomSpec& running = {}) { UseMachine({}, BuildImage(running)); }

  // Another machine for this test; the program built next runs on it (the one before goes first).
  void UseMachine(const sim::SimProfile& profile, Bytes part, sim::BootState boot = {}) {
    program.reset();
    std::string error;
    sim = sim::SimMachine::Create(profile, std::move(part), &error, std::move(boot));
    ASSERT_TRUE(sim) << error;
    HookSystem();
  }
  // Another machine, kept in the folder "machine" of the test's: its part is written to the
  // folder's flash.bin through the test's files, which can fail.
  void UseMachineFolder(const std::string& profileText, const Bytes& part) {
    program.reset();
    sim.reset();
    std::string error;
    ASSERT_TRUE(sim::CreateMachineFolder(files, folder.Path("machine"), part, profileText, &error))
        << error;
    sim = sim::OpenSimMachine(files, folder.Path("machine"), &error);
    ASSERT_TRUE(sim) << error;
    HookSystem();
  }
  // The simulated system ends the process as a test can observe it. Its close after a shutdown or
  // restart arrives as a message would, once the command that asked for it has returned.
  void HookSystem() {
    sim->exitProcess = [](int code) { throw ProcessExit{code}; };
    sim->closeProgram = [this] { ++systemCloses; };
  }

  // What the start-up records: the test's folder is the current folder, its "prog" subfolder the
  // program's; `argument` is the command line's argument text ("/M image.rom", a file, or none).
  StartupState Startup(const std::string& argument = "") const {
    StartupState s;
    s.OsFamily = kWin2000;
    std::snprintf(s.CurrentDirectory, sizeof s.CurrentDirectory, "%s", folder.Path().c_str());
    std::snprintf(s.ProgramDirectory, sizeof s.ProgramDirectory, "%s", folder.Path("prog").c_str());
    std::snprintf(s.StartupArgument, sizeof s.StartupArgument, "%s", argument.c_str());
    if (!argument.empty()) {
      s.StartupFilePending = ParseStartupArgument(s);
      if (s.StartupFilePending && !s.PlainArgument)
        std::memcpy(s.StartupArgument, s.ManufacturingFileName, sizeof s.StartupArgument);
    }
    return s;
  }

  // A fresh run of the program on the machine, initialised as the main window (`window`) does it.
  Program& Run(const StartupState& startup, WindowHandle window = nullptr) {
    program = std::make_unique<Program>(desktop, *sim, files, allocator, startup);
    program->Initialise(window);
    return *program;
  }
  Program& Run(const std::string& argument = "", WindowHandle window = nullptr) {
    return Run(Startup(argument), window);
  }

  // Runs `body`: the exit status it ended the process with, or nullopt when it returned normally.
  static std::optional<int> ExitStatusOf(const std::function<void()>& body) {
    try {
      body();
    } catch (const ProcessExit& e) {
      return e.code;
    }
    return std::nullopt;
  }

  // Loads `image` through the Load command, as a person picking it in the open dialog.
  void Load(const Bytes& image, const std::string& name = "new.rom") {
    desktop.openFileAnswers.push_back(folder.Write(name, image));
    program->LoadCommand(nullptr);
  }

  // The program puts a backslash after its folder, so on POSIX its files are "prog\<name>" here.
  std::string ProgramFile(const std::string& name) const {
    return folder.Path("prog") + "\\" + name;
  }

  // Removes the journals of cut flashes the program left beside itself, so that a machine made
  // anew does not start as if its last flash had been cut.
  void ForgetJournals() const {
    for (const auto& file : std::filesystem::directory_iterator(folder.Path())) {
      if (file.path().filename().string().find("flashing-") != std::string::npos)
        std::filesystem::remove(file.path());
    }
  }

  const Bytes& Part() const { return sim->FlashContents(); }
  uint32_t Calls(uint32_t function) const { return sim->BiosCallCount(function); }
  uint32_t Requests(uint32_t code) const { return sim->DriverRequestCount(code); }

  TempFolder folder;
  ScriptedDesktop desktop;
  PosixFiles posixFiles;
  FaultyFiles files{posixFiles};
  FailingAllocator allocator;
  std::unique_ptr<sim::SimMachine> sim;
  std::unique_ptr<Program> program;
  int systemCloses = 0;  // the simulated system closed the program after a shutdown or restart
};

}  // namespace ql::testing
