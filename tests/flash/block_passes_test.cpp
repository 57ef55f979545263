// The block passes on the simulated machine: what each Attrib row does to the part, the options,
// the refusals made before anything is erased, and the faults the checks must catch.
#include <algorithm>

#include "app/options.h"
#include "bios/flash_part.h"
#include "flash/block_passes.h"
#include "flash/flash_job.h"
#include "flash/once_flash.h"
#include "flash/progress.h"
#include "flash/flash_scenario.h"

namespace ql::testing {
namespace {

class BlockPassesTest : public FlashScenario {
 protected:
  // A fresh program on a machine whose table is `blocks` (the rest of the part left out).
  void Run(const std::vector<sim::BlockSpec>& blocks, sim::SimProfile profile = {}) {
    profile.explicitBlocks = true;
    profile.blocks = blocks;
    Fresh(profile);
    Load(newer_);
  }
  int Flash() { return FlashBlocks(nullptr, RomImage.Buffer, FlashableImageBytes()); }
  void Options(uint32_t verify, uint32_t blank) {
    ql::Options.AutoVerify = verify;
    ql::Options.AutoBlankCheck = blank;
  }
  // The part outside [offset, offset + count) is as it was.
  void ExpectUntouchedOutside(uint32_t offset, uint32_t count) {
    EXPECT_TRUE(std::equal(Part().begin(), Part().begin() + offset, installed_.begin()));
    EXPECT_TRUE(std::equal(Part().begin() + offset + count, Part().end(),
                           installed_.begin() + offset + count));
  }
  static sim::BlockSpec Block(uint32_t size, uint32_t offset, uint32_t attrib) {
    return sim::BlockSpec{size, offset, 0, true, attrib};
  }
};

enum class Ends { kNew, kOld, kErased, kOldAndNew };

TEST_F(BlockPassesTest, EachAttribRowTreatsTheBlockAsItsRowSays) {
  struct Case {
    uint32_t attrib, verify, blank;
    Ends ends;
    const char* message;  // null: the passes succeed
    uint32_t erases, programs, reads, onceFlashes;
  };
  const Case cases[] = {
      {0x00, 1, 1, Ends::kNew, nullptr, 1, 16, 32, 0},
      {0x00, 0, 0, Ends::kNew, nullptr, 1, 16, 0, 0},
      {0x18, 1, 1, Ends::kNew, nullptr, 1, 16, 32, 0},
      {0x04, 1, 1, Ends::kNew, nullptr, 0, 0, 16, 1},
      {0x04, 0, 0, Ends::kNew, nullptr, 0, 0, 0, 1},
      {0x08, 1, 1, Ends::kErased, nullptr, 1, 0, 16, 0},
      {0x08, 1, 0, Ends::kErased, nullptr, 1, 0, 0, 0},
      {0x10, 0, 1, Ends::kOldAndNew, nullptr, 0, 16, 0, 0},
      // Programming over old bytes without an erase is what the verify is there to catch.
      {0x10, 1, 1, Ends::kOldAndNew, "Verify failed!!!", 0, 16, 1, 0},
      {0x01, 1, 1, Ends::kOld, nullptr, 0, 0, 0, 0},
      {0x02, 1, 1, Ends::kOld, nullptr, 0, 0, 0, 0},
      {0x20, 1, 1, Ends::kOld, nullptr, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "Attrib " << c.attrib << " verify " << c.verify << " blank check " << c.blank);
    Run({Block(kBlock, 0, c.attrib), Block(kPart - kBlock, kBlock, 2)});
    Options(c.verify, c.blank);
    EXPECT_EQ(Flash(), c.message == nullptr ? 1 : 0);
    if (c.message == nullptr) {
      EXPECT_TRUE(desktop.messages.empty()) << desktop.Texts()[0];
    } else {
      EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Stop(c.message)});
    }
    Bytes expected(kBlock, 0xFF);
    for (uint32_t n = 0; n < kBlock; ++n) {
      if (c.ends == Ends::kNew) expected[n] = newer_[n];
      if (c.ends == Ends::kOld) expected[n] = installed_[n];
      if (c.ends == Ends::kOldAndNew) expected[n] = installed_[n] & newer_[n];
    }
    EXPECT_EQ(PartRange(0, kBlock), expected);
    ExpectUntouchedOutside(0, kBlock);
    EXPECT_EQ(Calls(biosfn::kEraseBlock), c.erases);
    EXPECT_EQ(Calls(biosfn::kProgramFlash), c.programs);
    EXPECT_EQ(Calls(biosfn::kReadFlash), c.reads);
    EXPECT_EQ(Calls(biosfn::kOnceFlash), c.onceFlashes);
    EXPECT_FALSE(sim_->Bios().SessionOpen());
    EXPECT_EQ(Progress.ProgressPhase, kPhaseStatus);
  }
}

