// The main window's sequences on the simulated machine: initialisation, the first paint with the
// factory line's automatic flash and its exit status, Load, Flash, Exit and dropped files; and
// the decisions the dialog procedure asks for (dispatch, focus wrap, dragging).
#include "app/main_controller.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/startup.h"
#include "flash/flash_job.h"
#include "support/sim_fixture.h"

namespace ql::testing {
namespace {

sim::RomSpec WithNewStrings(const char* date, uint32_t seed) {
  sim::RomSpec spec;
  spec.buildDate = date;
  spec.fillSeed = seed;
  spec.dmi = {"SN-NEW", "Image Maker", "IM-1", "Rev 2.0", "SYS-NEW", "CH-NEW"};
  return spec;
}

// A program folder with a ROM file in it and a simulated machine running the older BIOS.
class MainControllerTest : public SimSeamTest {
 protected:
  MainControllerTest() : SimSeamTest(WithNewStrings("03/14/05", 1)) { CountCloses(); }
  void SetUp() override {
    SimSeamTest::SetUp();
    std::strcpy(Startup.ProgramDirectory, program_.c_str());
    std::strcpy(Startup.CurrentDirectory, program_.c_str());
    Startup.OsFamily = kWin2000;
  }
  // The system's close arrives after the flash job has returned, as a message would.
  void CountCloses() {
    sim_->closeProgram = [this] { ++closes_; };
  }
  void Boot(const sim::SimProfile& profile,
            const sim::RomSpec& running = WithNewStrings("03/14/05", 1)) {
    Use(profile, BuildImage(running));
    CountCloses();
  }

  void StartWith(const std::string& argument, bool manufacturing) {
    std::snprintf(Startup.StartupArgument, sizeof Startup.StartupArgument, "%s", argument.c_str());
    Startup.StartupFilePending = 1;
    Startup.ManufacturingMode = manufacturing ? 1 : 0;
  }

  // The window's life up to its first paint, and the Flash command when the paint asks for it.
  void RunToFirstPaint() {
    InitialiseMainWindow(kWindow);
    if (FirstPaint(kWindow)) FlashCommand(kWindow);
  }

  std::string Log() const { return TempFolder::ReadText(program_ + "\\Logfile"); }

  WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x450);
  TempFolder temp_;
  const std::string program_ = temp_.Path("prog");
  const Bytes newer_ = BuildImage(WithNewStrings("06/01/06", 7));
  const std::string romPath_ = temp_.Write("newer.rom", newer_);
  int closes_ = 0;
};

constexpr const char* kHeaderLines = "\r\n ======   Quorrelite Logfile   ==========\r\n";

TEST_F(MainControllerTest, AManufacturingRunFlashesAtFirstPaintLogsInOrderAndEndsWithZero) {
  StartWith(romPath_, /*manufacturing=*/true);
  RunToFirstPaint();

  EXPECT_EQ(Options.AutoBackup, 0u) << "nobody answers a backup's save dialog on the line";
  EXPECT_EQ(Options.ReservedOption, 1u);
  EXPECT_EQ(closes_, 1) << "the countdown ran out and the machine restarted";
  ASSERT_EQ(sim_->ShutdownRequests().size(), 1u);
  EXPECT_EQ(sim_->ShutdownRequests()[0], kEwxReboot);
  EXPECT_EQ(Log(), std::string(kHeaderLines) +
                       "Starting to flash!!\r\nShutdown after 10 seconds!!\r\n"
                       "Win2000 is going to Shutdown!!\r\nFlash finished!!\r\n");
  EXPECT_TRUE(desktop.messages.empty()) << desktop.Texts()[0];
  EXPECT_EQ(ExitStatusAfterMainDialog(), 0);

  // The paint after that loads and flashes nothing again.
  EXPECT_FALSE(FirstPaint(kWindow));
  EXPECT_EQ(sim_->ShutdownRequests().size(), 1u);
}

TEST_F(MainControllerTest, ALineIsToldEveryWayAManufacturingRunFallsShortOfAVerifiedFlash) {
  // Verification switched off in the settings file: flashed, but nobody checked the part.
  {
    TempFolder::WriteFile(program_ + "\\brimlet.ini", {1, 0, 1, 1});
    StartWith(romPath_, true);
    RunToFirstPaint();
    EXPECT_EQ(FlashJob.FlashDone, 1u);
    EXPECT_EQ(ExitStatusAfterMainDialog(),
              static_cast<int>(ManufacturingOutcome::kFlashedNotVerified));
  }
  // A bit that cannot be programmed: the verify fails the flash.
  {
    ResetProcessState();
    std::filesystem::remove(program_ + "\\brimlet.ini");
    std::strcpy(Startup.ProgramDirectory, program_.c_str());
    Startup.OsFamily = kWin2000;
    sim::SimProfile stuck;
    uint32_t at = 0;
    while (newer_[at] == 0xFF) ++at;  // a byte the new image clears some bit of
    stuck.stuckBits.push_back(sim::StuckBits{at, /*mask=*/0xFF, /*high=*/true});
    Boot(stuck);
    desktop.messages.clear();
    StartWith(romPath_, true);
    RunToFirstPaint();
    EXPECT_EQ(FlashJob.FlashDone, 0u);
    EXPECT_EQ(ExitStatusAfterMainDialog(), static_cast<int>(ManufacturingOutcome::kFlashFailed))
        << (desktop.messages.empty() ? "" : desktop.Texts().back());
    EXPECT_TRUE(sim_->ShutdownRequests().empty());
  }
}

TEST_F(MainControllerTest, AManufacturingFileThatCannotBeLoadedEndsTheModeAndTheRunWithTwo) {
  StartWith(temp_.Path("missing.rom"), true);
  RunToFirstPaint();

  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0], (MessageRecord{"File open Error!!", "Quorrelite", kMbOk}));
  EXPECT_EQ(Startup.ManufacturingMode, 0u);
  EXPECT_EQ(Startup.StartupFilePending, 0u);
  EXPECT_FALSE(desktop.enabled[Control::kFlash]);
  EXPECT_FALSE(desktop.enabled[Control::kBackup]);
  EXPECT_EQ(Log(), kHeaderLines) << "the header, and no entry after it";

  // A person may go on by hand: a later load and flash write no log line, and the line still
  // reads that its own image was never loaded.
  desktop.openFileAnswers = {romPath_};
  LoadCommand(kWindow);
  FlashCommand(kWindow);
  EXPECT_EQ(FlashJob.FlashDone, 1u);
  ASSERT_EQ(sim_->ShutdownRequests().size(), 1u);
  EXPECT_EQ(sim_->ShutdownRequests()[0], kEwxPowerOff) << "normal mode powers off";
  EXPECT_EQ(Log(), kHeaderLines);
  EXPECT_EQ(ExitStatusAfterMainDialog(), static_cast<int>(ManufacturingOutcome::kLoadFailed));
}

