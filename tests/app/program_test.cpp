// Whole runs of the program on the simulated machine, and the main window's decisions.
#include "app/program.h"

#include <algorithm>
#include <cstring>

#include "flash/backup.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

const std::string kHeader = "\r\n ======   Quorrelite Logfile   ==========\r\n";
const std::string kFlashLines =
    "Starting to flash!!\r\nShutdown after 10 seconds!!\r\nWin2000 is going to Shutdown!!\r\n"
    "Flash finished!!\r\n";
const MessageRecord kBatteryLow =
    Box("Your battery life is Low or Critical !!\nPlease plug in your AC adapter!!", 0x32);

sim::RomSpec Newer() {
  sim::RomSpec spec;
  spec.buildDate = "06/01/06";
  spec.fillSeed = 7;
  return spec;
}

class RunTest : public ProgramTest {
 protected:
  std::string Log() const { return TempFolder::ReadText(ProgramFile("Logfile")); }

  const Bytes installed_ = Part();
  const Bytes newer_ = BuildImage(Newer());
  const std::string newerPath_ = folder.Write("new.rom", newer_);
};

TEST_F(RunTest, TheFactoryLineReadsFromTheExitStatusWhatBecameOfItsImage) {
  struct Case {
    const char* what;
    std::string argument;
    Bytes settings;
    sim::SimProfile machine;
    bool paint, flashed;
    int status;
    std::string lastBox = {};  // the text of the last box shown, if any
    ShutdownBoxEnd box = ShutdownBoxEnd::kCountdownElapsed;
  };
  sim::SimProfile stuck, refusing, eraseRefused, programRefused, restartRefused;
  uint32_t at = 0;
  while (newer_[at] == 0xFF) ++at;  // a byte of the image a bit stuck high keeps from programming
  stuck.stuckBits.push_back(sim::StuckBits{at, 0xFF, true});
  refusing.connectRefusal = "Flash services are locked";
  eraseRefused.eraseFailsAt = programRefused.programFailsAt = {0x20000};
  restartRefused.shutdownRefused = true;
  const std::string line = "/M " + newerPath_, gone = "/M " + folder.Path("gone.rom");
  const Bytes on{1, 1, 1, 1}, unchecked{1, 0, 0, 1};
  const Case cases[] = {
      {"flashed and verified", line, on, {}, true, true, 0},
      {"verify switched off", line, {1, 0, 1, 1}, {}, true, true, 4},
      {"the named file is missing", gone, on, {}, true, false, 2, "File open Error!!"},
      {"the verify fails", line, on, stuck, true, false, 3, kMsgFlashFailed},
      {"the BIOS refuses the session", line, on, refusing, true, false, 1,
       "Flash services are locked"},
      {"an erase refused, the checks off", line, unchecked, eraseRefused, true, false, 3,
       kMsgFlashFailed},
      {"a program refused, the checks off", line, unchecked, programRefused, true, false, 3,
       kMsgFlashFailed},
      // Nobody stands at the line to answer a success box.
      {"no shutdown box", line, on, {}, true, true, 0, "", ShutdownBoxEnd::kNotShown},
      {"the restart refused", line, on, restartRefused, true, true, 0, kMsgCannotShutdown},
      {"ended before the first paint", line, on, {}, false, false, 5},
      {"a person's run: nothing is flashed at the first paint", newerPath_, on, {}, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseMachine(c.machine, installed_);
    desktop.skinReleases = 0;
    desktop.messages.clear();
    desktop.shutdownAnswers = {c.box};
    const size_t logged = Log().size();
    TempFolder::WriteFile(ProgramFile("brimlet.ini"), c.settings);
    // The main window's life up to its first paint, and the Flash command when the paint asks.
    std::optional<int> ended = ExitStatusOf([&] {
      Run(c.argument);
      if (c.paint && program->FirstPaint(nullptr)) program->FlashCommand(nullptr);
    });
    EXPECT_EQ(ended ? *ended : program->ExitStatus(), c.status);
    EXPECT_EQ(Part() == newer_, c.flashed);
    EXPECT_EQ(desktop.messages.empty() ? "" : desktop.messages.back().text, c.lastBox);
    const bool restarted = c.flashed && !c.machine.shutdownRefused;
    EXPECT_EQ(sim->ShutdownRequests(),
              restarted ? std::vector<uint32_t>{kEwxReboot} : std::vector<uint32_t>{});
    EXPECT_EQ(Log().find("going to Shutdown", logged) != std::string::npos, restarted);
    // A fatal end gives back what the run held, the skin included.
    EXPECT_EQ(desktop.skinReleases, c.status == 1 ? 1 : 0);
    EXPECT_EQ(sim->Memory().KernelBytesInUse() == 0 && sim->Memory().MappingCount() == 0,
              c.status == 1);
  }
}

TEST_F(RunTest, AMachineTheProgramCannotReachEndsTheRunWithOneAtInitialisation) {
  sim::RomSpec noFex;
  noFex.withFex = false;
  sim::SimProfile noDriver, noKernelMemory;
  noDriver.discoveryFault = sim::DiscoveryFault::kOpen;
  noKernelMemory.kernelMemoryLimit = kTransferSize;  // the first BIOS call buffer only
  const std::tuple<sim::SimProfile, Bytes, MessageRecord, int> cases[] = {
      {noDriver, installed_, Box("Driver open fail!!", 0x30, "ERROR Message"), 0},
      {{}, BuildImage(noFex), Stop(" Your BIOS didn't support Quorrelite!!"), 0},
      {noKernelMemory, installed_, Stop("Memory allocate error"), 1},  // the skin goes too
  };
  for (const auto& [machine, part, box, skinReleases] : cases) {
    UseMachine(machine, part);
    desktop.messages.clear();
    desktop.skinReleases = 0;
    EXPECT_EQ(ExitStatusOf([&] { Run("/M " + newerPath_); }), 1);
    EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{box});
    EXPECT_EQ(desktop.skinReleases, skinReleases);
  }
  EXPECT_EQ(Log(), kHeader + kHeader + kHeader) << "the log is opened before the driver";
}

