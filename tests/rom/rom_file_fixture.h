// Tests that load ROM files: images built by the simulated machine's ROM builder, written to a
// temporary folder, and the running BIOS's BCPSYS block taken from an image of its own.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rom/rom_image.h"
#include "sim/rom_builder.h"
#include "support/seam_fixture.h"

namespace ql::testing {

using Bytes = std::vector<uint8_t>;

class RomFileTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    char pattern[] = "/tmp/ql-rom-XXXXXX";
    root_ = mkdtemp(pattern);
    // The running BIOS is older than a default image, so a default image is taken silently.
    sim::RomSpec system;
    system.buildDate = "01/10/05";
    SetSystem(system);
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
    SeamTest::TearDown();
  }

  static Bytes Build(const sim::RomSpec& spec) {
    Bytes image;
    std::string error;
    EXPECT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
    return image;
  }
  // Where the builder put a block, or -1.
  static int64_t SysAt(const Bytes& image) { return sim::InspectRom(image).sysAt; }
  static int64_t DmiAt(const Bytes& image) { return sim::InspectRom(image).dmiAt; }

  // The running BIOS is the one this spec builds.
  void SetSystem(const sim::RomSpec& spec) {
    Bytes image = Build(spec);
    SystemBcpSys.Block = ParseBcpSys(image.data() + SysAt(image));
    SystemBcpSys.Read = 1;
  }

  std::string Write(const Bytes& bytes, const std::string& name = "image.rom") {
    std::string path = root_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  int Load(const Bytes& bytes) { return LoadRomFile(&owner_, Write(bytes).c_str()); }
  int Load(const sim::RomSpec& spec) { return Load(Build(spec)); }

  int owner_ = 0;
  std::string root_;
};

}  // namespace ql::testing
