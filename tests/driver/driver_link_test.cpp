#include "driver/driver_link.h"

#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class DriverLinkTest : public SeamTest {};

struct DiscoveryCase {
  DiscoveryStep failAt;
  uint32_t flags;
  int failAllocationCall;
  const char* message;
  int setsDestroyed;
  int recordsFreed;
};

TEST_F(DriverLinkTest, EachDiscoveryFailureShowsItsMessageAndReleasesWhatItTook) {
  const DiscoveryCase cases[] = {
      {DiscoveryStep::kClassDevices, 1, 0, "Can not found driver !!", 0, 0},
      {DiscoveryStep::kEnumInterface, 1, 0, "Can not get driver interface!!", 1, 0},
      {DiscoveryStep::kNone, kSpintRemoved, 0, "Driver havd been removed!!", 1, 0},
      {DiscoveryStep::kNone, 1, 1, "Memory alloc error!!", 1, 0},
      {DiscoveryStep::kDetail, 1, 0, "Get driver detail fail!!", 1, 1},
      {DiscoveryStep::kOpen, 1, 0, "Driver open fail!!", 1, 1},
  };
  for (const DiscoveryCase& c : cases) {
    SCOPED_TRACE(c.message);
    RecordingMachine m;
    m.failAt = c.failAt;
    m.interfaceFlags = c.flags;
    FailingAllocator a;
    a.failOnCall = c.failAllocationCall;
    ScriptedDesktop d;
    PlatformSeam before = InstallPlatform(PlatformSeam{&d, &m, &files, &a});
    int owner = 0;
    EXPECT_EQ(OpenDriver(&owner), -1);
    InstallPlatform(before);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], (MessageRecord{c.message, "ERROR Message", 0x30}));
    EXPECT_EQ(d.messages[0].owner, &owner);
    EXPECT_EQ(m.setsDestroyed, c.setsDestroyed);
    EXPECT_EQ(m.setsCreated, c.setsDestroyed);
    EXPECT_EQ(a.frees, c.recordsFreed);
    EXPECT_TRUE(a.live.empty());
    EXPECT_EQ(DriverLink.DriverHandle, nullptr);
  }
}

TEST_F(DriverLinkTest, RemovedMeansExactlyTheRemovedFlag) {
  machine.interfaceFlags = kSpintRemoved | 1;  // active and removed: not the removed value
  EXPECT_EQ(OpenDriver(nullptr), 0);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(DriverLinkTest, SuccessOpensTheDevicePathAndFreesTheDetailRecord) {
  machine.detailSize = 100;
  EXPECT_EQ(OpenDriver(nullptr), 0);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_NE(DriverLink.DriverHandle, nullptr);
  ASSERT_EQ(machine.openedPaths.size(), 1u);
  EXPECT_EQ(machine.openedPaths[0], machine.devicePath);
  EXPECT_EQ(machine.detailSizesAsked, std::vector<uint32_t>{100});
  ASSERT_EQ(allocator.sizes, std::vector<uint32_t>{100});
  EXPECT_TRUE(allocator.live.empty());
  EXPECT_EQ(machine.setsDestroyed, 1);
}

TEST_F(DriverLinkTest, APathThatFillsTheWholeRecordIsCutInsideIt) {
  machine.detailSize = 12;  // room for 8 path bytes, no terminator written by the platform
  EXPECT_EQ(OpenDriver(nullptr), 0);
  ASSERT_EQ(machine.openedPaths.size(), 1u);
  EXPECT_EQ(machine.openedPaths[0], machine.devicePath.substr(0, 7));
}

TEST_F(DriverLinkTest, HeapFreeIfSetIgnoresNull) {
  HeapFreeIfSet(nullptr);
  EXPECT_EQ(allocator.frees, 0);
  void* p = HeapAllocZeroed(16);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<uint8_t*>(p)[i], 0);
  HeapFreeIfSet(p);
  EXPECT_EQ(allocator.frees, 1);
  allocator.failAbove = 8;
  EXPECT_EQ(HeapAllocZeroed(9), nullptr);
}

}  // namespace
}  // namespace ql::testing
