// The flash layer's pieces on their own: the at-once memory as the BIOS reads it, the progress
// arithmetic, and the power and shutdown guards.
#include "flash/once_flash.h"
#include "flash/power.h"
#include "platform/bytes.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

constexpr uint32_t kMiB = 1u << 20;

TEST_F(ProgramTest, AtOnceMemoryMapsEveryPageUpToSixteenMegabytesAndNeverReadsPastItsSource) {
  DriverLink link(*sim, allocator);
  ASSERT_TRUE(link.Open(desktop, nullptr));
  Progress progress(desktop);
  Bytes source(16 * kMiB + 2 * kPageSize);
  for (uint32_t p = 0; p < source.size() / kPageSize; ++p) PutLe32(&source[p * kPageSize], p);
  const uint32_t size = static_cast<uint32_t>(source.size());
  const char* const kCopy = "copy Rom file to once flash memory error";
  auto word = [&](uint32_t physical) {
    uint8_t bytes[4] = {};
    EXPECT_TRUE(sim->Memory().ReadPhysical(physical, 4, bytes));
    return GetLe32(bytes);
  };
  // clang-format off
  struct Case { uint32_t blockSize, fileOffset, sourceSize, tables; const char* message; bool noHeap = false; };
  const Case cases[] = {
      {4 * kMiB + kPageSize, kPageSize, size, 2, nullptr}, {16 * kMiB, 0, size, 4, nullptr},
      {16 * kMiB + 1, 0, size, 5, "Did not support ROM size greater than 16MB"},
      // The last page would start at the end of the source, then one that would end past it.
      {4 * kMiB, 0, 4 * kMiB - kPageSize, 1, kCopy}, {4 * kMiB, 100, 4 * kMiB, 1, kCopy},
      {4 * kMiB, 0, size, 1, "Failed to get page pointer", /*noHeap=*/true},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blockSize);
    desktop.messages.clear();
    const uint32_t allocated = Requests(kIoctlAllocateKernelMemory);
    const uint32_t freed = Requests(kIoctlFreeKernelMemory);
    allocator.failOnCall = c.noHeap ? allocator.calls + 1 : 0;
    {
      OnceFlashMemory memory(link, allocator);
      const bool ready = memory.Prepare(desktop, progress, nullptr, c.blockSize, c.fileOffset,
                                        source.data(), c.sourceSize);
      EXPECT_EQ(ready, c.message == nullptr);
      EXPECT_EQ(memory.PageTableCount(), c.tables);
      EXPECT_EQ(desktop.messages, ready ? std::vector<MessageRecord>{}
                                        : std::vector{Stop(c.message, "Error Message")});
      EXPECT_TRUE(!c.noHeap || Requests(kIoctlAllocateKernelMemory) == allocated);
      // Each page as the BIOS reaches it: directory, table, page.
      for (uint32_t p = 0; ready && p < c.blockSize / kPageSize; ++p) {
        uint32_t table = word(memory.DirectoryPhysical() + 4 * (p / kPageTableEntries));
        uint32_t page = word(table + 4 * (p % kPageTableEntries));
        ASSERT_EQ(word(page), c.fileOffset / kPageSize + p) << "page " << p;
      }
      memory.Release();  // and once more as it goes
    }
    EXPECT_EQ(Requests(kIoctlFreeKernelMemory) - freed,
              Requests(kIoctlAllocateKernelMemory) - allocated);
  }
}

TEST(ProgressTest, PercentAndCellsAreComputedWideAndTheMapIsLaidOnlyForARomThatDividesIt) {
  ScriptedDesktop desktop;
  Progress progress(desktop);
  const uint32_t percents[][3] = {
      {1, 3, 33}, {50, 100, 50}, {3'000'000'000u, 4'000'000'000u, 75}, {7, 0, 0}, {200, 100, 100}};
  for (const auto& [done, total, percent] : percents) {
    progress.SetPercent(done, total);
    EXPECT_EQ(progress.Percent(), percent) << done << " of " << total;
  }
  const uint32_t cells[][5] = {{0x10000, 0x10000, 8, 128, 256},
                               {kBlockMapSpan - kCellUnit, 2 * kCellUnit, 1, 1023, 1024},
                               {0xFFFFF000u, 2 * kCellUnit, 256, 1024, 1024}};
  for (const auto& [offset, length, cellsPerUnit, first, end] : cells) {
    EXPECT_EQ(CellsOf(offset, length, cellsPerUnit).first, first) << offset;
    EXPECT_EQ(CellsOf(offset, length, cellsPerUnit).end, end) << offset;
  }
  const FlashBlockRecord blocks[] = {{kCellUnit, 0, 0, kAttribLeftOutBit}};
  for (uint32_t romSize : {0u, 6000u, 3 * kCellUnit, 2 * kBlockMapSpan})
    EXPECT_EQ(progress.BuildBlockMap(nullptr, blocks, romSize), Outcome::kFatal) << romSize;
  EXPECT_EQ(desktop.messages, std::vector(4, Box(" Rom size is not 4K multiple!!", kMbOk)));
  // An 8 KiB ROM: the block is half the map. Then the whole 4 MiB: it is one cell.
  ASSERT_EQ(progress.BuildBlockMap(nullptr, blocks, 2 * kCellUnit), Outcome::kDone);
  EXPECT_EQ(progress.BlockMap()[511], CellState::kLeftOut);
  ASSERT_EQ(progress.BuildBlockMap(nullptr, blocks, kBlockMapSpan), Outcome::kDone);
  progress.Mark(kCellUnit, kCellUnit, CellState::kVerified);
  EXPECT_EQ(progress.BlockMap(), (BlockMapCells{CellState::kLeftOut, CellState::kVerified}));
  progress.ResetBlockMap();
  EXPECT_EQ(progress.BlockMap(), BlockMapCells{CellState::kLeftOut});
}

struct LogLines final : EventLog {
  void Line(const char* text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

// The power states and a refused shutdown are played through the program by the fault matrix;
// the Windows 98 family's shutdown only here.
TEST_F(ProgramTest, TheShutdownIsTheOneTheSystemAndTheLineAskForAndIsLoggedOnlyWhenTaken) {
  const std::string k2000 = "Win2000 is going to Shutdown!!", k98 = "Win98 is going to Shutdown!!";
  // clang-format off
  struct Case { ShutdownRequest request; bool privilege; std::vector<uint32_t> shutdowns; std::vector<std::string> lines; };
  // The Windows 98 family has no privilege to ask for.
  const Case cases[] = {{{false, false}, true, {kEwxPowerOff}, {k2000}}, {{false, true}, true, {kEwxReboot}, {k2000}},
                        {{true, false}, false, {kEwxShutdown}, {k98}},  {{true, true}, false, {kEwxReboot}, {k98}},
                        {{false, false}, false, {}, {}}, {{false, true}, false, {}, {"Can not shutdown automatically!!"}}};
  // clang-format on
  for (const Case& c : cases) {
    sim::SimProfile profile;
    profile.shutdownPrivilege = c.privilege;
    UseMachine(profile, BuildImage());
    LogLines log;
    EXPECT_EQ(ShutdownSystem(*sim, desktop, log, nullptr, c.request), !c.shutdowns.empty());
    EXPECT_EQ(sim->ShutdownRequests(), c.shutdowns);
    EXPECT_EQ(log.lines, c.lines);
  }
  EXPECT_EQ(desktop.messages,
            std::vector{Box("Can not shutdown automatically!!\nPlease shutdown manually!!",
                            kMbIconExclamation)});
}

}  // namespace
}  // namespace ql::testing
