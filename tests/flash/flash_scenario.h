// Scenarios of the flash engine on the simulated machine: the program started as far as its first
// command, a newer image loaded from a file, and the boxes and the flash part looked at after.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
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

namespace ql::testing {

using Bytes = std::vector<uint8_t>;

class FlashScenario : public SeamTest {
 protected:
  FlashScenario() { Make(sim::SimProfile{}, Build(Installed())); }
  Machine* MachineUnderTest() override { return sim_.get(); }

  void SetUp() override {
    SeamTest::SetUp();
    char pattern[] = "/tmp/ql-flash-XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
    SeamTest::TearDown();
  }

  // The BIOS the machine runs, and a newer one for it with other code bytes and DMI strings of
  // the same lengths.
  static sim::RomSpec Installed(uint32_t sizeKb = 512) {
    sim::RomSpec spec;
    spec.sizeKb = sizeKb;
    spec.buildDate = "01/10/05";
    spec.uuid = {'Q', 'R', 'L', '-', 'U', 'U', 'I', 'D', '-', '0', '0', '0', '0', '0', '0', '1'};
    return spec;
  }
  static sim::RomSpec Newer(uint32_t sizeKb = 512) {
    sim::RomSpec spec;
    spec.sizeKb = sizeKb;
    spec.fillSeed = 7;
    spec.dmi = {"SN-9999999", "Builder Systems", "BS-845", "Rev 2.0", "SYS-9999999", "CH-9999999"};
    spec.uuid.fill(0xFF);
    return spec;
  }
  static Bytes Build(const sim::RomSpec& spec) {
    Bytes image;
    std::string error;
    EXPECT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
    return image;
  }

  void Make(const sim::SimProfile& profile, Bytes part) {
    std::string error;
    sim_ = sim::SimMachine::Create(profile, std::move(part), &error);
    ASSERT_TRUE(sim_) << error;
    sim_->exitProcess = [](int code) { throw ProcessExit{code}; };
    sim_->closeProgram = [] { throw ProcessExit{0}; };
  }
  // Another machine for this test, installed in place of the default one.
  void Use(const sim::SimProfile& profile, Bytes part) {
    Make(profile, std::move(part));
    InstallPlatform(PlatformSeam{&desktop, sim_.get(), &files, &allocator});
  }
  void Use(const sim::SimProfile& profile) { Use(profile, Build(Installed())); }

  // The start-up of the program up to its first command.
  void Start() {
    ASSERT_EQ(OpenDriver(nullptr), 0);
    ASSERT_EQ(DiscoverBiosInterface(nullptr), 0);
    SetUpBiosCallBuffers(nullptr);
    RomImage.RomSize = SystemBcpSys.Block.RomSizeKb * 1024u;
  }

  std::string PathOf(const std::string& name) const { return root_ + "/" + name; }
  std::string Write(const Bytes& bytes, const std::string& name) const {
    std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Loads the image as the Load command does; the messages of the load are forgotten.
  void Load(const Bytes& image) {
    ASSERT_EQ(LoadRomFile(nullptr, Write(image, "new.rom").c_str()), 1) << desktop.Texts().size();
    desktop.messages.clear();
  }

  const Bytes& Part() const { return sim_->FlashContents(); }
  Bytes PartRange(uint32_t offset, uint32_t count) const {
    return Bytes(Part().begin() + offset, Part().begin() + offset + count);
  }
  static Bytes Slice(const Bytes& b, uint32_t offset, uint32_t count) {
    return Bytes(b.begin() + offset, b.begin() + offset + count);
  }
  uint32_t Calls(uint32_t function) const { return sim_->BiosCallCount(function); }
  uint32_t Requests(uint32_t code) const { return sim_->DriverRequestCount(code); }

  static MessageRecord Box(const char* text, uint32_t style, const char* caption = "Quorrelite") {
    return {text, caption, style};
  }
  static MessageRecord Stop(const char* text, const char* caption = "Quorrelite") {
    return {text, caption, kMbIconHand};
  }

  std::unique_ptr<sim::SimMachine> sim_;
  std::string root_;
};

}  // namespace ql::testing
