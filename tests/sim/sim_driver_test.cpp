// The simulated flash driver, driven through the program's own discovery and request functions.
#include <cstring>

#include "sim_fixture.h"

namespace ql::testing {
namespace {

class SimDriverTest : public SimTest {};

TEST_F(SimDriverTest, DiscoveryFailsAtTheStepTheProfileNamesAndReleasesTheDeviceSet) {
  struct Case {
    sim::DiscoveryFault fault;
    const char* message;
  };
  const Case cases[] = {
      {sim::DiscoveryFault::kClassDevices, kMsgDriverNotFound},
      {sim::DiscoveryFault::kInterface, kMsgDriverNoInterface},
      {sim::DiscoveryFault::kRemoved, kMsgDriverRemoved},
      {sim::DiscoveryFault::kDetail, kMsgDriverNoDetail},
      {sim::DiscoveryFault::kOpen, kMsgDriverOpenFail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    sim::SimProfile p;
    p.discoveryFault = c.fault;
    Build(p);
    desktop.messages.clear();
    EXPECT_EQ(OpenDriver(nullptr), -1);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, c.message);
    EXPECT_EQ(sim_->OpenDeviceSets(), 0);
    // No device, no control channel.
    EXPECT_EQ(MapPhysicalMemory(kBiosSegmentPhysical, kBiosSegmentLength), 0u);
  }
  Build(sim::SimProfile{});
  EXPECT_EQ(OpenDriver(nullptr), 0);
  EXPECT_EQ(sim_->OpenDeviceSets(), 0);
}

TEST_F(SimDriverTest, TheMappedSegmentIsTheBootedBiosAndItsBlocksAreFoundByTheDriversSearch) {
  StartProgram();
  EXPECT_NE(segment_, kBiosSegmentPhysical);  // a linear address, not the physical one
  EXPECT_EQ(SearchMemory(segment_, kBcpSysSignature, 6, kSegmentSearchLength),
            sim::kSysSegmentOffset);
  EXPECT_EQ(port_, 0xB2u);
  EXPECT_EQ(value_, 0xE9);
  const std::vector<uint8_t>& part = sim_->FlashContents();
  for (uint32_t at = 0; at < kBiosSegmentLength; at += TransferSize) {
    ASSERT_TRUE(ReadMemoryBulk(segment_ + at));
    ASSERT_EQ(std::memcmp(DriverBlocks.BulkReply, part.data() + part.size() - 0x10000 + at, 4096),
              0)
        << at;
  }
  const uint8_t absent[6] = {'N', 'O', 'S', 'U', 'C', 'H'};
  EXPECT_EQ(SearchMemory(segment_, absent, 6, kSegmentSearchLength), kDriverNotFound);
  // The shadow of the BIOS is read-only.
  const uint8_t four[4] = {1, 2, 3, 4};
  EXPECT_FALSE(WriteMemory(segment_, four, 4));
  UnmapPhysicalMemory(segment_, kBiosSegmentLength);
  EXPECT_EQ(SearchMemory(segment_, kBcpSysSignature, 6, kSegmentSearchLength), kDriverNotFound);
  EXPECT_EQ(MapPhysicalMemory(0xA0000, 0x10000), kDriverNotFound);  // nothing is there
}

TEST_F(SimDriverTest, KernelBuffersArePageAlignedWithDistinctLinearAndPhysicalAddresses) {
  StartProgram();
  KernelBuffer more = AllocateKernelMemory(2 * TransferSize);
  for (const KernelBuffer& b : {send_, receive_, param_, status_, more}) {
    EXPECT_NE(b.linear, 0u);
    EXPECT_EQ(b.linear % 4096, 0u);
    EXPECT_EQ(b.physical % 4096, 0u);
    EXPECT_NE(b.linear, b.physical);
  }
  // One buffer after another in physical memory, which at-once flashing relies on.
  EXPECT_EQ(receive_.physical, send_.physical + 4096);
  EXPECT_NE(receive_.linear - send_.linear, receive_.physical - send_.physical);

  // Fill, write and read round-trip, across a page of one buffer.
  EXPECT_EQ(ReadMemory(status_.linear, 12)[11], 0xA5);
  const uint8_t data[4] = {9, 8, 7, 6};
  WriteMemory(more.linear + 4094, data, 4);
  EXPECT_EQ(std::memcmp(ReadMemory(more.linear + 4094, 4), data, 4), 0);
}

TEST_F(SimDriverTest, RequestsItCannotSatisfyAreRefusedAndLeaveTheReply) {
  StartProgram();
  std::memset(DriverBlocks.DriverReply, 0x33, kShortBlockSize);
  uint8_t request[kShortBlockSize] = {};
  uint8_t reply[kShortBlockSize];
  std::memset(reply, 0x33, sizeof reply);
  auto send = [&](uint32_t code, uint32_t size = kShortBlockSize) {
    return sim_->DeviceControl(DriverLink.DriverHandle, code, request, size, reply, size);
  };
  // A read that runs past the end of its buffer.
  PutLe32(request + 0, param_.linear + 4000);
  PutLe32(request + 4, param_.linear + 4000);
  PutLe32(request + 8, 200);
  EXPECT_FALSE(send(kIoctlReadMemory));
  // Two different addresses in a read.
  PutLe32(request + 4, param_.linear);
  PutLe32(request + 8, 4);
  EXPECT_FALSE(send(kIoctlReadMemory));
  // A count larger than the reply block.
  PutLe32(request + 4, param_.linear + 4000);
  PutLe32(request + 8, 251);
  EXPECT_FALSE(send(kIoctlReadMemory));
  // A write that does not fit its request block.
  PutLe32(request + 0, send_.linear);
  PutLe32(request + 4, 243);
  EXPECT_FALSE(send(kIoctlWriteMemory));
  // An unknown code, and unequal or unknown block sizes.
  EXPECT_FALSE(send(0x222018));
  EXPECT_FALSE(
      sim_->DeviceControl(DriverLink.DriverHandle, kIoctlReadMemory, request, 250, reply, 4104));
  for (uint8_t b : reply) ASSERT_EQ(b, 0x33);
  // Freeing 0 does nothing; freeing what was never allocated is refused.
  PutLe32(request, 0);
  EXPECT_TRUE(send(kIoctlFreeKernelMemory));
  PutLe32(request, 0x12345000);
  EXPECT_FALSE(send(kIoctlFreeKernelMemory));
  EXPECT_EQ(sim_->Memory().BufferCount(), 4u);
}

TEST_F(SimDriverTest, KernelMemoryRunsOutAtTheProfilesLimitAndFreeingGivesItBack) {
  sim::SimProfile p;
  p.kernelMemoryLimit = 6 * 4096;
  Build(p);
  StartProgram();  // four buffers of one page each
  KernelBuffer a = AllocateKernelMemory(8192);
  EXPECT_NE(a.linear, 0u);
  KernelBuffer b = AllocateKernelMemory(4096);
  EXPECT_EQ(b.linear, 0u);
  EXPECT_EQ(AllocateKernelMemory(0).linear, 0u);
  FreeKernelMemory(a.linear);
  EXPECT_NE(AllocateKernelMemory(4096).linear, 0u);
  EXPECT_EQ(sim_->DriverRequestCount(kIoctlAllocateKernelMemory), 8u);
  EXPECT_EQ(sim_->DriverRequestCount(kIoctlFreeKernelMemory), 1u);
}

}  // namespace
}  // namespace ql::testing
