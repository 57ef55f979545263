// Finding and opening the flash driver on the simulated machine, and what the link never sends.
#include "driver/driver_link.h"

#include <functional>

#include "platform/testing/recording_machine.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

class DriverLinkTest : public ProgramTest {};

// The machine's discovery faults are played by the fault matrix; no memory for the device's
// details is the program's own.
TEST_F(DriverLinkTest, NoMemoryForTheDevicesDetailsEndsTheRunHavingGivenBackWhatItTook) {
  program = std::make_unique<Program>(desktop, *sim, files, allocator, Startup());
  allocator.failOnCall = allocator.calls + 1;
  int owner = 0;
  EXPECT_EQ(ExitStatusOf([&] { program->Initialise(&owner); }), 1);
  EXPECT_EQ(desktop.messages,
            std::vector{Box(kMsgDriverNoMemory, kMbOk | kMbIconExclamation, "ERROR Message")});
  EXPECT_EQ(desktop.messages.at(0).owner, &owner);
  EXPECT_EQ(sim->OpenDeviceSets(), 0);
  EXPECT_TRUE(allocator.live.empty());
  EXPECT_EQ(Requests(kIoctlMapPhysicalMemory), 0u);
}

TEST_F(DriverLinkTest, RequestsThatDoNotFitTheirBlockAreNeverSent) {
  DriverLink link{*sim, allocator};
  ASSERT_TRUE(link.Open(desktop, nullptr));
  const Bytes bytes(kTransferSize + 1, 'x');
  EXPECT_FALSE(link.WriteMemory(0x1000, bytes.data(), kShortWriteMax + 1));
  EXPECT_FALSE(link.WriteMemoryBulk(0x1000, bytes.data(), kTransferSize + 1));
  EXPECT_EQ(link.ReadMemory(0x1000, kShortBlockSize + 1), nullptr);
  EXPECT_EQ(link.SearchMemory(0x1000, bytes.data(), kShortBlockSize - 11, 16), kDriverNotFound);
  EXPECT_EQ(Requests(kIoctlWriteMemory) + Requests(kIoctlReadMemory) + Requests(kIoctlSearchMemory),
            0u);
}

// A driver that does what the simulated one does, then hands back what it is told: the truth, a
// refusal (the reply as the program's block held it), or a reply cut or stretched by `skew` bytes.
class UnwillingMachine final : public RecordingMachine {
 public:
  using RecordingMachine::RecordingMachine;
  enum class Answer { kTruth, kRefusal, kSkewed } answer = Answer::kTruth;
  int skew = 0;
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request, uint32_t size,
                     uint8_t* reply, uint32_t replySize, uint32_t* returned) override {
    Bytes scratch(reply, reply + replySize);
    bool done = RecordingMachine::DeviceControl(device, code, request, size, scratch.data(),
                                                replySize, returned);
    if (answer == Answer::kRefusal) return false;
    std::copy(scratch.begin(), scratch.end(), reply);
    if (answer == Answer::kSkewed) *returned = static_cast<uint32_t>(replySize + skew);
    return done;
  }
};

TEST_F(DriverLinkTest, ARefusedOrShortReplyIsNeverTakenForAnAnswerAndTheLastGoodOneIsNotRepeated) {
  UnwillingMachine machine{*sim};
  DriverLink link{machine, allocator};
  ASSERT_TRUE(link.Open(desktop, nullptr));
  const uint8_t signature[] = {'B', 'C', 'P', 'S', 'Y', 'S'};
  uint32_t segment = 0;
  KernelBuffer buffer;
  // Each operation, answering true when the program took what it was told as an answer. Every one
  // first runs once truthfully, so the reply block holds a good answer an untaken one could repeat.
  struct Op {
    const char* name;
    std::function<bool()> run;
    uint32_t replyBytes;  // what the operation reads of its reply
  };
  const Op ops[] = {
      {"map",
       [&] { return (segment = link.MapPhysicalMemory(0xF0000, 0x10000)) != kDriverNotFound; }, 4},
      {"search",
       [&] { return link.SearchMemory(segment, signature, 6, 0xFFFA) != kDriverNotFound; }, 4},
      {"short read", [&] { return link.ReadMemory(segment, 128) != nullptr; }, 128},
      {"bulk read", [&] { return link.ReadMemoryBulk(segment); }, kTransferSize},
      {"allocate", [&] { return (buffer = link.AllocateKernelMemory(kTransferSize)).linear != 0; },
       8},
      {"fill", [&] { return link.FillMemory(buffer.linear, 16, 0x5A); }, 0},
      {"write", [&] { return link.WriteMemory(buffer.linear, signature, 6); }, 0},
      {"bulk write", [&] { return link.WriteMemoryBulk(buffer.linear, signature, 6); }, 0},
      {"trigger", [&] { return link.TriggerBiosCall(buffer.physical, 0xB2, 0xE9); }, 0},
      {"free", [&] { return link.FreeKernelMemory(link.AllocateKernelMemory(kPageSize).linear); },
       0},
  };
  using enum UnwillingMachine::Answer;
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    machine.answer = kTruth;
    EXPECT_TRUE(op.run());
    machine.answer = kRefusal;
    EXPECT_FALSE(op.run());
    // A reply that hands back more than its block holds is no answer either.
    machine.answer = kSkewed;
    machine.skew = 1;
    EXPECT_FALSE(op.run());
    machine.answer = kTruth;
    EXPECT_TRUE(op.run());
  }
  // A reply one byte shorter than what the operation reads: the rest would be an earlier reply's.
  for (const Op& op : ops) {
    if (op.replyBytes == 0) continue;
    SCOPED_TRACE(op.name);
    machine.answer = kSkewed;
    machine.skew =
        static_cast<int>(op.replyBytes) - 1 -
        static_cast<int>(op.replyBytes == kTransferSize ? kBulkBlockSize : kShortBlockSize);
    EXPECT_FALSE(op.run());
    machine.skew += 1;
    EXPECT_TRUE(op.run());
  }
}

}  // namespace
}  // namespace ql::testing
