// Machine folders: the profile's keys and errors, the part written through, and a restart that
// makes the flashed BIOS the running one.
#include <filesystem>
#include <fstream>

#include "support/temp_folder.h"

#include "sim_fixture.h"

namespace ql::testing {
namespace {

std::string Slurp(const std::string& path) {
  return TempFolder::ReadText(path);
}

class SimFolderTest : public SimTest {
 protected:
  void Open() {
    std::string error;
    sim_ = sim::OpenSimMachine(folder_, &error);
    ASSERT_TRUE(sim_) << error;
    Hook();
    InstallPlatform(PlatformSeam{&desktop, sim_.get(), &files, &allocator});
    StartProgram();
  }
  std::string File(const char* name) const { return folder_ + "/" + name; }
  std::string RunningBuildDate() { return sim::InspectRom(sim_->RunningBiosSegment()).buildDate; }
  TempFolder temp_;
  const std::string folder_ = temp_.Path("machine");
};

TEST_F(SimFolderTest, BadProfilesNameTheLineAndKey) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"password = 12x\n", "line 1: key 'password'"},
      {"# c\n\npart_code = 0x100\n", "line 3: key 'part_code'"},
      {"colour = blue\n", "line 1: unknown key 'colour'"},
      {"block = 0x10000 0 auto\n", "line 1: key 'block'"},
      {"block_size = 1000\n", "key 'block_size'"},
      {"stuck_high = 0x100:0\n", "key 'stuck_high'"},
      {"power = solar\n", "key 'power'"},
      {"discovery_fault = sometimes\n", "key 'discovery_fault'"},
      {"just words\n", "line 1: 'just words' is not of the form key = value"},
      {"unanswered_calls = 99999999999\n", "key 'unanswered_calls'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    sim::SimProfile p;
    std::string error;
    EXPECT_FALSE(sim::ParseProfile(c.text, &p, &error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  // Values that parse but do not fit the part are refused when the machine is made.
  const Case misfits[] = {
      {"block = 0x20000 0x70000 auto 0\n", "key 'block' (record 1)"},
      {"read_fails_at = 0x80000\n", "key 'read_fails_at'"},
      {"stuck_low = 0x90000:1\n", "key 'stuck_low'"},
      {"block_size = 0x1000\nblock_size = 0x800000\n", ""},
  };
  for (const Case& c : misfits) {
    SCOPED_TRACE(c.text);
    std::string error;
    bool made = sim::CreateMachineFolder(folder_, Image(), c.text, &error);
    if (*c.expected == 0) {
      EXPECT_TRUE(made) << error;
      continue;
    }
    EXPECT_FALSE(made);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST_F(SimFolderTest, AFolderWithMissingOrBadFilesIsRefusedWithTheFileNamed) {
  std::string error;
  EXPECT_FALSE(sim::OpenSimMachine(folder_, &error));
  EXPECT_NE(error.find("machine.txt"), std::string::npos);
  ASSERT_TRUE(sim::CreateMachineFolder(folder_, Image(), "password = 7\n", &error)) << error;
  std::ofstream(File(sim::kPartFile), std::ios::binary | std::ios::trunc) << "short";
  EXPECT_FALSE(sim::OpenSimMachine(folder_, &error));
  EXPECT_NE(error.find("not supported"), std::string::npos) << error;
  std::filesystem::remove(File(sim::kPartFile));
  EXPECT_FALSE(sim::OpenSimMachine(folder_, &error));
  EXPECT_NE(error.find("flash.bin"), std::string::npos) << error;
}

TEST_F(SimFolderTest, ThePartFileChangesAsTheRunWritesIt) {
  std::string error;
  ASSERT_TRUE(sim::CreateMachineFolder(folder_, Image(), "", &error)) << error;
  Open();
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  Erase(0x10000, 0x10000);
  std::string onDisk = Slurp(File(sim::kPartFile));
  ASSERT_EQ(onDisk.size(), 0x80000u);
  for (uint32_t i = 0x10000; i < 0x20000; ++i) ASSERT_EQ(static_cast<uint8_t>(onDisk[i]), 0xFF);
  // Half a block programmed, then the run is killed: the file keeps the half-written block.
  std::vector<uint8_t> zeros(4096, 0);
  Program(0x10000, zeros);
  onDisk = Slurp(File(sim::kPartFile));
  EXPECT_EQ(static_cast<uint8_t>(onDisk[0x10FFF]), 0x00);
  EXPECT_EQ(static_cast<uint8_t>(onDisk[0x11000]), 0xFF);
}

TEST_F(SimFolderTest, ARestartMakesTheFlashedBiosTheRunningOne) {
  std::string error;
  sim::RomSpec newer;
  newer.buildDate = "12/24/05";
  const Bytes image = BuildImage(newer);
  ASSERT_TRUE(sim::CreateMachineFolder(folder_, Image(), "", &error)) << error;
  Open();
  ASSERT_EQ(RunningBuildDate(), "03/14/05");
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  for (uint32_t block = 0; block < 0x80000; block += 0x10000) {
    Erase(block, 0x10000);
    for (uint32_t at = block; at < block + 0x10000; at += 4096) {
      Program(at, std::vector<uint8_t>(image.begin() + at, image.begin() + at + 4096));
    }
  }
  EXPECT_EQ(sim_->FlashContents(), image);
  // The program ends without a restart: the old BIOS still runs at its next start.
  Open();
  EXPECT_EQ(RunningBuildDate(), "03/14/05");
  EXPECT_EQ(ExitStatusOf([&] { sim_->ExitWindows(kEwxReboot); }), 0);
  EXPECT_FALSE(sim_->IsRunning());
  EXPECT_FALSE(ReadMemoryBulk(segment_));  // the driver is gone with the machine
  EXPECT_EQ(Slurp(File(sim::kShutdownLog)), "restart (ExitWindows flags 0x2)\n");
  Open();
  EXPECT_EQ(RunningBuildDate(), "12/24/05");
  EXPECT_EQ(SearchMemory(segment_, kBcpSysSignature, 6, kSegmentSearchLength),
            sim::kSysSegmentOffset);
}

TEST_F(SimFolderTest, WrongPasswordsOutliveTheProgramUntilTheMachineRestarts) {
  std::string error;
  ASSERT_TRUE(
      sim::CreateMachineFolder(folder_, Image(), "password = 99\nlockout_after = 2\n", &error))
      << error;
  Open();
  EXPECT_EQ(Call(biosfn::kConnect, {1}).code, bioscode::kCodePassword);
  Open();
  EXPECT_EQ(Call(biosfn::kConnect, {2}).code, bioscode::kCodeLockedOut);
  Open();
  EXPECT_EQ(Call(biosfn::kConnect, {99}).code, bioscode::kCodeLockedOut);
  EXPECT_EQ(ExitStatusOf([&] { sim_->ExitWindows(kEwxPowerOff); }), 0);
  Open();
  EXPECT_EQ(Call(biosfn::kConnect, {99}).code, bioscode::kCodeData);
}

TEST_F(SimFolderTest, PowerShutdownPrivilegeAndProcessEndComeFromTheMachine) {
  std::string error;
  ASSERT_TRUE(
      sim::CreateMachineFolder(folder_, Image(), "power = low\nshutdown_privilege = no\n", &error))
      << error;
  Open();
  PowerStatus s = sim_->GetPowerStatus();
  EXPECT_EQ(s.acLineStatus, 0);
  EXPECT_EQ(s.batteryFlag, 2);
  EXPECT_FALSE(sim_->EnableShutdownPrivilege());
  EXPECT_EQ(ExitStatusOf([&] { sim_->ExitProcess(1); }), 1);
  EXPECT_TRUE(sim_->ShutdownRequests().empty());
}

}  // namespace
}  // namespace ql::testing
