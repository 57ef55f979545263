// The BIOS session on the simulated machine: discovery at start-up, the connect sequence against
// the simulated BIOS services with their password protocol and faults, and the disconnect.
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "dmi/dmi_strings.h"
#include "support/sim_fixture.h"

namespace ql::testing {
namespace {

class BiosScenarioTest : public SimSeamTest {
 protected:
  void Use(const sim::SimProfile& profile, sim::BootState boot = {}) {
    SimSeamTest::Use(profile, BuildImage(spec), std::move(boot));
  }
  std::optional<int> Connect() {
    return ExitStatusOf([] { ConnectBios(nullptr); });
  }
  uint32_t Connects() const { return Calls(biosfn::kConnect); }
  static MessageRecord Plain(const char* text) { return {text, "Quorrelite", 0}; }
  static MessageRecord Secured() {
    return {"The system is secured, you'll need to enter password upon backup or flash.",
            "Quorrelite", 0x30};
  }

  sim::RomSpec spec;
};

TEST_F(BiosScenarioTest, StartUpFindsTheRunningBiosAndASessionOpensAndCloses) {
  Start();
  EXPECT_EQ(BiosInterface.TriggerPort, spec.triggerPort);
  EXPECT_EQ(BiosInterface.TriggerValue, spec.triggerValue);
  EXPECT_EQ(SystemBcpSys.Block.RomSizeKb, 512);
  const SystemDmiRecord& dmi = DmiStrings.SystemDmi;
  EXPECT_EQ(dmi.SystemDmiPresent, 1u);
  EXPECT_STREQ(dmi.Manufacturer.Text(), "Quorrel Systems");
  EXPECT_STREQ(dmi.ChassisSerial.Text(), "CH-0000000");
  EXPECT_EQ(dmi.SystemUuidPresent, 1u);

  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(sim_->Bios().SessionOpen());
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_EQ(FlashPart.FlashPartCode, 0xBF);
  ASSERT_EQ(FlashPart.BlockCount, static_cast<int32_t>(sim_->Bios().Table().size()));
  EXPECT_EQ(FlashPart.FlashBlockTable[0].LinearPtr, sim_->Bios().Table()[0].linearPtr);
  EXPECT_EQ(Connects(), 1u);

  DisconnectBios(nullptr);
  EXPECT_FALSE(sim_->Bios().SessionOpen());
  EXPECT_EQ(BiosSession.Connected, 0u);
}

TEST_F(BiosScenarioTest, ABiosThatStaysSilentIsTriedThreeTimesAndThenGivenUp) {
  sim::SimProfile profile;
  profile.unansweredCalls = 3;
  Use(profile);
  Start();
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(Connects(), 3u);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Stop("Unknow connect Fail!!")}));
  EXPECT_EQ(Requests(kIoctlFreeKernelMemory), 4u);
  EXPECT_EQ(Requests(kIoctlUnmapPhysicalMemory), 1u);

  // Two silent calls are forgiven: the third answers and the session opens without a word.
  profile.unansweredCalls = 2;
  Use(profile);
  ResetProcessState();
  desktop.messages.clear();
  Start();
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(Connects(), 3u);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(BiosScenarioTest, ARefusingBiosIsAskedOnceAndItsReasonShown) {
  sim::SimProfile unsupported;
  unsupported.partSupported = false;
  sim::SimProfile text;
  text.connectRefusal = "Flash is write-protected by the board jumper";
  const std::pair<sim::SimProfile, MessageRecord> cases[] = {
      {unsupported, Stop("You are not allowed to flash BIOS!!\n"
                         "Because the flash part is not supported!! ")},
      {text, Stop("Flash is write-protected by the board jumper")},
  };
  for (const auto& [profile, message] : cases) {
    Use(profile);
    ResetProcessState();
    desktop.messages.clear();
    Start();
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(Connects(), 1u);
    EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{message});
  }
}

TEST_F(BiosScenarioTest, ABiosLockedFromAnEarlierRunRefusesAtOnce) {
  sim::SimProfile profile;
  profile.password = 4711;
  Use(profile, sim::BootState{{}, 3});
  Start();
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(Connects(), 1u);
  EXPECT_EQ(desktop.passwordDialogs, 0);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                Stop("You are not allowed to flash BIOS!! Unless you restart the system!!\n"
                     "Because you have entered wrong password too many times!! ")}));
}

