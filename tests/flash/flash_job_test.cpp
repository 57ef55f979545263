// The flash job on the simulated machine: its states from the backup offer to the shutdown box,
// each asserted by the boxes shown and what the flash part holds afterwards.
#include <cstring>

#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "flash/flash_job.h"
#include "flash/flash_scenario.h"
#include "flash/power.h"
#include "flash/progress.h"

namespace ql::testing {
namespace {

const MessageRecord kSucceeded{
    "Flash Successed !! \n It is strongly recommand to shutdown your computer to make BIOS "
    "changed effect!!",
    "Quorrelite", kMbIconExclamation};
const MessageRecord kFailed{
    "Flash Failed !! \n Please try again or contact your customer service!!", "Quorrelite",
    kMbIconHand};
const MessageRecord kSkipBackup{"Do you want to skip backup original BIOS image!!", "Quorrelite",
                                kMbOkCancel | kMbIconExclamation};
const MessageRecord kBackupFailed{"Backup BIOS Failed!!\n Do you still want to flash the BIOS ??",
                                  "Quorrelite", kMbOkCancel | kMbIconHand};
const MessageRecord kPlugIn{"Please plug in your AC adapter for flashing safely!!", "Quorrelite",
                            kMbAbortRetryIgnore | kMbIconExclamation};
const MessageRecord kBatteryLow{
    "Your battery life is Low or Critical !!\nPlease plug in your AC adapter!!", "Quorrelite",
    kMbAbortRetryIgnore | kMbIconExclamation};

class FlashJobTest : public FlashScenario {
 protected:
  void SetUp() override {
    FlashScenario::SetUp();
    Start();
    Load(newer_);
  }
  void Fresh(const sim::SimProfile& profile) {
    FlashScenario::Fresh(profile);
    Load(newer_);
  }
  // The image flashed with the running BIOS's strings and UUID carried into it.
  void ExpectFlashedWithCarriedStrings() {
    sim::RomInfo flashed = sim::InspectRom(Part());
    sim::RomInfo running = sim::InspectRom(installed_);
    for (uint32_t i = 0; i < kDmiStringCount; ++i) {
      EXPECT_EQ(flashed.dmi[i].text, running.dmi[i].text);
    }
    EXPECT_EQ(flashed.uuid, running.uuid);
    EXPECT_EQ(flashed.byteSum, sim::InspectRom(newer_).byteSum);
    EXPECT_EQ(Slice(Part(), 0, 0x70000), Slice(newer_, 0, 0x70000));
  }
  std::optional<int> Job() {
    return ExitStatusOf([] { RunFlashJob(nullptr); });
  }
};

TEST_F(FlashJobTest, TheBackupIsOfferedUntilAFlashSucceedsAndSuccessOffersTheShutdown) {
  desktop.saveFileAnswers = {temp_.Path("first.bak")};
  desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed, ShutdownBoxEnd::kClosed};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(TempFolder::ReadFile(temp_.Path("first.bak")), installed_);
  ExpectFlashedWithCarriedStrings();
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{kSucceeded});
  EXPECT_EQ(desktop.shutdownBoxes, std::vector<int>{10});
  EXPECT_FALSE(desktop.enabled.at(Control::kBackup));
  EXPECT_EQ(0, std::memcmp(Progress.BlockMap, Progress.BaselineBlockMap, kBlockMapCells));

  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.saveFileRequests.size(), 1u);
  EXPECT_EQ(desktop.shutdownBoxes, (std::vector<int>{10, 10}));
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kSucceeded, kSucceeded}));
}

TEST_F(FlashJobTest, ASkippedBackupIsQuestionedAndCancelEndsTheJobSilently) {
  // The save dialog is cancelled and the skip confirmed; then the question decides.
  EXPECT_EQ(desktop.saveFileAnswers.size(), 0u);
  desktop.messageAnswers = {kIdOk, kIdCancel};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kSkipBackup, kBackupFailed}));
  EXPECT_EQ(Part(), installed_);
  EXPECT_TRUE(desktop.shutdownBoxes.empty());

  desktop.messages.clear();
  desktop.messageAnswers = {kIdOk, kIdOk};
  desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kSkipBackup, kBackupFailed, kSucceeded}));
  ExpectFlashedWithCarriedStrings();
}

TEST_F(FlashJobTest, OffMainsTheUserRetriesIgnoresOrAborts) {
  sim::SimProfile battery;
  battery.acLineStatus = 0;
  battery.batteryFlag = 8;
  Fresh(battery);
  Options.AutoBackup = 0;
  desktop.messageAnswers = {kIdRetry, kIdRetry, kIdIgnore};
  desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kPlugIn, kPlugIn, kPlugIn, kSucceeded}));
  ExpectFlashedWithCarriedStrings();

  Fresh(battery);
  Options.AutoBackup = 0;
  desktop.messageAnswers = {kIdAbort};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{kPlugIn,
                                        {"Flash didn't process!!\n", "Quorrelite", kMbIconHand}}));
  EXPECT_EQ(Part(), installed_);
  EXPECT_EQ(Calls(biosfn::kConnect), 0u);
}

