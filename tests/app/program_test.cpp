// Whole runs of the program on the simulated machine, and the main window's decisions.
#include "app/program.h"

#include <cstring>

#include "flash/backup.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

const std::string kHeader = "\r\n ======   Quorrelite Logfile   ==========\r\n";
const std::string kFlashLines =
    "Starting to flash!!\r\nShutdown after 10 seconds!!\r\nWin2000 is going to Shutdown!!\r\n"
    "Flash finished!!\r\n";

sim::RomSpec Newer() {
  return {.buildDate = "06/01/06", .fillSeed = 7};
}

class RunTest : public ProgramTest {
 protected:
  std::string Log() const { return TempFolder::ReadText(ProgramFile("Logfile")); }

  const Bytes installed_ = Part();
  const Bytes newer_ = BuildImage(Newer());
  const std::string newerPath_ = folder.Write("new.rom", newer_);
};

TEST_F(RunTest, AManufacturingRunAppendsItsLinesAndStopsWritingWhenItsFileDidNotLoad) {
  TempFolder::WriteFile(ProgramFile("Logfile"), {'o', 'l', 'd', '\r', '\n'});
  Run("/M " + newerPath_);
  EXPECT_EQ(program->ExitStatus(), 5) << "ended before the first paint";
  Load(newer_);
  ASSERT_TRUE(program->FirstPaint(nullptr));
  program->FlashCommand(nullptr);
  EXPECT_EQ(Log(), "old\r\n" + kHeader + "Rom file loaded!!\r\n" + kFlashLines);
  EXPECT_TRUE(desktop.messages.empty()) << desktop.Texts()[0];
  EXPECT_FALSE(program->FirstPaint(nullptr)) << "one first paint per run";

  // A run whose file does not load writes its header and nothing more, whatever a person does.
  UseMachine({}, installed_);
  Run("/M " + folder.Path("gone.rom"));
  EXPECT_FALSE(program->FirstPaint(nullptr));
  Load(newer_);
  program->FlashCommand(nullptr);
  EXPECT_EQ(Log(), "old\r\n" + kHeader + "Rom file loaded!!\r\n" + kFlashLines + kHeader);

  // A person's run never touches the log (a backup before any load is of the running BIOS's size).
  const std::string before = Log();
  UseMachine({}, installed_);
  Run(newerPath_);
  desktop.saveFileAnswers = {folder.Path("bios.bak")};
  program->BackupCommand(nullptr);
  EXPECT_EQ(TempFolder::ReadFile(folder.Path("bios.bak")), installed_);
  EXPECT_FALSE(program->FirstPaint(nullptr)) << "a file a person names is not flashed";
  Load(newer_);
  EXPECT_EQ(Log(), before);

  // A log held by another program is never emptied, and a settings file cut short is read as none
  // (its missing bytes would have switched the verify off). Nobody stands at the line to close a
  // box about either: the run flashes with the default options and its status is as good as any.
  files.failReadOpen.insert(ProgramFile("Logfile"));
  TempFolder::WriteFile(ProgramFile("brimlet.ini"), {1});
  UseMachine({}, installed_);
  desktop.messages.clear();
  Run("/M " + newerPath_);
  ASSERT_TRUE(program->FirstPaint(nullptr));
  program->FlashCommand(nullptr);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{});
  EXPECT_EQ(program->ExitStatus(), 0);
  EXPECT_EQ(Part(), newer_);
  EXPECT_EQ(Log(), before);
}

TEST_F(RunTest, TheDmiModeDecidesWhoseStringsTheFlashWrites) {
  sim::RomSpec maker = Newer();
  maker.dmi[1] = "Maker Ltd Corp.";  // as long as the running BIOS's "Quorrel Systems"
  std::memcpy(maker.uuid.data(), "UUID-OF-THE-ROM!", 16);  // the running BIOS's is all 0
  const Bytes image = BuildImage(maker);
  // An image taken at the not-newer warning before: half of it would fill the part.
  const sim::RomSpec older{.sizeKb = 1024, .buildDate = "12/31/04"};
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

TEST(WindowDecisions,
     WhileAJobRunsTheSystemIsRefusedUntilTheShutdownBoxAndNoInputReachesTheProgram) {
  struct Case {
    uint32_t message;
    uint64_t wParam;
    JobMessage held;    // the part may still change
    JobMessage atRest;  // the shutdown box has opened
    intptr_t heldResult = 0;
  };
  const auto kAnswered = JobMessage::kAnswered, kAsUsual = JobMessage::kAsUsual;
  const Case cases[] = {
      {kWmQueryEndSession, 0, kAnswered, kAsUsual, /*FALSE: no shutdown, no log-off*/ 0},
      {kWmPowerBroadcast, kPbtApmQuerySuspend, kAnswered, kAsUsual, kBroadcastQueryDeny},
      {kWmPowerBroadcast, kPbtApmQueryStandby, kAnswered, kAsUsual, kBroadcastQueryDeny},
      // What the system tells rather than asks is not answered with a refusal.
      {kWmPowerBroadcast, /*PBT_APMPOWERSTATUSCHANGE*/ 0xA, kAsUsual, kAsUsual},
      {kWmPowerBroadcast, /*PBT_APMRESUMESUSPEND*/ 0x7, kAsUsual, kAsUsual},
      // Alt+F4 and the close box, whatever the low bits the system adds.
      {kWmSysCommand, kScClose, kAnswered, kAnswered},
      {kWmSysCommand, kScClose | 0x3, kAnswered, kAnswered},
      {kWmSysCommand, /*SC_MINIMIZE*/ 0xF020, kAsUsual, kAsUsual},
      {kWmClose, 0, kAnswered, kAnswered},
      {kWmCommand, 2005 /*the Exit button*/, kAnswered, kAnswered},
      {kWmLButtonDown, 0, kAnswered, kAnswered},
      {kWmDropFiles, 0, JobMessage::kDropRefused, JobMessage::kDropRefused},
      {kWmPaint, 0, JobMessage::kDefaultOnly, JobMessage::kDefaultOnly},
      {kWmClosedBySystem, 0, JobMessage::kCloseAfterJob, JobMessage::kCloseAfterJob},
      {/*WM_NULL*/ 0x0, 0, kAsUsual, kAsUsual},
      {/*WM_DRAWITEM*/ 0x2B, 0, kAsUsual, kAsUsual},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.message << " " << c.wParam);
    const JobAnswer held = AnswerDuringJob(c.message, c.wParam, /*systemHeld=*/true);
    EXPECT_EQ(held.action, c.held);
    if (c.held == kAnswered) {
      EXPECT_EQ(held.result, c.heldResult);
    }
    EXPECT_EQ(AnswerDuringJob(c.message, c.wParam, /*systemHeld=*/false).action, c.atRest);
  }
}

}  // namespace
}  // namespace ql::testing