TEST_F(BlockPassesTest, ABlockThatIsNotWholePiecesIsWrittenToItsLastByte) {
  Run({Block(6144, 0, 0), Block(kPart - kBlock, kBlock, 2)});
  EXPECT_EQ(Flash(), 1);
  EXPECT_EQ(PartRange(0, 6144), Slice(newer_, 0, 6144));
  ExpectUntouchedOutside(0, 6144);
  EXPECT_EQ(Calls(biosfn::kProgramFlash), 2u);
  EXPECT_EQ(Calls(biosfn::kReadFlash), 4u);  // blank check and verify, two pieces each
}

TEST_F(BlockPassesTest, TheChecksCatchWhatThePartDidNotDo) {
  // Piece 1 of block 0 holds the same bytes as piece 0, so a failed read that left the bytes of
  // piece 0 in the receive buffer would look like a good one.
  for (uint32_t n = 0; n < 2 * TransferSize; ++n) newer_[n] = 0x3C;
  sim::SimProfile stuckHigh;
  stuckHigh.stuckBits = {{0x1345, 0x01, true}};
  sim::SimProfile eraseFails;
  eraseFails.eraseFailsAt = {0x1000};
  sim::SimProfile readFails;
  readFails.readFailsAt = {0x1000};
  struct Case {
    const char* name;
    sim::SimProfile profile;
    uint32_t blank;
    const char* message;
    uint32_t programs;
  };
  const Case cases[] = {
      {"stuck bit", stuckHigh, 1, "Verify failed!!!", 16},
      {"erase fails", eraseFails, 1, "Blank Check failed!!!", 0},
      {"read fails in the blank check", readFails, 1, "Blank Check failed!!!", 0},
      {"read fails in the verify", readFails, 0, "Verify failed!!!", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run({Block(kBlock, 0, 0), Block(kBlock, kBlock, 0)}, c.profile);
    Options(1, c.blank);
    EXPECT_EQ(Flash(), 0);
    EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Stop(c.message)});
    EXPECT_EQ(Calls(biosfn::kProgramFlash), c.programs);
    EXPECT_EQ(Calls(biosfn::kEraseBlock), 1u);  // the second block is never reached
    EXPECT_EQ(PartRange(kBlock, kBlock), Slice(installed_, kBlock, kBlock));
    EXPECT_FALSE(sim_->Bios().SessionOpen());
    EXPECT_EQ(Progress.ProgressPercent, 0u);
  }
}

