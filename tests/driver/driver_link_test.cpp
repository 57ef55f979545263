// Finding and opening the flash driver on the simulated machine, and what the link never sends.
#include "driver/driver_link.h"

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

}  // namespace
}  // namespace ql::testing
