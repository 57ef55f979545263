#include "driver/bios_call.h"

#include <cstring>

#include "bios/bios_interface.h"
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "dmi/dmi_strings.h"
#include "driver/driver_link.h"
#include "fake_bios.h"
#include "platform/bytes.h"
#include "rom/rom_image.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class BiosCallTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    ASSERT_EQ(OpenDriver(nullptr), 0);
    BiosInterface.TriggerPort = kFakePort;
    BiosInterface.TriggerValue = kFakeTriggerValue;
  }
  void TearDown() override {
    EXPECT_TRUE(fake.faults.empty()) << fake.faults.front();
    SeamTest::TearDown();
  }
  std::vector<uint32_t> CodesFrom(size_t first) const {
    std::vector<uint32_t> codes = machine.Codes();
    return std::vector<uint32_t>(codes.begin() + static_cast<long>(first), codes.end());
  }
  FakeBios fake{machine};
};

TEST_F(BiosCallTest, SetUpAllocatesFourBuffersThenFillsEachWithItsByte) {
  SetUpBiosCallBuffers(nullptr);
  std::vector<uint32_t> allocSizes, fills;
  for (const DriverCall& c : machine.calls) {
    if (c.code == kIoctlAllocateKernelMemory) allocSizes.push_back(GetLe32(c.request.data()));
    if (c.code == kIoctlFillMemory) fills.push_back(c.request[8]);
  }
  EXPECT_EQ(allocSizes, (std::vector<uint32_t>{4096, 4096, 60, 12}));
  EXPECT_EQ(fills, (std::vector<uint32_t>{0x55, 0xAA, 0x5A, 0xA5}));
  EXPECT_EQ(fake.Buffer(0), std::vector<uint8_t>(4096, 0x55));
  EXPECT_EQ(fake.Buffer(1), std::vector<uint8_t>(4096, 0xAA));
  EXPECT_EQ(fake.Buffer(2), std::vector<uint8_t>(60, 0x5A));
  EXPECT_EQ(fake.Buffer(3), std::vector<uint8_t>(12, 0xA5));
  EXPECT_EQ(BiosCalls.BuffersReady, 1u);
}

TEST_F(BiosCallTest, AKernelBufferAtAddressZeroEndsTheProgramBeforeAnythingIsFilled) {
  fake.allocationFailing = 2;  // the parameter block
  EXPECT_EQ(ExitStatusOf([] { SetUpBiosCallBuffers(nullptr); }), 1);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0], (MessageRecord{"Memory allocate error", "Quorrelite", 0x10}));
  for (uint32_t code : machine.Codes()) EXPECT_NE(code, kIoctlFillMemory);
  // The buffers that were allocated are given back; the missing one is "freed" as 0.
  EXPECT_EQ(fake.freed, (std::vector<uint32_t>{0x81000000u, 0x81010000u, 0, 0x81030000u}));
  EXPECT_EQ(desktop.skinReleases, 1);
}

TEST_F(BiosCallTest, ACallWritesTheWholeParameterBlockTriggersAndReadsTheStatusBack) {
  SetUpBiosCallBuffers(nullptr);
  SetBiosParams(0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88);
  fake.bios = [](const SeenCall&) { return BiosAnswer{0x56425146u, 0, 1, {}}; };
  size_t before = machine.calls.size();
  EXPECT_EQ(BiosCall(biosfn::kReadFlash), 1u);
  ASSERT_EQ(CodesFrom(before), (std::vector<uint32_t>{kIoctlFillMemory, kIoctlWriteMemory,
                                                      kIoctlTriggerBiosCall, kIoctlReadMemory}));

  const std::vector<uint8_t>& write = machine.calls[before + 1].request;
  EXPECT_EQ(GetLe32(write.data()), 0x81020000u);  // the parameter block's linear address
  EXPECT_EQ(GetLe32(write.data() + 4), 60u);
  const uint32_t expected[15] = {5,    0x00200000u, 0x00210000u, 0x00230000u, 4096, 4096, 12,  0x11,
                                 0x22, 0x33,        0x44,        0x55,        0x66, 0x77, 0x88};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(GetLe32(write.data() + 8 + 4 * i), expected[i]) << i;

  const std::vector<uint8_t>& trigger = machine.calls[before + 2].request;
  EXPECT_EQ(GetLe32(trigger.data()), 0x00220000u);  // the parameter block's physical address
  EXPECT_EQ(GetLe32(trigger.data() + 4), kFakePort);
  EXPECT_EQ(trigger[8], kFakeTriggerValue);

  const std::vector<uint8_t>& read = machine.calls[before + 3].request;
  EXPECT_EQ(GetLe32(read.data()), 0x81030000u);
  EXPECT_EQ(GetLe32(read.data() + 8), 12u);
  EXPECT_EQ(BiosCalls.Code, 1);
  EXPECT_EQ(BiosCalls.SignatureValid, 1u);
}