TEST_F(BiosScenarioTest, WrongPasswordsEndInTheLockoutWhoeverCountsThem) {
  // The program counts three; a BIOS that counts itself refuses the third with -7.
  const std::pair<uint32_t, int> cases[] = {{0, 3}, {3, 2}};
  for (const auto& [lockoutAfter, passwordErrors] : cases) {
    sim::SimProfile profile;
    profile.password = 4711;
    profile.lockoutAfter = lockoutAfter;
    Use(profile);
    ResetProcessState();
    desktop.messages.clear();
    desktop.passwordDialogs = 0;
    Start();
    desktop.passwordAnswers = {"1", "2", "3", "4711"};
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(desktop.passwordDialogs, 3);
    std::vector<MessageRecord> expected{Secured()};
    for (int i = 0; i < passwordErrors; ++i) expected.push_back(Stop("Password Error!!"));
    expected.push_back(Stop("You are not allowed to flash bios because of password error !! "));
    EXPECT_EQ(desktop.messages, expected) << "lockout after " << lockoutAfter;
    EXPECT_FALSE(sim_->Bios().SessionOpen());
  }
}

TEST_F(BiosScenarioTest, ATableIsTakenUpTo255RecordsAndRefusedEmptyOrWithoutTerminator) {
  // 256 records fill the receive buffer and leave no room for the terminator.
  for (uint32_t records : {0u, 255u, 256u}) {
    SCOPED_TRACE(records);
    sim::SimProfile profile;
    profile.explicitBlocks = true;
    for (uint32_t i = 0; i < records; ++i) profile.blocks.push_back({0x800, 0x800 * i});
    Use(profile);
    ResetProcessState();
    desktop.messages.clear();
    Start();
    if (records == 255) {
      EXPECT_EQ(Connect(), std::nullopt);
      EXPECT_EQ(FlashPart.BlockCount, 255);
      EXPECT_EQ(allocator.sizes.back(), 255u * 16u);
      continue;
    }
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(desktop.messages,
              (std::vector<MessageRecord>{Plain("You did not have Correct Flash Block in BIOS")}));
    EXPECT_EQ(BiosSession.Connected, 0u);
  }
}

TEST_F(BiosScenarioTest, ARightPasswordOnTheSecondTryIsReusedSilentlyForTheRestOfTheRun) {
  sim::SimProfile profile;
  profile.password = 4711;
  Use(profile);
  Start();
  desktop.passwordAnswers = {"1234", "4711"};
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Secured(), Stop("Password Error!!")}));
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_EQ(BiosSession.PasswordEntered, 1u);
  EXPECT_EQ(FlashPart.FlashPartCode, 0xBF);
  EXPECT_EQ(Connect(), std::nullopt);  // an open session is not opened again
  EXPECT_EQ(Connects(), 3u);

  DisconnectBios(nullptr);
  desktop.messages.clear();
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(Connects(), 4u);
}

TEST_F(BiosScenarioTest, AnEmptyEntryIsAskedAgainAndLeavingTheDialogEndsTheRun) {
  sim::SimProfile profile;
  profile.password = 4711;
  Use(profile);
  Start();
  desktop.passwordAnswers = {"", std::nullopt};
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                Secured(), Stop("You need to enter a password!!"),
                Stop("Can't connect with BIOS because you skip enter password!!")}));
  EXPECT_EQ(Connects(), 1u);  // the empty entry was never sent
}

TEST_F(BiosScenarioTest, AnUnsupportedPartBehindARightPasswordEndsTheRun) {
  sim::SimProfile profile;
  profile.password = 4711;
  profile.partSupported = false;
  Use(profile);
  Start();
  desktop.passwordAnswers = {"4711"};
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.passwordDialogs, 1);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{
                                  Secured(), Stop("You are not allowed to flash BIOS!!\n"
                                                  "Because the flash part is not supported!! ")}));
}

TEST_F(BiosScenarioTest, AConnectWithoutDataLeavesTheSessionOpenWithoutATable) {
  sim::SimProfile profile;
  profile.connectWithoutData = true;
  Use(profile);
  Start();
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{Plain("No data back to App 4k buffer ")}));
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_EQ(FlashPart.BlockTableBuilt, 0u);
}

TEST_F(BiosScenarioTest, NoMemoryForTheBlockTableEndsTheRun) {
  Start();
  allocator.failOnCall = allocator.calls + 1;
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{Plain("No enough memory for flash block table!!")}));
}

TEST(PasswordNumber, IsAnUnsignedDecimalOrZero) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"4711", 4711},    {"000000000007", 7}, {"4294967295", 0xFFFFFFFFu},
      {"4294967296", 0}, {"99999999999", 0},  {"12a", 0},
      {"-5", 0},         {" 42 ", 42},        {"   ", 0},
  };
  for (const auto& [entry, value] : cases) EXPECT_EQ(PasswordNumber(entry), value) << entry;
}

TEST_F(BiosScenarioTest, ADisconnectRefusedWithATextEndsTheRun) {
  sim::SimProfile profile;
  profile.disconnectRefusal = "Flash part still busy";
  Use(profile);
  Start();
  ASSERT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(ExitStatusOf([] { DisconnectBios(nullptr); }), 1);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Stop("Flash part still busy")}));
  EXPECT_EQ(desktop.skinReleases, 1);
}

}  // namespace
}  // namespace ql::testing
