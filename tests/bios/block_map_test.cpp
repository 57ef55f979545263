#include <cstring>

#include "bios/flash_part.h"
#include "flash/progress.h"
#include "rom/rom_image.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class BlockMapTest : public SeamTest {
 protected:
  void UseTable(const std::vector<FlashBlockRecord>& records) {
    table = records;
    FlashPart.FlashBlockTable = table.data();
    FlashPart.BlockCount = static_cast<int32_t>(table.size());
  }
  void TearDown() override {
    FlashPart.FlashBlockTable = nullptr;  // the table is the test's, not the heap's
    SeamTest::TearDown();
  }
  // The cells holding `state` in the baseline, as [first, end) runs.
  std::vector<std::pair<int, int>> Runs(uint8_t state) {
    std::vector<std::pair<int, int>> runs;
    for (int c = 0; c < 1024; ++c) {
      if (Progress.BaselineBlockMap[c] != state) continue;
      if (!runs.empty() && runs.back().second == c) {
        ++runs.back().second;
      } else {
        runs.push_back({c, c + 1});
      }
    }
    return runs;
  }
  std::vector<FlashBlockRecord> table;
};

TEST_F(BlockMapTest, A512KRomGivesEightCellsPerPieceAndLeftOutBlocksTheirOwnState) {
  RomImage.RomSize = 0x80000;
  UseTable({{0x10000, 0x10000, 0, 1}, {0x10000, 0x30000, 0, 5}, {0x20000, 0x40000, 0, 0}});
  BuildBlockMap(nullptr);
  EXPECT_EQ(Progress.CellsPerUnit, 8u);
  EXPECT_EQ(Runs(kCellLeftOut), (std::vector<std::pair<int, int>>{{128, 256}, {384, 512}}));
  EXPECT_EQ(std::memcmp(Progress.BlockMap, Progress.BaselineBlockMap, 1024), 0);
  EXPECT_EQ(desktop.repaints[ProgressItem::kBlockMap], 1);
}

TEST_F(BlockMapTest, EveryBlockWithoutBit0StartsUntouchedWhateverCameBefore) {
  RomImage.RomSize = 0x400000;  // one cell per piece
  UseTable(
      {{0x1000, 0, 0, 8}, {0x1000, 0x1000, 0, 1}, {0x1000, 0x2000, 0, 16}, {0x1000, 0x3000, 0, 4}});
  std::memset(Progress.BaselineBlockMap, kCellVerified, 1024);  // an earlier connect's map
  BuildBlockMap(nullptr);
  EXPECT_EQ(Progress.CellsPerUnit, 1u);
  EXPECT_EQ(Runs(kCellLeftOut), (std::vector<std::pair<int, int>>{{1, 2}}));
  EXPECT_EQ(Runs(kCellUntouched), (std::vector<std::pair<int, int>>{{0, 1}, {2, 1024}}));
}

TEST_F(BlockMapTest, ABlockReachingPastTheRomNeverWritesPastTheMap) {
  RomImage.RomSize = 0x80000;
  UseTable({{0x40000, 0x70000, 0, 1}});  // ends 0x30000 past the ROM
  Progress.BaselineBlockMap[0] = kCellErased;
  BuildBlockMap(nullptr);
  EXPECT_EQ(Runs(kCellLeftOut), (std::vector<std::pair<int, int>>{{896, 1024}}));
  EXPECT_EQ(Progress.BaselineBlockMap[0], kCellUntouched);  // rebuilt, not overrun
}

TEST_F(BlockMapTest, ARomSizeThatDoesNotDivide4MiBInto4KPiecesEndsTheRun) {
  const uint32_t sizes[] = {0x60000, 0x800000, 0, 0x800, 0x80001};
  for (uint32_t size : sizes) {
    desktop.messages.clear();
    RomImage.RomSize = size;
    EXPECT_EQ(ExitStatusOf([] { BuildBlockMap(nullptr); }), 1) << size;
    EXPECT_EQ(desktop.messages,
              (std::vector<MessageRecord>{{" Rom size is not 4K multiple!!", "Quorrelite", 0}}))
        << size;
  }
}

}  // namespace
}  // namespace ql::testing