TEST_F(RunTest, AManufacturingRunAppendsItsLinesAndStopsWritingWhenItsFileDidNotLoad) {
  TempFolder::WriteFile(ProgramFile("Logfile"), {'o', 'l', 'd', '\r', '\n'});
  Run("/M " + newerPath_);
  Load(newer_);
  ASSERT_TRUE(program->FirstPaint(nullptr));
  program->FlashCommand(nullptr);
  EXPECT_EQ(Log(), "old\r\n" + kHeader + "Rom file loaded!!\r\n" + kFlashLines);
  EXPECT_TRUE(desktop.messages.empty()) << desktop.Texts()[0];
  EXPECT_FALSE(program->FirstPaint(nullptr)) << "one first paint per run";

  // The next run's file is missing: its header, then nothing more, whatever a person does.
  UseMachine({}, installed_);
  Run("/M " + folder.Path("gone.rom"));
  EXPECT_FALSE(program->FirstPaint(nullptr));
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Box("File open Error!!", kMbOk)});
  Load(newer_);
  program->FlashCommand(nullptr);
  EXPECT_EQ(sim->ShutdownRequests(), std::vector<uint32_t>{kEwxPowerOff}) << "a person's flash";
  EXPECT_EQ(Log(), "old\r\n" + kHeader + "Rom file loaded!!\r\n" + kFlashLines + kHeader);
  EXPECT_EQ(program->ExitStatus(), 2);

  // A person's run never touches the log (a backup before any load is of the running BIOS's
  // size); a log held by another program is told about and never emptied.
  const std::string before = Log();
  UseMachine({}, installed_);
  Run();
  desktop.saveFileAnswers = {folder.Path("bios.bak")};
  program->BackupCommand(nullptr);
  EXPECT_EQ(TempFolder::ReadFile(folder.Path("bios.bak")), installed_);
  Load(newer_);
  EXPECT_EQ(Log(), before);
  files.failReadOpen.insert(ProgramFile("Logfile"));
  desktop.messages.clear();
  Run("/M " + newerPath_);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Box("Can not create manufacture log file!!", 0x30)});
  EXPECT_EQ(Log(), before);
}

