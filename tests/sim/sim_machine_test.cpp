// Where the simulated machine could be wrong while every product test passes: a machine folder
// keeping what runs wrote, wrong password tries and the booted BIOS, and the part's file agreeing
// with the part. Its NOR rules are held by the flash tests of every Attrib.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/bios_call.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

// Each Open() is a new program run on the machine folder, through the program's own driver link
// and BIOS caller.
class SimFolderTest : public ::testing::Test {
 protected:
  void Open() {
    caller_.reset();
    link_.reset();
    std::string error;
    machine_ = sim::OpenSimMachine(files_, folder_.Path("m"), &error);
    ASSERT_TRUE(machine_) << error;
    machine_->closeProgram = [] {};
    link_ = std::make_unique<DriverLink>(*machine_, allocator_);
    ASSERT_TRUE(link_->Open(desktop_, nullptr));
    caller_ = std::make_unique<BiosCaller>(*link_);
    ASSERT_TRUE(caller_->SetUp());
    caller_->SetTrigger(0xB2, 0xE9);  // the builder's BCPFEX
  }
  int32_t Connect(uint32_t password) {
    caller_->SetParams({password});
    return caller_->Call(biosfn::kConnect).code;
  }
  void Flash(const Bytes& image, uint32_t from, uint32_t to) {
    uint32_t window = sim::PartWindowBase(static_cast<uint32_t>(image.size()));
    for (uint32_t at = from; at < to; at += kTransferSize) {
      if (at % 0x10000 == 0) {
        caller_->SetParams({0xBF, window + at, 0x10000});
        ASSERT_TRUE(caller_->Call(biosfn::kEraseBlock).Succeeded()) << at;
      }
      ASSERT_TRUE(caller_->FillSendBuffer(image.data() + at, kTransferSize));
      caller_->SetParams({0xBF, window + at, kTransferSize});
      ASSERT_TRUE(caller_->Call(biosfn::kProgramFlash).Succeeded()) << at;
    }
  }
  std::string RunningDate() const {
    return sim::InspectRom(machine_->RunningBiosSegment()).buildDate;
  }

  TempFolder folder_;
  ScriptedDesktop desktop_;
  StandardAllocator allocator_;
  PosixFiles files_;
  std::unique_ptr<sim::SimMachine> machine_;
  std::unique_ptr<DriverLink> link_;
  std::unique_ptr<BiosCaller> caller_;
};

TEST_F(SimFolderTest, WhatARunWroteStaysAndTheFlashedBiosBootsAfterARestart) {
  const Bytes newer = BuildImage({.buildDate = "12/24/05"});
  std::string error;
  ASSERT_TRUE(sim::CreateMachineFolder(files_, folder_.Path("m"), BuildImage(),
                                       "password = 99\nlockout_after = 2\n", &error))
      << error;
  // Wrong tries add up across runs, and the lock holds until the machine restarts.
  Open();
  EXPECT_EQ(Connect(1), bioscode::kCodePassword);
  Open();
  EXPECT_EQ(Connect(2), bioscode::kCodeLockedOut);
  machine_->ExitWindows(kEwxReboot);
  Open();
  ASSERT_EQ(Connect(99), bioscode::kCodeData);

  Flash(newer, 0, static_cast<uint32_t>(newer.size()));
  Open();
  EXPECT_EQ(TempFolder::ReadFile(folder_.Path("m/flash.bin")), newer);
  EXPECT_EQ(RunningDate(), "03/14/05");  // no restart yet: the old BIOS still runs
  machine_->ExitWindows(kEwxReboot);
  Open();
  EXPECT_EQ(RunningDate(), "12/24/05");
  EXPECT_EQ(TempFolder::ReadText(folder_.Path("m/shutdown.log")),
            "restart (ExitWindows flags 0x2)\nrestart (ExitWindows flags 0x2)\n");
}

// A read the system refuses fails at once: tried again, it would be refused for ever.
TEST_F(SimFolderTest, AReadTheSystemRefusesFailsAtOnce) {
  const FileHandle file =
      files_.Open(folder_.Path("only-written").c_str(), FileMode::kCreateAlways);
  uint8_t byte = 0;
  uint32_t done = 1;
  EXPECT_FALSE(files_.Read(file, &byte, 1, &done));
  EXPECT_EQ(done, 0u);
  files_.Close(file);
}

// A run of the program on a machine folder whose part's file refuses a write: the erase or program
// that made the change fails, the program tries the block again, and the part is what its file says
// it is.
class PartFileTest : public ProgramTest {};

TEST_F(PartFileTest, AChangeThePartsFileDoesNotTakeFailsTheCallThatMadeIt) {
  const Bytes installed = Part(), newer = BuildImage({.buildDate = "06/01/06", .fillSeed = 7});
  std::string atOnce;
  for (uint32_t at = 0; at < newer.size(); at += 0x10000)
    atOnce += "block = 0x10000 " + std::to_string(at) + " auto 4\n";
  // The machine's profile; the write of the flash that fails (1: the first block's erase).
  const std::tuple<const char*, std::string, int> cases[] = {{"an erase", "", 1},
                                                             {"a program", "", 3},
                                                             {"an erase at once", atOnce, 1},
                                                             {"a page at once", atOnce, 3}};
  for (const auto& [name, profile, failing] : cases) {
    SCOPED_TRACE(name);
    UseMachineFolder(profile, installed);
    Run();
    program->ConfirmOptionDialog({/*AutoBackup=*/false, true, true});
    Load(newer);
    desktop.messages.clear();
    files.failWriteOnCall = files.writes + failing;
    desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
    program->FlashCommand(nullptr);
    EXPECT_EQ(desktop.messages, std::vector{Box(kMsgFlashSucceeded, kMbIconExclamation)});
    EXPECT_EQ(TempFolder::ReadFile(folder.Path("machine/flash.bin")), Part());
    EXPECT_EQ(Part(), newer);
    EXPECT_EQ(files.openHandles, 0);
  }
}

}  // namespace
}  // namespace ql::testing