TEST_F(BiosCallTest, ParametersStayFromCallToCallUntilSetAgain) {
  SetUpBiosCallBuffers(nullptr);
  SetBiosParams(1234, 0, 0, 0, 0, 0, 0, 9);
  BiosCall(biosfn::kConnect);
  BiosCall(biosfn::kGetFlashPartId);
  ASSERT_EQ(fake.seen.size(), 2u);
  EXPECT_EQ(fake.seen[1].function, biosfn::kGetFlashPartId);
  EXPECT_EQ(fake.seen[1].param[0], 1234u);
  EXPECT_EQ(fake.seen[1].param[7], 9u);
}

TEST_F(BiosCallTest, TheStatusBlockDecidesTheResult) {
  SetUpBiosCallBuffers(nullptr);

  // Never answered: the fill reads back in all three fields.
  EXPECT_EQ(BiosCall(biosfn::kConnect), 0u);
  EXPECT_EQ(BiosCalls.SignatureValid, 0u);
  EXPECT_EQ(BiosCalls.Signature, 0xA5A5A5A5u);
  EXPECT_EQ(BiosCalls.Status, static_cast<int32_t>(0xA5A5A5A5u));
  EXPECT_EQ(BiosCalls.Code, static_cast<int32_t>(0xA5A5A5A5u));

  // A wrong signature fails even with Status 0, and its fields are still kept.
  fake.bios = [](const SeenCall&) { return BiosAnswer{0x56425147u, 0, 1, {}}; };
  EXPECT_EQ(BiosCall(biosfn::kConnect), 0u);
  EXPECT_EQ(BiosCalls.SignatureValid, 0u);
  EXPECT_EQ(BiosCalls.Status, 0);

  // The right signature with a failure status: 0, and the status is there for the caller.
  fake.bios = [](const SeenCall&) { return BiosAnswer{0x56425146u, -9, 0, {}}; };
  EXPECT_EQ(BiosCall(biosfn::kOnceFlash), 0u);
  EXPECT_EQ(BiosCalls.SignatureValid, 1u);
  EXPECT_EQ(BiosCalls.Status, -9);
}

TEST_F(BiosCallTest, AnUnansweredCallNeverReadsBackThePreviousSuccess) {
  SetUpBiosCallBuffers(nullptr);
  fake.bios = [](const SeenCall&) { return BiosAnswer{0x56425146u, 0, 1, {}}; };
  ASSERT_EQ(BiosCall(biosfn::kReadFlash), 1u);
  fake.bios = nullptr;
  EXPECT_EQ(BiosCall(biosfn::kReadFlash), 0u);
  EXPECT_EQ(BiosCalls.SignatureValid, 0u);
  EXPECT_EQ(BiosCalls.Code, static_cast<int32_t>(0xA5A5A5A5u));
}

TEST_F(BiosCallTest, NoCallIsSentBeforeTheBuffersExist) {
  EXPECT_EQ(BiosCall(biosfn::kConnect), 0u);
  EXPECT_EQ(BiosCalls.SignatureValid, 0u);
  EXPECT_TRUE(machine.calls.empty());
}

TEST_F(BiosCallTest, TheReceiveBufferIsFetchedWholeAndItsTextNeverRunsPastIt) {
  SetUpBiosCallBuffers(nullptr);
  std::vector<uint8_t> text(TransferSize, 'x');
  fake.bios = [&](const SeenCall&) { return BiosAnswer{0x56425146u, -1, -11, text}; };
  BiosCall(biosfn::kConnect);
  FetchReceiveBuffer();
  EXPECT_EQ(machine.calls.back().requestSize, kBulkBlockSize);
  EXPECT_EQ(GetLe32(machine.calls.back().request.data()), 0x81010000u);
  EXPECT_EQ(GetLe32(machine.calls.back().request.data() + 8), TransferSize);

  DriverBlocks.BulkReply[TransferSize] = 'y';  // beyond the data: must not be taken
  std::vector<char> out(TransferSize + 1, 0);
  ReceivedText(out.data());
  EXPECT_EQ(std::string(out.data()), std::string(TransferSize, 'x'));
  std::memcpy(DriverBlocks.BulkReply, "Flash locked\0tail", 17);
  ReceivedText(out.data());
  EXPECT_STREQ(out.data(), "Flash locked");
}

class ReleaseTest : public BiosCallTest {};