TEST_F(MainControllerTest, ANormalRunLoadsAtFirstPaintFlashesNothingAndEndsWithZero) {
  StartWith(romPath_, false);
  RunToFirstPaint();
  EXPECT_EQ(RomImage.ImageLoaded, 1u);
  EXPECT_TRUE(desktop.enabled[Control::kFlash]);
  EXPECT_TRUE(desktop.enabled[Control::kBackup]);
  EXPECT_TRUE(sim_->ShutdownRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(program_ + "\\Logfile"));
  EXPECT_EQ(ExitStatusAfterMainDialog(), kExitNormal);
}

TEST_F(MainControllerTest, InitialisationEndsWithOneWhenTheDriverOrTheBiosInterfaceIsMissing) {
  sim::SimProfile noDriver;
  noDriver.discoveryFault = sim::DiscoveryFault::kOpen;
  Boot(noDriver);
  Startup.ManufacturingMode = 1;
  EXPECT_EQ(ExitStatusOf([&] { InitialiseMainWindow(kWindow); }), 1);
  EXPECT_EQ(Log(), kHeaderLines) << "the log is opened before the driver";
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].caption, "ERROR Message") << "the driver link's own message";

  // A BIOS without its flash interface block.
  ResetProcessState();
  desktop.messages.clear();
  sim::RomSpec noFex;
  noFex.withFex = false;
  Boot({}, noFex);
  EXPECT_EQ(ExitStatusOf([&] { InitialiseMainWindow(kWindow); }), 1);
  ASSERT_FALSE(desktop.messages.empty());
  EXPECT_EQ(desktop.messages.back(),
            (MessageRecord{" Your BIOS didn't support Quorrelite!!", "Quorrelite", kMbIconHand}));
}

TEST_F(MainControllerTest, LoadAsksForARomFileAndACancelChangesNothing) {
  InitialiseMainWindow(kWindow);
  desktop.openFileAnswers = {std::nullopt, romPath_};
  LoadCommand(kWindow);
  ASSERT_EQ(desktop.openFileRequests.size(), 1u);
  const FileDialogRequest& r = desktop.openFileRequests[0];
  EXPECT_EQ(r.owner, kWindow);
  EXPECT_STREQ(r.title, "Load Rom File");
  EXPECT_EQ(std::string(r.filter, sizeof kRomFileFilter),
            std::string("Rom File (*.Rom;*.Bak;*.Bin)\0*.rom;*.bak;*.Bin\0All types (*.*)\0*.*\0",
                        sizeof kRomFileFilter));
  EXPECT_EQ(r.fileName, MainController.SelectedFileName);
  EXPECT_EQ(r.fileNameSize, 200u);
  EXPECT_EQ(r.initialDirectory, Startup.CurrentDirectory);
  EXPECT_EQ(r.defaultExtension, nullptr);
  EXPECT_EQ(r.flags, 0u);
  EXPECT_EQ(RomImage.ImageLoaded, 0u);
  EXPECT_TRUE(desktop.enabled.empty()) << "a cancel leaves the buttons alone";

  LoadCommand(kWindow);
  EXPECT_EQ(RomImage.ImageLoaded, 1u);
  EXPECT_TRUE(desktop.enabled[Control::kFlash]);
  EXPECT_STREQ(MainController.SelectedFileName, romPath_.c_str()) << "offered again next time";
}

