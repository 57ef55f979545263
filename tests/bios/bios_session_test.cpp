#include "bios/bios_session.h"

#include "bios/bios_interface.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "fake_bios.h"
#include "flash/progress.h"
#include "rom/rom_image.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

constexpr uint32_t kFqbv = 0x56425146u;
constexpr uint32_t kPartCode = 0xBF;

BiosAnswer Refuse(int32_t code) {
  return BiosAnswer{kFqbv, -1, code, {}};
}

class SessionTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    NewRun();
    UseBios(0);
  }
  void TearDown() override {
    EXPECT_TRUE(fake.faults.empty()) << fake.faults.front();
    SeamTest::TearDown();
  }

  // A BIOS that wants `password` (0: none) and counts nothing itself.
  void UseBios(uint32_t password) {
    fake.bios = [this, password](const SeenCall& c) -> std::optional<BiosAnswer> {
      switch (c.function) {
        case biosfn::kConnect:
          if (password != 0 && c.param[0] != password) return Refuse(-5);
          return BiosAnswer{kFqbv, 0, 1, table};
        case biosfn::kGetFlashPartId:
          return BiosAnswer{kFqbv, 0, 1, {kPartCode}};
        case biosfn::kDisconnect:
          return disconnectAnswer;
        default:
          return std::nullopt;
      }
    };
  }

  // A new run: fresh state, the driver open, the buffers set up.
  void NewRun() {
    ResetProcessState();
    desktop.messages.clear();
    desktop.passwordDialogs = 0;
    fake.seen.clear();
    ASSERT_EQ(OpenDriver(nullptr), 0);
    BiosInterface.TriggerPort = kFakePort;
    BiosInterface.TriggerValue = kFakeTriggerValue;
    RomImage.RomSize = 0x80000;
    SetUpBiosCallBuffers(nullptr);
  }

  std::optional<int> Connect() {
    return ExitStatusOf([] { ConnectBios(nullptr); });
  }

  static MessageRecord Stop(const char* text) { return {text, "Quorrelite", 0x10}; }
  static MessageRecord Plain(const char* text) { return {text, "Quorrelite", 0}; }

  std::vector<uint8_t> table =
      FakeBios::Table({{0x10000, 0x70000, 0xFFFF0000u, 0}, {0x10000, 0x60000, 0xFFFE0000u, 1}});
  std::optional<BiosAnswer> disconnectAnswer = BiosAnswer{kFqbv, 0, 0, {}};
  FakeBios fake{machine};
};

TEST_F(SessionTest, AnOpenBiosConnectsIdentifiesThePartAndLaysTheBlockMap) {
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_EQ(FlashPart.FlashPartCode, kPartCode);
  ASSERT_EQ(FlashPart.BlockCount, 2);
  EXPECT_EQ(FlashPart.FlashBlockTable[0].FileOffset, 0x70000u);
  EXPECT_EQ(FlashPart.FlashBlockTable[1].LinearPtr, 0xFFFE0000u);
  EXPECT_EQ(FlashPart.FlashBlockTable[1].Attrib, 1u);
  EXPECT_EQ(Progress.BaselineBlockMap[6 * 128], kCellLeftOut);  // block 1, at 0x60000
  EXPECT_EQ(fake.Calls(biosfn::kConnect), 1);
  ASSERT_FALSE(fake.seen.empty());
  EXPECT_EQ(fake.seen[0].param[0], 0u);

  // An open session is not opened again.
  size_t calls = machine.calls.size();
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(machine.calls.size(), calls);

  DisconnectBios(nullptr);
  EXPECT_EQ(BiosSession.Connected, 0u);
  EXPECT_EQ(fake.seen.back().function, biosfn::kDisconnect);
  for (uint32_t p : fake.seen.back().param) EXPECT_EQ(p, 0u);
}

TEST_F(SessionTest, ARefusalWithACodeOfNoKnownMeaningIsAskedOnceThenEndsTheRun) {
  fake.bios = [](const SeenCall&) { return Refuse(-3); };
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(fake.Calls(biosfn::kConnect), 1);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Stop("Unknow connect Fail!!")}));
}

TEST_F(SessionTest, ARightPasswordOnTheSecondTryIsReusedSilentlyForTheRestOfTheRun) {
  UseBios(4711);
  desktop.passwordAnswers = {"1234", "4711"};
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                {"The system is secured, you'll need to enter password upon backup or flash.",
                 "Quorrelite", 0x30},
                Stop("Password Error!!")}));
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_EQ(BiosSession.PasswordEntered, 1u);
  // GetFlashPartId sets nothing: it carries the accepted Connect's password.
  ASSERT_GE(fake.seen.size(), 4u);
  ASSERT_EQ(fake.seen[3].function, biosfn::kGetFlashPartId);
  EXPECT_EQ(fake.seen[3].param[0], 4711u);

  DisconnectBios(nullptr);
  desktop.messages.clear();
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_TRUE(desktop.messages.empty());
  ASSERT_GE(fake.seen.size(), 6u);
  EXPECT_EQ(fake.seen[5].function, biosfn::kConnect);
  EXPECT_EQ(fake.seen[5].param[0], 4711u);
}