TEST_F(FlashJobTest, TheDmiModesDecideWhatIsFlashed) {
  Options.AutoBackup = 0;
  DmiStrings.DmiMode = DmiModeValue::NewStrings;
  desktop.messageAnswers = {kIdCancel};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                {"Updating DMI strings only!!", "Quorrelite", kMbOkCancel | kMbIconExclamation}}));
  EXPECT_EQ(Part(), installed_);
  EXPECT_EQ(Calls(biosfn::kConnect), 0u);
  EXPECT_TRUE(desktop.shutdownBoxes.empty());

  desktop.messages.clear();
  DmiStrings.DmiMode = DmiModeValue::DontKeep;
  desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
  EXPECT_EQ(Job(), std::nullopt);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{kSucceeded});
  EXPECT_EQ(Part(), newer_);
}

TEST_F(FlashJobTest, AFailedFlashIsReportedAndLeavesTheBackupOfferStanding) {
  sim::SimProfile stuck;
  stuck.stuckBits = {{0x100, 0xFF, false}};
  sim::SimProfile withoutData;
  withoutData.connectWithoutData = true;
  const std::pair<sim::SimProfile, std::vector<MessageRecord>> cases[] = {
      {stuck, {Stop("Blank Check failed!!!"), kFailed}},
      {withoutData,
       {Box("No data back to App 4k buffer ", kMbOk),
        Stop("The BIOS did not report any flash block!!\nNothing was flashed!!"), kFailed}},
  };
  for (const auto& [profile, messages] : cases) {
    Fresh(profile);
    Options.AutoBackup = 0;
    EXPECT_EQ(Job(), std::nullopt);
    EXPECT_EQ(desktop.messages, messages);
    EXPECT_TRUE(desktop.shutdownBoxes.empty());
    EXPECT_EQ(desktop.enabled.count(Control::kBackup), 0u);
    EXPECT_EQ(FlashJob.FlashDone, 0u);
    EXPECT_EQ(0, std::memcmp(Progress.BlockMap, Progress.BaselineBlockMap, kBlockMapCells));
  }
}

TEST_F(FlashJobTest, TheShutdownBoxEndsInTheShutdownItAsksFor) {
  struct Case {
    ShutdownBoxEnd end;
    uint32_t osFamily, manufacturing;
    bool privilege;
    std::optional<int> exit;  // the simulated OS closes the program after a shutdown request
    std::vector<uint32_t> shutdowns;
    std::vector<MessageRecord> messages;
    const char* logLine;
  };
  const MessageRecord manual =
      Box("Can not shutdown automatically!!\nPlease shutdown manually!!", kMbIconExclamation);
  using End = ShutdownBoxEnd;
  const Case cases[] = {
      {End::kCountdownElapsed, kWin2000, 0, true, 0, {kEwxPowerOff}, {}, nullptr},
      {End::kShutdownNow, kWin2000, 1, true, 0, {kEwxReboot}, {}, "Win2000 is going to Shutdown!!"},
      {End::kCountdownElapsed, kWin98, 0, true, 0, {kEwxShutdown}, {}, nullptr},
      {End::kCountdownElapsed,
       kWin98,
       1,
       false,
       0,
       {kEwxReboot},
       {},
       "Win98 is going to Shutdown!!"},
      {End::kShutdownNow, kWin2000, 1, false, std::nullopt, {}, {manual}, nullptr},
      {End::kClosed, kWin2000, 1, true, std::nullopt, {}, {kSucceeded}, nullptr},
  };
  const std::string program = temp_.Path("prog"), log = program + "\\Logfile";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "os " << c.osFamily << " manufacturing " << c.manufacturing
                                      << " end " << static_cast<int>(c.end));
    sim::SimProfile profile;
    profile.shutdownPrivilege = c.privilege;
    Fresh(profile);
    Options.AutoBackup = 0;
    Startup.OsFamily = c.osFamily;
    Startup.ManufacturingMode = c.manufacturing;
    std::strcpy(Startup.ProgramDirectory, program.c_str());
    std::filesystem::remove(log);
    if (c.manufacturing) OpenManufacturingLog(nullptr);
    desktop.shutdownAnswers = {c.end};
    EXPECT_EQ(Job(), c.exit);
    EXPECT_EQ(desktop.messages, c.messages);
    EXPECT_EQ(sim_->ShutdownRequests(), c.shutdowns);
    ExpectFlashedWithCarriedStrings();
    if (c.logLine != nullptr) {
      EXPECT_NE(TempFolder::ReadText(log).find(std::string("Shutdown after 10 seconds!!\r\n") +
                                               c.logLine + "\r\n"),
                std::string::npos);
    }
  }
}

class PowerTest : public SeamTest {};

TEST_F(PowerTest, OnlyMainsPowerGoesOnWithoutAQuestion) {
  struct Case {
    uint8_t acLine, battery;
    const MessageRecord* message;
  };
  const Case cases[] = {
      {1, 1, nullptr},   {1, 4, nullptr},      {0, 2, &kBatteryLow}, {0, 4, &kBatteryLow},
      {0, 10, &kPlugIn}, {255, 128, &kPlugIn}, {0, 1, &kPlugIn},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int{c.acLine} << "/" << int{c.battery});
    machine.power = PowerStatus{c.acLine, c.battery};
    desktop.messages.clear();
    desktop.messageAnswers = {kIdRetry};
    EXPECT_EQ(CheckAcPower(nullptr), c.message == nullptr ? 1 : 0);
    if (c.message == nullptr) {
      EXPECT_TRUE(desktop.messages.empty());
    } else {
      EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{*c.message});
      EXPECT_EQ(Power.PowerAnswer, kIdRetry);
    }
  }
}

}  // namespace
}  // namespace ql::testing