TEST_F(ReleaseTest, ReleasesEverythingInOrderAndClearsWhatItFreed) {
  BiosInterface.BiosSegment = kFakeSegmentLinear;
  SetUpBiosCallBuffers(nullptr);
  FlashPart.FlashBlockTable = static_cast<FlashBlockRecord*>(HeapAllocZeroed(32));
  FlashPart.BlockCount = 2;
  RomImage.Buffer = static_cast<uint8_t*>(HeapAllocZeroed(0x80000));
  RomImage.BufferSize = 0x80000;
  DmiStrings.BiosSegmentCopy = static_cast<uint8_t*>(HeapAllocZeroed(0x10000));
  ASSERT_EQ(allocator.live.size(), 3u);

  size_t before = machine.calls.size();
  ReleaseBiosCallResources();
  EXPECT_EQ(
      CodesFrom(before),
      (std::vector<uint32_t>{kIoctlFreeKernelMemory, kIoctlFreeKernelMemory, kIoctlFreeKernelMemory,
                             kIoctlFreeKernelMemory, kIoctlUnmapPhysicalMemory}));
  EXPECT_EQ(fake.freed,
            (std::vector<uint32_t>{0x81000000u, 0x81010000u, 0x81020000u, 0x81030000u}));
  EXPECT_EQ(fake.unmapped, (std::vector<uint32_t>{kFakeSegmentLinear}));
  EXPECT_EQ(GetLe32(machine.calls.back().request.data() + 4), 0x10000u);
  EXPECT_TRUE(allocator.live.empty());
  EXPECT_EQ(FlashPart.FlashBlockTable, nullptr);
  EXPECT_EQ(FlashPart.BlockCount, 0);
  EXPECT_EQ(RomImage.Buffer, nullptr);
  EXPECT_EQ(DmiStrings.BiosSegmentCopy, nullptr);
  EXPECT_EQ(BiosInterface.BiosSegment, 0u);

  // A second release frees no heap block twice and unmaps nothing again.
  int frees = allocator.frees;
  ReleaseBiosCallResources();
  EXPECT_EQ(allocator.frees, frees);
  EXPECT_EQ(fake.unmapped.size(), 1u);
}

TEST_F(ReleaseTest, FatalExitBeforeTheBuffersExistFreesAddressZeroFourTimesAndStillUnmaps) {
  BiosInterface.BiosSegment = kFakeSegmentLinear;
  EXPECT_EQ(ExitStatusOf([] { FatalExit(nullptr); }), 1);
  EXPECT_EQ(fake.freed, (std::vector<uint32_t>{0, 0, 0, 0}));
  EXPECT_EQ(fake.unmapped, (std::vector<uint32_t>{kFakeSegmentLinear}));
  EXPECT_EQ(desktop.skinReleases, 1);
  EXPECT_TRUE(fake.seen.empty());  // no Disconnect on the way out
}

// What the simulated BIOS never does: refuse the part-id call, change its table between sessions,
// refuse a Disconnect without a text.
class OddBiosSessionTest : public BiosCallTest {
 protected:
  void SetUp() override {
    BiosCallTest::SetUp();
    RomImage.RomSize = 0x80000;
    SetUpBiosCallBuffers(nullptr);
    fake.bios = [this](const SeenCall& c) -> std::optional<BiosAnswer> {
      if (c.function == biosfn::kConnect) {
        if (c.param[0] != password) return BiosAnswer{0x56425146u, -1, -5, {}};
        return BiosAnswer{0x56425146u, 0, 1, table};
      }
      return c.function == biosfn::kGetFlashPartId ? partId : disconnect;
    };
  }
  std::optional<int> Connect() {
    return ExitStatusOf([] { ConnectBios(nullptr); });
  }
  uint32_t password = 0;
  std::vector<uint8_t> table = FakeBios::Table({{0x10000, 0x70000, 0xFFFF0000u, 0}});
  BiosAnswer partId{0x56425146u, 0, 1, {0xBF}};
  BiosAnswer disconnect{0x56425146u, 0, 0, {}};
};

TEST_F(OddBiosSessionTest, ThePartIdCallCarriesTheAcceptedPasswordAndTheFirstTableStaysInForce) {
  password = 4711;
  desktop.passwordAnswers = {"4711"};
  ASSERT_EQ(Connect(), std::nullopt);
  ASSERT_EQ(fake.seen.size(), 3u);  // refused without a password, accepted, the part id
  EXPECT_EQ(fake.seen[2].function, biosfn::kGetFlashPartId);
  EXPECT_EQ(fake.seen[2].param[0], 4711u);
  DisconnectBios(nullptr);
  EXPECT_EQ(fake.seen.back().function, biosfn::kDisconnect);
  for (uint32_t p : fake.seen.back().param) EXPECT_EQ(p, 0u);

  table = FakeBios::Table({{0x80000, 0, 0xFFF80000u, 4}});
  ASSERT_EQ(Connect(), std::nullopt);
  ASSERT_EQ(FlashPart.BlockCount, 1);
  EXPECT_EQ(FlashPart.FlashBlockTable[0].BlockSize, 0x10000u);
}

TEST_F(OddBiosSessionTest, ARefusedPartIdEndsTheRun) {
  partId = BiosAnswer{0x56425146u, -1, -1, {}};
  EXPECT_EQ(Connect(), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{{"Flash Part ID Fail!!", "Quorrelite", 0}}));
}

TEST_F(OddBiosSessionTest, ADisconnectRefusedWithoutATextKeepsTheSessionOpen) {
  ASSERT_EQ(Connect(), std::nullopt);
  disconnect = BiosAnswer{0x56425146u, -1, -3, {}};
  DisconnectBios(nullptr);
  EXPECT_EQ(BiosSession.Connected, 1u);
  EXPECT_TRUE(desktop.messages.empty());
  size_t calls = machine.calls.size();
  EXPECT_EQ(Connect(), std::nullopt);  // still open: nothing is sent
  EXPECT_EQ(machine.calls.size(), calls);
}

}  // namespace
}  // namespace ql::testing