TEST_F(SessionTest, ALockoutOrAnUnsupportedPartAfterATypedPasswordEndsTheRun) {
  const std::pair<int32_t, const char*> cases[] = {
      {-7, "You are not allowed to flash bios because of password error !! "},
      {-2, "You are not allowed to flash BIOS!!\nBecause the flash part is not supported!! "}};
  for (const auto& [code, text] : cases) {
    NewRun();
    int32_t refusal = code;
    fake.bios = [refusal](const SeenCall& c) { return Refuse(c.param[0] == 0 ? -5 : refusal); };
    desktop.passwordAnswers = {"99"};
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(desktop.passwordDialogs, 1);
    EXPECT_EQ(desktop.messages.back(), Stop(text));
    EXPECT_EQ(desktop.messages.size(), 2u);  // the secured note, then the refusal
  }
}

TEST_F(SessionTest, LeavingThePasswordDialogEndsTheRunAndAnEmptyEntryIsAskedAgain) {
  UseBios(4711);
  desktop.passwordAnswers = {"", std::nullopt};
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.passwordDialogs, 2);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                {"The system is secured, you'll need to enter password upon backup or flash.",
                 "Quorrelite", 0x30},
                Stop("You need to enter a password!!"),
                Stop("Can't connect with BIOS because you skip enter password!!")}));
  EXPECT_EQ(fake.Calls(biosfn::kConnect), 1);  // the empty entry was never sent
}

TEST_F(SessionTest, APasswordIsAnUnsignedDecimalOrZero) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"4711", 4711},    {"000000000007", 7}, {"4294967295", 0xFFFFFFFFu},
      {"4294967296", 0}, {"99999999999", 0},  {"12a", 0},
      {"-5", 0},         {" 42 ", 42},        {"   ", 0},
  };
  for (const auto& [entry, value] : cases) EXPECT_EQ(PasswordNumber(entry), value) << entry;
}

TEST_F(SessionTest, AnAnswerWithoutDataLeavesTheSessionOpenWithoutATable) {
  fake.bios = [](const SeenCall& c) -> std::optional<BiosAnswer> {
    if (c.function == biosfn::kGetFlashPartId) return BiosAnswer{kFqbv, 0, 0, {0x42}};
    return BiosAnswer{kFqbv, 0, 0, {}};
  };
  FlashPart.FlashPartCode = 0x37;
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{Plain("No data back to App 4k buffer "),
                                        Plain("No data back to App 4k buffer ")}));
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_EQ(FlashPart.BlockTableBuilt, 0u);
  EXPECT_EQ(FlashPart.FlashPartCode, 0x37);
}

TEST_F(SessionTest, ATableWithoutTerminatorIsRefusedNotTakenAs256Blocks) {
  table = std::vector<uint8_t>(TransferSize, 0x01);  // 256 records, no terminator
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{Plain("You did not have Correct Flash Block in BIOS")}));
  EXPECT_EQ(BiosSession.Connected, 0u);
}

TEST_F(SessionTest, TheFirstTableStaysInForceForTheRun) {
  ASSERT_EQ(Connect(), std::nullopt);
  DisconnectBios(nullptr);
  table = FakeBios::Table({{0x80000, 0, 0xFFF80000u, 4}});
  ASSERT_EQ(Connect(), std::nullopt);
  ASSERT_EQ(FlashPart.BlockCount, 2);
  EXPECT_EQ(FlashPart.FlashBlockTable[0].BlockSize, 0x10000u);
}

TEST_F(SessionTest, TheTableTakesAtMost255RecordsBeforeItsTerminator) {
  std::vector<std::vector<uint32_t>> records(255, {0x1000, 0, 0, 0});
  table = FakeBios::Table(records);
  ASSERT_EQ(table.size(), TransferSize);
  EXPECT_EQ(Connect(), std::nullopt);
  EXPECT_EQ(FlashPart.BlockCount, 255);
  EXPECT_EQ(allocator.sizes.back(), 255u * 16u);
}

TEST_F(SessionTest, FailuresWhileIdentifyingAndBuildingEndTheRun) {
  fake.bios = [this](const SeenCall& c) -> std::optional<BiosAnswer> {
    if (c.function == biosfn::kGetFlashPartId) return Refuse(-1);
    return BiosAnswer{kFqbv, 0, 1, table};
  };
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Plain("Flash Part ID Fail!!")}));

  NewRun();
  UseBios(0);
  allocator.failOnCall = allocator.calls + 1;
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{Plain("No enough memory for flash block table!!")}));
}

TEST_F(SessionTest, ADisconnectRefusedWithoutATextKeepsTheSessionOpen) {
  ASSERT_EQ(Connect(), std::nullopt);
  disconnectAnswer = Refuse(-3);
  DisconnectBios(nullptr);
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_TRUE(desktop.messages.empty());
  size_t calls = machine.calls.size();
  EXPECT_EQ(Connect(), std::nullopt);  // still open: nothing is sent
  EXPECT_EQ(machine.calls.size(), calls);
}

}  // namespace
}  // namespace ql::testing
