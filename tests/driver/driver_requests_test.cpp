#include "driver/driver_requests.h"

#include <cstring>

#include "driver/driver_link.h"
#include "platform/bytes.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class DriverRequestsTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    ASSERT_EQ(OpenDriver(nullptr), 0);
  }
  const DriverCall& Last() { return machine.calls.back(); }
  static std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<uint8_t> v;
    for (int x : b) v.push_back(static_cast<uint8_t>(x));
    return v;
  }
  static std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + n);
  }
};

TEST_F(DriverRequestsTest, SearchForBcpFexMatchesTheDocumentedBytes) {
  machine.replies.push_back(Bytes({0x10, 0x02, 0, 0}));
  const uint8_t pattern[] = {'B', 'C', 'P', 'F', 'E', 'X'};
  EXPECT_EQ(SearchMemory(0x80F00000u, pattern, 6, 0xFFFA), 0x210u);
  const DriverCall& c = Last();
  EXPECT_EQ(c.code, 0x222010u);
  EXPECT_EQ(c.requestSize, 250u);
  EXPECT_EQ(c.replySize, 250u);
  EXPECT_EQ(Slice(c.request, 0, 18), Bytes({0x00, 0x00, 0xF0, 0x80, 0x06, 0, 0, 0, 0xFA, 0xFF, 0, 0,
                                            0x42, 0x43, 0x50, 0x46, 0x45, 0x58}));
}

TEST_F(DriverRequestsTest, ReadOf18BytesCarriesTheAddressTwiceAndLeavesTheRestUnwritten) {
  // A previous search left its pattern at bytes 12-17; the read must not touch them.
  const uint8_t pattern[] = {'B', 'C', 'P', 'F', 'E', 'X'};
  SearchMemory(0x1234, pattern, 6, 0xFFFA);
  ReadMemory(0x80F0A5C0u, 18);
  const DriverCall& c = Last();
  EXPECT_EQ(c.code, 0x222014u);
  EXPECT_EQ(Slice(c.request, 0, 18), Bytes({0xC0, 0xA5, 0xF0, 0x80, 0xC0, 0xA5, 0xF0, 0x80, 0x12, 0,
                                            0, 0, 0x42, 0x43, 0x50, 0x46, 0x45, 0x58}));
}

TEST_F(DriverRequestsTest, AShortReadLeavesTheRestOfTheReplyAsItWas) {
  std::vector<uint8_t> first(250);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
  machine.replies.push_back(first);
  ReadMemory(0x1000, 128);
  machine.responder = [](const DriverCall& call, uint8_t* reply) {
    std::memset(reply, 0xEE, GetLe32(call.request.data() + 8));  // the driver writes `count`
  };
  const uint8_t* r = ReadMemory(0x2000, 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(r[i], 0xEE);
  for (int i = 12; i < 250; ++i) EXPECT_EQ(r[i], static_cast<uint8_t>(i)) << i;
}

TEST_F(DriverRequestsTest, AFailedControlCallLeavesThePreviousReply) {
  machine.replies.push_back(Bytes({0x00, 0x00, 0x0F, 0x00}));
  EXPECT_EQ(MapPhysicalMemory(0xF0000, 0x10000), 0x000F0000u);
  machine.controlSucceeds = false;
  const uint8_t pattern[] = {'B', 'C', 'P', 'D', 'M', 'I'};
  // The search reads the previous operation's reply field: the system cannot tell.
  EXPECT_EQ(SearchMemory(0x1000, pattern, 6, 0xFFFA), 0x000F0000u);
}

TEST_F(DriverRequestsTest, EveryOperationWritesItsFieldsAtTheirOffsets) {
  machine.replies.push_back(Bytes({0x00, 0x10, 0x20, 0x30, 0x00, 0x50, 0x06, 0x00}));
  KernelBuffer k = AllocateKernelMemory(60);
  EXPECT_EQ(k.linear, 0x30201000u);
  EXPECT_EQ(k.physical, 0x00065000u);
  EXPECT_EQ(Last().code, 0x222044u);
  EXPECT_EQ(GetLe32(Last().request.data()), 60u);

  MapPhysicalMemory(0xF0000, 0x10000);
  EXPECT_EQ(Last().code, 0x222008u);
  EXPECT_EQ(Slice(Last().request, 0, 8), Bytes({0, 0, 0x0F, 0, 0, 0, 1, 0}));

  UnmapPhysicalMemory(0x80F00000u, 0x10000);
  EXPECT_EQ(Last().code, 0x22200cu);
  EXPECT_EQ(Slice(Last().request, 0, 8), Bytes({0, 0, 0xF0, 0x80, 0, 0, 1, 0}));

  FreeKernelMemory(0);
  EXPECT_EQ(Last().code, 0x222048u);
  EXPECT_EQ(GetLe32(Last().request.data()), 0u);

  TriggerBiosCall(0x00065000u, 0xB2, 0xE9);
  EXPECT_EQ(Last().code, 0x22204cu);
  EXPECT_EQ(Slice(Last().request, 0, 9), Bytes({0, 0x50, 6, 0, 0xB2, 0, 0, 0, 0xE9}));

  FillMemory(0x30201000u, 12, 0xA5);
  EXPECT_EQ(Last().code, 0x222050u);
  EXPECT_EQ(Slice(Last().request, 0, 9), Bytes({0, 0x10, 0x20, 0x30, 12, 0, 0, 0, 0xA5}));

  const uint8_t data[4] = {1, 2, 3, 4};
  EXPECT_TRUE(WriteMemory(0x30201000u, data, 4));
  EXPECT_EQ(Last().code, 0x222054u);
  EXPECT_EQ(Last().requestSize, 250u);
  EXPECT_EQ(Slice(Last().request, 0, 12), Bytes({0, 0x10, 0x20, 0x30, 4, 0, 0, 0, 1, 2, 3, 4}));
}

TEST_F(DriverRequestsTest, BulkTransfersUseThe4104BytePair) {
  std::vector<uint8_t> page(4096);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7);
  EXPECT_TRUE(WriteMemoryBulk(0x5000, page.data(), 4096));
  EXPECT_EQ(Last().code, 0x222054u);
  EXPECT_EQ(Last().requestSize, 4104u);
  EXPECT_EQ(Last().replySize, 4104u);
  EXPECT_EQ(GetLe32(Last().request.data()), 0x5000u);
  EXPECT_EQ(GetLe32(Last().request.data() + 4), 4096u);
  EXPECT_EQ(Slice(Last().request, 8, 4096), page);

  machine.replies.push_back(page);
  EXPECT_TRUE(ReadMemoryBulk(0x6000));
  EXPECT_EQ(Last().code, 0x222014u);
  EXPECT_EQ(Last().requestSize, 4104u);
  EXPECT_EQ(Slice(Last().request, 0, 12), Bytes({0, 0x60, 0, 0, 0, 0x60, 0, 0, 0, 0x10, 0, 0}));
  EXPECT_EQ(std::memcmp(DriverBlocks.BulkReply, page.data(), 4096), 0);
}

TEST_F(DriverRequestsTest, OversizedTransfersAreNeverSent) {
  std::vector<uint8_t> big(4097);
  size_t before = machine.calls.size();
  EXPECT_FALSE(WriteMemory(0x1000, big.data(), 243));
  EXPECT_FALSE(WriteMemoryBulk(0x1000, big.data(), 4097));
  EXPECT_EQ(ReadMemory(0x1000, 251), nullptr);
  EXPECT_EQ(machine.calls.size(), before);
  EXPECT_TRUE(WriteMemory(0x1000, big.data(), 242));
}

}  // namespace
}  // namespace ql::testing