TEST_F(BlockPassesTest, AFlashThatCannotBeCompletedIsRefusedBeforeAnythingIsErased) {
  sim::SimProfile withoutData;
  withoutData.connectWithoutData = true;
  struct Case {
    const char* name;
    std::vector<sim::BlockSpec> blocks;
    sim::SimProfile profile;
    uint32_t sourceSize;
    std::vector<MessageRecord> messages;
  };
  const Case cases[] = {
      {"a connect without a table",
       {Block(kBlock, 0, 0)},
       withoutData,
       kPart,
       {Box("No data back to App 4k buffer ", kMbOk),
        Stop("The BIOS did not report any flash block!!\nNothing was flashed!!")}},
      {"a last block beyond the image",
       {Block(kBlock, 0, 0), Block(kBlock, kPart - kBlock, 0)},
       {},
       kPart - 1,
       {Stop("The flash blocks of the BIOS reach beyond the rom image!!\nNothing was flashed!!")}},
      {"an at-once block beyond the image",
       {Block(kBlock, 0, 0), Block(kBlock, kPart - kBlock, 4)},
       {},
       kPart - kBlock,
       {Stop("The flash blocks of the BIOS reach beyond the rom image!!\nNothing was flashed!!")}},
      {"an at-once block of part of a page",
       {Block(kBlock, 0, 0), Block(6144, kBlock, 4)},
       {},
       kPart,
       {Stop("The once flash block is not a whole number of 4K pages!!\nNothing was flashed!!")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.blocks, c.profile);
    desktop.messages.clear();
    EXPECT_EQ(FlashBlocks(nullptr, RomImage.Buffer, c.sourceSize), 0);
    EXPECT_EQ(desktop.messages, c.messages);
    EXPECT_EQ(Part(), installed_);
    EXPECT_EQ(Calls(biosfn::kEraseBlock) + Calls(biosfn::kOnceFlash), 0u);
    EXPECT_FALSE(sim_->Bios().SessionOpen());
  }
}

TEST_F(BlockPassesTest, ASelectionWithNothingSelectedOpensAndClosesTheSession) {
  Run({Block(kBlock, 0, 0), Block(kBlock, kBlock, 0)});
  BlockPasses.SelectedBlocksOnly = 1;
  EXPECT_EQ(Flash(), 1);
  EXPECT_EQ(Calls(biosfn::kConnect), 1u);
  EXPECT_EQ(Calls(biosfn::kDisconnect), 1u);
  EXPECT_EQ(Part(), installed_);

  BlockPasses.BlockSelection[1] = 1;
  EXPECT_EQ(Flash(), 1);
  EXPECT_EQ(PartRange(0, kBlock), Slice(installed_, 0, kBlock));
  EXPECT_EQ(PartRange(kBlock, kBlock), Slice(newer_, kBlock, kBlock));
}

TEST_F(BlockPassesTest, AnAtOnceFailureEndsThePassesWithItsMessageAndGivesBackItsMemory) {
  sim::SimProfile programFails;
  programFails.onceFlashFault = sim::OnceFlashFault::kProgram;
  sim::SimProfile eraseFails;
  eraseFails.onceFlashFault = sim::OnceFlashFault::kErase;
  sim::SimProfile noMemory;
  noMemory.kernelMemoryLimit = 64 * 1024;
  // A LinearPtr outside the part: the BIOS refuses with a Status of its own.
  sim::BlockSpec outside{kBlock, 0, 0x1000, false, 4};
  struct Case {
    const char* name;
    sim::SimProfile profile;
    sim::BlockSpec block;
    std::vector<MessageRecord> messages;
    uint32_t refusedAllocations = 0;
  };
  const Case cases[] = {
      {"programming",
       programFails,
       Block(kBlock, 0, 4),
       {Stop("Once flash programming failed", "Error Message")}},
      {"erasing",
       eraseFails,
       Block(kBlock, 0, 4),
       {Stop("Once flash erasing failed", "Error Message")}},
      {"another status", {}, outside, {Stop("Once flash failed!!", "Error Message")}},
      {"kernel memory",
       noMemory,
       Block(kBlock, 0, 4),
       {Stop("Failed to allocate kernal memory", "Error Message"),
        Stop("Once flash pre-process failed", "Error")},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run({c.block, Block(kBlock, kBlock, 0)}, c.profile);
    uint32_t allocated = Requests(kIoctlAllocateKernelMemory);
    EXPECT_EQ(Flash(), 0);
    EXPECT_EQ(desktop.messages, c.messages);
    EXPECT_EQ(Requests(kIoctlAllocateKernelMemory) - allocated - c.refusedAllocations,
              Requests(kIoctlFreeKernelMemory));
    EXPECT_EQ(desktop.cursor, CursorShape::kArrow);
    EXPECT_EQ(Calls(biosfn::kEraseBlock), 0u);  // the next block is never reached
    EXPECT_FALSE(sim_->Bios().SessionOpen());
    EXPECT_EQ(OnceFlashMemory.Complete, 0u);
  }
}

TEST_F(BlockPassesTest, AtOnceMemoryIsBuiltForUpToSixteenMegabytesAndNeverPastItsSource) {
  Run({Block(kBlock, 0, 0)});
  const uint32_t kMiB = 1u << 20;
  Bytes source(16 * kMiB + 2 * kPageSize, 0x5A);
  const uint32_t s = static_cast<uint32_t>(source.size());
  struct Case {
    uint32_t blockSize, fileOffset, sourceSize;
    int result;
    uint32_t pageTables;
    const char* message;
  };
  const Case cases[] = {
      {4 * kMiB, 0, s, 0, 1, nullptr},
      {4 * kMiB + kPageSize, 0, s, 0, 2, nullptr},
      {16 * kMiB, 0, s, 0, 4, nullptr},
      {16 * kMiB + 1, 0, s, -1, 5, "Did not support ROM size greater than 16MB"},
      // The last page would start at the end of the source, then one that would end past it.
      {4 * kMiB, 0, 4 * kMiB - kPageSize, -1, 1, "copy Rom file to once flash memory error"},
      {4 * kMiB, 100, 4 * kMiB, -1, 1, "copy Rom file to once flash memory error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.blockSize << " at " << c.fileOffset);
    desktop.messages.clear();
    uint32_t freed = Requests(kIoctlFreeKernelMemory);
    uint32_t allocated = Requests(kIoctlAllocateKernelMemory);
    OnceFlashMemory.BlockSize = c.blockSize;
    EXPECT_EQ(PrepareOnceFlashMemory(nullptr, c.fileOffset, source.data(), c.sourceSize), c.result);
    EXPECT_EQ(OnceFlashMemory.PageTableCount, c.pageTables);
    if (c.message == nullptr) {
      EXPECT_TRUE(desktop.messages.empty());
      EXPECT_EQ(OnceFlashMemory.Complete, 1u);
      EXPECT_EQ(Requests(kIoctlAllocateKernelMemory) - allocated,
                1 + c.pageTables + c.blockSize / kPageSize);
    } else {
      EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Stop(c.message, "Error Message")});
    }
    ReleaseOnceFlashMemory(nullptr);
    EXPECT_EQ(Requests(kIoctlFreeKernelMemory) - freed,
              Requests(kIoctlAllocateKernelMemory) - allocated);
    // A release with nothing prepared sends nothing.
    uint32_t after = Requests(kIoctlFreeKernelMemory);
    ReleaseOnceFlashMemory(nullptr);
    EXPECT_EQ(Requests(kIoctlFreeKernelMemory), after);
  }
  // No heap for the page list: refused before any kernel memory is asked for.
  desktop.messages.clear();
  uint32_t allocated = Requests(kIoctlAllocateKernelMemory);
  OnceFlashMemory.BlockSize = 4 * kMiB;
  allocator.failOnCall = allocator.calls + 1;
  EXPECT_EQ(PrepareOnceFlashMemory(nullptr, 0, source.data(), s), -1);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Stop("Failed to get page pointer", "Error Message")});
  EXPECT_EQ(Requests(kIoctlAllocateKernelMemory), allocated);
}

}  // namespace
}  // namespace ql::testing
