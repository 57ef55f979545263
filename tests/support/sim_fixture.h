// Tests on the simulated machine: a machine built from a ROM image and a profile, installed as
// the machine under test, and the program's start-up up to its first command.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bios/bios_interface.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "support/seam_fixture.h"
#include "support/temp_folder.h"

namespace ql::testing {

inline Bytes BuildImage(const sim::RomSpec& spec = {}) {
  Bytes image;
  std::string error;
  EXPECT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
  return image;
}

inline MessageRecord Box(const char* text, uint32_t style, const char* caption = "Quorrelite") {
  return {text, caption, style};
}
inline MessageRecord Stop(const char* text, const char* caption = "Quorrelite") {
  return {text, caption, kMbIconHand};
}

class SimSeamTest : public SeamTest {
 protected:
  explicit SimSeamTest(const sim::RomSpec& running = {}) {
    Make(sim::SimProfile{}, BuildImage(running));
  }
  Machine* MachineUnderTest() override { return sim_.get(); }

  void Make(const sim::SimProfile& profile, Bytes part, sim::BootState boot = {}) {
    std::string error;
    sim_ = sim::SimMachine::Create(profile, std::move(part), &error, std::move(boot));
    ASSERT_TRUE(sim_) << error;
    Hook();
  }
  // The simulated system ends the process as a test can observe it.
  void Hook() {
    sim_->exitProcess = [](int code) { throw ProcessExit{code}; };
    sim_->closeProgram = [] { throw ProcessExit{0}; };
  }
  // Another machine for this test, installed in place of the current one.
  void Use(const sim::SimProfile& profile, Bytes part, sim::BootState boot = {}) {
    Make(profile, std::move(part), std::move(boot));
    InstallPlatform(PlatformSeam{&desktop, sim_.get(), &files, &allocator});
  }
  // A fresh run of the program on another machine, started up to its first command.
  void Fresh(const sim::SimProfile& profile, Bytes part) {
    Use(profile, std::move(part));
    ResetProcessState();
    desktop = ScriptedDesktop{};
    files.writeCounts.clear();
    Start();
  }

  // The start-up of the program up to its first command.
  void Start() {
    ASSERT_EQ(OpenDriver(nullptr), 0);
    ASSERT_EQ(DiscoverBiosInterface(nullptr), 0);
    SetUpBiosCallBuffers(nullptr);
    RomImage.RomSize = SystemBcpSys.Block.RomSizeKb * 1024u;
  }

  const Bytes& Part() const { return sim_->FlashContents(); }
  static Bytes Slice(const Bytes& b, uint32_t offset, uint32_t count) {
    return Bytes(b.begin() + offset, b.begin() + offset + count);
  }
  uint32_t Calls(uint32_t function) const { return sim_->BiosCallCount(function); }
  uint32_t Requests(uint32_t code) const { return sim_->DriverRequestCount(code); }

  std::unique_ptr<sim::SimMachine> sim_;
};

}  // namespace ql::testing