class FakeDrop final : public DroppedFiles {
 public:
  FakeDrop(std::vector<std::string> names) : names_(std::move(names)) {}
  uint32_t Count() override { return static_cast<uint32_t>(names_.size()); }
  uint32_t FirstNameLength() override { return static_cast<uint32_t>(names_[0].size()); }
  uint32_t CopyFirstName(char* name, uint32_t size) override {
    uint32_t n = std::min<uint32_t>(size - 1, FirstNameLength());
    std::memcpy(name, names_[0].data(), n);
    return n;
  }
  void Finish() override { ++finished; }
  int finished = 0;

 private:
  std::vector<std::string> names_;
};

TEST_F(MainControllerTest, OneDroppedFileLoadsAndMoreThanOneOrNoMemoryLoadsNothing) {
  InitialiseMainWindow(kWindow);
  FakeDrop two({romPath_, romPath_});
  DropFilesCommand(kWindow, two);
  EXPECT_EQ(desktop.messages.back(),
            (MessageRecord{"You can't drop files to Quorrelite!!", "Quorrelite", kMbIconAsterisk}));
  EXPECT_EQ(two.finished, 1);
  EXPECT_EQ(RomImage.ImageLoaded, 0u);

  FakeDrop one({romPath_});
  allocator.failOnCall = allocator.calls + 1;
  DropFilesCommand(kWindow, one);
  EXPECT_EQ(desktop.messages.back(), (MessageRecord{"Memory allocated failed for dropping file!!",
                                                    "Quorrelite", kMbIconAsterisk}));
  EXPECT_EQ(one.finished, 1);
  EXPECT_EQ(RomImage.ImageLoaded, 0u);

  allocator.failOnCall = 0;
  const size_t boxes = desktop.messages.size();
  DropFilesCommand(kWindow, one);
  EXPECT_EQ(one.finished, 2);
  EXPECT_EQ(RomImage.ImageLoaded, 1u);
  EXPECT_TRUE(desktop.enabled[Control::kFlash]);
  EXPECT_EQ(desktop.messages.size(), boxes);
}

TEST_F(MainControllerTest, ExitClosesTheSessionAndGivesEverythingBack) {
  InitialiseMainWindow(kWindow);
  ASSERT_EQ(BiosCalls.BuffersReady, 1u);
  ExitCommand(kWindow);
  EXPECT_EQ(BiosCalls.BuffersReady, 0u);
  EXPECT_EQ(desktop.skinReleases, 1);
  EXPECT_EQ(sim_->Memory().KernelBytesInUse(), 0u);
}

TEST(MainControllerDecisions, DispatchLooksAtTheNotificationBeforeTheSource) {
  EXPECT_EQ(DispatchCommand(kBnSetFocus, CommandSource::kLoad), CommandAction::kNone);
  EXPECT_EQ(DispatchCommand(kBnKillFocus, CommandSource::kFlash), CommandAction::kFocusWrap);
  EXPECT_EQ(DispatchCommand(kBnClicked, CommandSource::kFlash), CommandAction::kFlash);
  // Any other notification is a command too; Esc and the splash's end come from no control.
  EXPECT_EQ(DispatchCommand(5, CommandSource::kExit), CommandAction::kExit);
  EXPECT_EQ(DispatchCommand(kBnClicked, CommandSource::kOther), CommandAction::kNone);

  EXPECT_EQ(FocusWrapTarget(CommandSource::kExit, FocusHolder::kBlockMap), CommandSource::kLoad);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kLoad, FocusHolder::kPhaseItem), CommandSource::kExit);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kExit, FocusHolder::kPhaseItem), CommandSource::kOther);
  EXPECT_EQ(FocusWrapTarget(CommandSource::kLoad, FocusHolder::kOther), CommandSource::kOther);
}

TEST(MainControllerDecisions, DraggingMovesByTheMouseDeltaEvenOutsideTheWindow) {
  ResetProcessState();
  WindowPoint at;
  EXPECT_FALSE(DragMove(100, 100, 5, 5, &at)) << "a move without a press moves nothing";
  BeginDrag(30, 40);
  ASSERT_TRUE(DragMove(287, 159, 35, 38, &at));
  EXPECT_EQ(at.x, 292);
  EXPECT_EQ(at.y, 157);
  // A captured mouse far left of and above the window gives negative words.
  ASSERT_TRUE(DragMove(287, 159, SignedWord(0xFFF6), SignedWord(0xFF9C), &at));
  EXPECT_EQ(at.x, 287 - 10 - 30);
  EXPECT_EQ(at.y, 159 - 100 - 40);
  EXPECT_TRUE(EndDrag());
  EXPECT_FALSE(EndDrag());

  EXPECT_EQ(MainWindowOrigin(1024, 768).x, 287);
  EXPECT_EQ(MainWindowOrigin(1024, 768).y, 159);
  EXPECT_EQ(MainWindowOrigin(401, 300).x, -24) << "halves truncate toward zero";
  ResetProcessState();
}

}  // namespace
}  // namespace ql::testing