TEST_F(RunTest, FlashOffersTheBackupChecksThePowerFlashesAndOffersTheShutdown) {
  sim::SimProfile battery;
  battery.acLineStatus = 0;
  battery.batteryFlag = 2;
  UseMachine(battery, installed_);
  Run();
  Load(newer_);
  const MessageRecord skip = Box(kMsgSkipBackupQuestion, kMbOkCancel | kMbIconExclamation);
  const MessageRecord anyway =
      Box("Backup BIOS Failed!!\n Do you still want to flash the BIOS ??", 0x11);
  desktop.messageAnswers = {kIdOk, kIdCancel};  // no backup file, then no flash without one
  program->FlashCommand(nullptr);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{skip, anyway}));
  EXPECT_EQ(Part(), installed_);

  desktop.messages.clear();
  desktop.saveFileAnswers = {folder.Path("bios.bak")};
  desktop.messageAnswers = {kIdRetry, kIdIgnore};
  desktop.shutdownAnswers = {ShutdownBoxEnd::kNotShown};  // a person is told, as after a close
  program->FlashCommand(nullptr);
  EXPECT_EQ(TempFolder::ReadFile(folder.Path("bios.bak")), installed_) << "backed up first";
  EXPECT_EQ(Part(), newer_);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                kBatteryLow, kBatteryLow,
                Box("Flash Successed !! \n It is strongly recommand to shutdown your computer to "
                    "make BIOS changed effect!!",
                    0x30)}));
  EXPECT_EQ(desktop.shutdownBoxes, std::vector<int>{10});
  EXPECT_TRUE(sim->ShutdownRequests().empty());
  EXPECT_FALSE(desktop.enabled[Control::kBackup]);
  const BlockMapCells& cells = program->progress().BlockMap();
  EXPECT_EQ(std::count(cells.begin(), cells.end(), CellState::kUntouched), kBlockMapCells);

  // The part no longer holds the running BIOS: no backup is offered. Abort stops before the flash.
  desktop.messages.clear();
  desktop.messageAnswers = {kIdAbort};
  const uint32_t erases = Calls(biosfn::kEraseBlock);
  program->FlashCommand(nullptr);
  EXPECT_EQ(desktop.saveFileRequests.size(), 2u);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{kBatteryLow, Stop("Flash didn't process!!\n")}));
  EXPECT_EQ(Calls(biosfn::kEraseBlock), erases);
}

TEST_F(RunTest, TheDmiModeDecidesWhoseStringsTheFlashWrites) {
  sim::RomSpec maker = Newer();
  maker.dmi[1] = "Maker Ltd Corp.";  // as long as the running BIOS's "Quorrel Systems"
  std::memcpy(maker.uuid.data(), "UUID-OF-THE-ROM!", 16);  // the running BIOS's is all 0
  const Bytes image = BuildImage(maker);
  sim::RomSpec older;  // taken at the not-newer warning before: half of it would fill the part
  older.buildDate = "12/31/04";
  older.sizeKb = 1024;
  for (DmiModeValue mode : {DmiModeValue::KeepCurrent, DmiModeValue::DontKeep}) {
    UseMachine({}, installed_);
    Run();
    // No image yet, then a refused one in the buffer: neither may be flashed, and the run goes on.
    for (bool refusedHeld : {false, true}) {
      if (refusedHeld) Load(BuildImage(older));
      desktop.messages.clear();
      program->FlashCommand(nullptr);
      EXPECT_EQ(desktop.messages.back(), Stop("File didn't read!!"));
    }
    EXPECT_EQ(Calls(biosfn::kEraseBlock), 0u);
    Load(image);
    EXPECT_STREQ(program->dmi().ImageDmi.Manufacturer.Text(), "Maker Ltd Corp.");
    DmiFieldTexts shown;
    program->ShowDmiForMode(mode, &shown);
    desktop.messageAnswers = {kIdOk, kIdOk};  // skip the backup, and flash without it
    program->FlashCommand(nullptr);
    const std::string part(Part().begin(), Part().end());
    EXPECT_EQ(part.find("Maker Ltd Corp.") != std::string::npos, mode == DmiModeValue::DontKeep);
    EXPECT_EQ(part.find("Quorrel Systems") != std::string::npos, mode == DmiModeValue::KeepCurrent);
    EXPECT_EQ(part.find("UUID-OF-THE-ROM!") != std::string::npos, mode == DmiModeValue::DontKeep);
  }
}

