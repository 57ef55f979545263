// Tests that load ROM files: images built by the simulated machine's ROM builder, written to a
// temporary folder, and the running BIOS's BCPSYS block taken from an image of its own.
#pragma once

#include <string>

#include "support/sim_fixture.h"

namespace ql::testing {

class RomFileTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    // The running BIOS is older than a default image, so a default image is taken silently.
    sim::RomSpec system;
    system.buildDate = "01/10/05";
    SetSystem(system);
  }

  static Bytes Build(const sim::RomSpec& spec) { return BuildImage(spec); }
  // Where the builder put a block, or -1.
  static int64_t SysAt(const Bytes& image) { return sim::InspectRom(image).sysAt; }
  static int64_t DmiAt(const Bytes& image) { return sim::InspectRom(image).dmiAt; }

  // The running BIOS is the one this spec builds.
  void SetSystem(const sim::RomSpec& spec) {
    Bytes image = Build(spec);
    SystemBcpSys.Block = ParseBcpSys(image.data() + SysAt(image));
    SystemBcpSys.Read = 1;
  }

  std::string Write(const Bytes& bytes) { return temp_.Write("image.rom", bytes); }
  int Load(const Bytes& bytes) { return LoadRomFile(&owner_, Write(bytes).c_str()); }
  int Load(const sim::RomSpec& spec) { return Load(Build(spec)); }

  int owner_ = 0;
  TempFolder temp_;
};

}  // namespace ql::testing
