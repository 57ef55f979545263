// Scenarios of the flash engine on the simulated machine: the program started as far as its first
// command, a newer image loaded from a file, and the boxes and the flash part looked at after.
#pragma once

#include "support/sim_fixture.h"

namespace ql::testing {

class FlashScenario : public SimSeamTest {
 protected:
  // The images the scenarios build: 512 KiB in the default table's 64 KiB blocks.
  static constexpr uint32_t kPart = 512 * 1024;
  static constexpr uint32_t kBlock = 0x10000;

  FlashScenario() : SimSeamTest(Installed()) {}

  // The BIOS the machine runs, and a newer one for it with other code bytes and DMI strings of
  // the same lengths.
  static sim::RomSpec Installed() {
    sim::RomSpec spec;
    spec.buildDate = "01/10/05";
    spec.uuid = {'Q', 'R', 'L', '-', 'U', 'U', 'I', 'D', '-', '0', '0', '0', '0', '0', '0', '1'};
    return spec;
  }
  static sim::RomSpec Newer() {
    sim::RomSpec spec;
    spec.fillSeed = 7;
    spec.dmi = {"SN-9999999", "Builder Systems", "BS-845", "Rev 2.0", "SYS-9999999", "CH-9999999"};
    spec.uuid.fill(0xFF);
    return spec;
  }
  void Fresh(const sim::SimProfile& profile) { SimSeamTest::Fresh(profile, installed_); }

  // Loads the image as the Load command does; the messages of the load are forgotten.
  void Load(const Bytes& image) {
    ASSERT_EQ(LoadRomFile(nullptr, temp_.Write("new.rom", image).c_str()), 1);
    desktop.messages.clear();
  }
  Bytes PartRange(uint32_t offset, uint32_t count) const { return Slice(Part(), offset, count); }

  TempFolder temp_;
  Bytes installed_ = BuildImage(Installed());
  Bytes newer_ = BuildImage(Newer());
};

}  // namespace ql::testing