struct Drop final : DroppedFiles {
  Drop(std::string name, uint32_t count) : name(std::move(name)), count(count) {}
  uint32_t Count() override { return count; }
  uint32_t FirstNameLength() override { return static_cast<uint32_t>(name.size()); }
  uint32_t CopyFirstName(char* to, uint32_t size) override {
    std::memcpy(to, name.c_str(), size);  // the name and its terminator
    return size - 1;
  }
  void Finish() override { ++finished; }
  std::string name;
  uint32_t count;
  int finished = 0;
};

TEST_F(RunTest, OneDroppedFileIsLoadedAndMoreThanOneOrNoRoomForItsNameLoadNothing) {
  Run();
  Drop two(newerPath_, 2), one(newerPath_, 1);
  program->DropFilesCommand(nullptr, two);
  allocator.failOnCall = allocator.calls + 1;
  program->DropFilesCommand(nullptr, one);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                Box("You can't drop files to Quorrelite!!", kMbIconAsterisk),
                Box("Memory allocated failed for dropping file!!", kMbIconAsterisk)}));
  EXPECT_FALSE(program->image().Loaded());
  EXPECT_TRUE(desktop.enabled.empty());

  allocator.failOnCall = 0;
  program->DropFilesCommand(nullptr, one);
  EXPECT_TRUE(program->image().Loaded());
  EXPECT_TRUE(desktop.enabled[Control::kFlash]);
  EXPECT_EQ(two.finished + one.finished, 3);
  program->ExitCommand(nullptr);  // the run gives back everything it held, the skin too
  EXPECT_EQ(sim->Memory().KernelBytesInUse() + sim->Memory().MappingCount(), 0u);
  EXPECT_EQ(desktop.skinReleases, 1);
}

TEST(WindowDecisions, TheButtonRowWrapsAtItsEndsAndDraggingFollowsSignedMouseWords) {
  EXPECT_EQ(FocusWrapTarget(CommandSource::kExit, FocusHolder::kBlockMap), CommandSource::kLoad);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kLoad, FocusHolder::kPhaseItem), CommandSource::kExit);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kExit, FocusHolder::kPhaseItem), CommandSource::kOther);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kLoad, FocusHolder::kBlockMap), CommandSource::kOther);

  WindowDrag drag;
  WindowPoint at{1, 1};
  EXPECT_FALSE(drag.Move(100, 100, 5, 5, &at)) << "no move without a press";
  drag.Begin(30, 40);
  ASSERT_TRUE(drag.Move(287, 159, 35, 38, &at));
  EXPECT_EQ(std::pair(at.x, at.y), std::pair(292, 157));
  // A captured mouse left of and above the window sends words that read as negative.
  ASSERT_TRUE(drag.Move(287, 159, SignedWord(0x1234FFF6), SignedWord(0xFF9C), &at));
  EXPECT_EQ(std::pair(at.x, at.y), std::pair(287 - 10 - 30, 159 - 100 - 40));
  EXPECT_TRUE(drag.End());
  EXPECT_FALSE(drag.End());
}

}  // namespace
}  // namespace ql::testing
