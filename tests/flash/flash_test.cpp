// The Flash and Backup commands on the simulated machine: what each Attrib does to the part and to
// the block map, every way a flash stops short, and the backups, each with its boxes exactly.
#include <algorithm>
#include <filesystem>

#include "flash/backup.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

constexpr uint32_t kPart = 512 * 1024, kBlock = 0x10000;

sim::BlockSpec Block(uint32_t size, uint32_t offset, uint32_t attrib) {
  return sim::BlockSpec{size, offset, 0, true, attrib};
}

class FlashTest : public ProgramTest {
 protected:
  ~FlashTest() override { program.reset(); }  // before the machine it runs on

  Bytes PartLargerThanTheRom() const {
    Bytes part(kPart, 0xFF);
    part.insert(part.end(), installed_.begin(), installed_.end());
    return part;
  }
  static sim::SimProfile Table(std::vector<sim::BlockSpec> blocks, sim::SimProfile profile = {}) {
    profile.explicitBlocks = true;
    profile.blocks = std::move(blocks);
    return profile;
  }
  // The program run on a machine with `profile` and `part`, with these options (no backup) and,
  // unless null, `image` loaded; what the start showed and wrote is forgotten.
  void Start(const sim::SimProfile& profile, bool verify = true, bool blank = true,
             const Bytes* image = nullptr, const Bytes* part = nullptr) {
    program.reset();
    ForgetJournals();
    UseMachine(profile, part != nullptr ? *part : installed_);
    Run();
    program->ConfirmOptionDialog({/*AutoBackup=*/false, verify, blank});
    if (image != nullptr) Load(*image);
    desktop.messages.clear();
    files.writeCounts.clear();
  }
  // The Flash command, the shutdown box closed; the exit status when it ended the process.
  std::optional<int> Flash() {
    desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
    return ExitStatusOf([&] { program->FlashCommand(nullptr); });
  }
  static Bytes Range(const Bytes& bytes, uint32_t offset, uint32_t count) {
    return Bytes(bytes.begin() + offset, bytes.begin() + offset + count);
  }

  Bytes installed_ = BuildImage();
  // Its first two pieces are alike: a stale receive buffer holding the first passes for the second.
  Bytes newer_ = [] {
    Bytes image = BuildImage({.buildDate = "04/20/05", .fillSeed = 7});
    std::fill(image.begin(), image.begin() + 2 * kTransferSize, 0x3C);
    return image;
  }();
};

TEST_F(FlashTest, EachAttribTreatsItsBlockAsItSaysAndTheMapShowsItsLastStep) {
  using enum CellState;
  enum Ends { kNew, kOld, kErasedBytes, kOldAndNew };
  // clang-format off
  struct Case { uint32_t attrib; bool verify, blank; Ends ends; uint32_t erases; CellState cell; };
  const Case cases[] = {
      {0x00, false, true, kNew, 1, kProgrammed},  {0x18, true, false, kNew, 1, kVerified},
      {0x04, false, false, kNew, 0, kProgrammed}, {0x08, true, true, kErasedBytes, 1, kBlankChecked},
      {0x08, true, false, kErasedBytes, 1, kErased}, {0x10, false, true, kOldAndNew, 0, kProgrammed},
      {0x02, true, true, kOld, 0, kUntouched},    {0x01, true, true, kOld, 0, kLeftOut},
  };
  // clang-format on
  // The BIOS refuses the disconnect with a text of its own, so the run ends before the program puts
  // the block map back: the map shows what the passes left in it.
  sim::SimProfile locked = Table({Block(kBlock, 0, 0), Block(kPart - kBlock, kBlock, 1)});
  locked.disconnectRefusal = "Flash locked";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.attrib << " verify " << c.verify << c.blank);
    locked.blocks[0].attrib = c.attrib;
    Start(locked, c.verify, c.blank, &newer_);
    EXPECT_EQ(Flash(), kExitFatal);
    EXPECT_EQ(desktop.messages, std::vector{Stop("Flash locked")});
    Bytes expected(kBlock, 0xFF);
    for (uint32_t n = 0; n < kBlock; ++n) {
      if (c.ends == kNew) expected[n] = newer_[n];
      if (c.ends == kOld) expected[n] = installed_[n];
      if (c.ends == kOldAndNew) expected[n] = installed_[n] & newer_[n];
    }
    EXPECT_EQ(Range(Part(), 0, kBlock), expected);
    EXPECT_EQ(Range(Part(), kBlock, kPart - kBlock), Range(installed_, kBlock, kPart - kBlock));
    EXPECT_EQ(Calls(biosfn::kEraseBlock), c.erases);
    EXPECT_EQ(desktop.cursor, CursorShape::kArrow);
    // A 512 KiB ROM on the 1024 cells: the first block is the first 128.
    BlockMapCells map;
    map.fill(kLeftOut);
    std::fill_n(map.begin(), 128, c.cell);
    EXPECT_EQ(program->progress().BlockMap(), map);
  }
}

TEST_F(FlashTest, AFlashStopsAtItsFirstFaultWithItsBoxAndGoesNoFurther) {
  // The faults the simulated machine plays on its own are held by the fault matrix; these need a
  // table, an image or a driver of their own.
  sim::SimProfile stuckHigh, pageRefused, noBulkWrites;
  stuckHigh.stuckBits = {{0x1345, 0x01, true}};
  pageRefused.bulkWriteRefusedAfter = 36;
  noBulkWrites.bulkWriteRefusedAfter = 0;
  const MessageRecord failed = Stop(kMsgFlashFailed), verify = Stop("Verify failed!!!"),
                      putBack = Box(kMsgInstalledPutBack, kMbIconExclamation),
                      neither = Stop(kMsgHoldsNeither),
                      succeeded = Box(kMsgFlashSucceeded, kMbIconExclamation);
  struct Case {
    const char* name;
    sim::SimProfile profile = {};
    sim::BlockSpec first = Block(kBlock, 0, 0);
    uint32_t secondAttrib = 0, restAttrib = 2;  // of the second block, of the part after it
    bool verify = true, blank = true, padded = false;
    std::vector<MessageRecord> messages;
    uint32_t erases = 1, programs = 0;
  };
  // clang-format off
  const Case cases[] = {
      // A changed block: the comparison before the erase does not hide what the verify finds. Three
      // attempts fail it; the installed block, whose byte has that bit set, goes back.
      {.name = "a bit stuck at 1", .profile = stuckHigh, .messages = {verify, putBack, failed}, .erases = 4, .programs = 64},
      // With the verify off nothing else would notice a piece programmed from stale data.
      {.name = "a send buffer not handed over", .profile = noBulkWrites, .verify = false, .blank = false,
       .messages = {Stop("Can not hand the data to program to the BIOS!!\nNothing was flashed!!"), failed}, .erases = 0},
      {.name = "blocks beyond the image", .restAttrib = 0, .padded = true,
       .messages = {Stop("The flash blocks of the BIOS reach beyond the rom image!!\nNothing was flashed!!"), failed}, .erases = 0},
      {.name = "an at-once block of part of a page", .first = Block(6144, 0, 4),
       .messages = {Stop("The once flash block is not a whole number of 4K pages!!\nNothing was flashed!!"), failed}, .erases = 0},
      // A LinearPtr outside the part: the BIOS refuses with a Status of its own, every time. What it
      // did there cannot be read, so nothing proves the installed BIOS is whole.
      {.name = "at-once refused", .first = {kBlock, 0, 0x1000, false, 4},
       .messages = {Stop("Once flash failed!!", "Error Message"), neither, failed}, .erases = 0},
      // The only block at once: the comparison's 32 armings, then four pages, then a page refused.
      // The BIOS would flash a page that never received the image, and only a verify could tell.
      {.name = "an at-once page refused", .profile = pageRefused, .first = Block(kBlock, 0, 2),
       .secondAttrib = 4, .verify = false,
       .messages = {Stop("copy Rom file to once flash memory error", "Error Message"),
                    Stop("Once flash pre-process failed", "Error"), failed}, .erases = 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes before = c.padded ? PartLargerThanTheRom() : installed_;
    const uint32_t size = static_cast<uint32_t>(before.size());
    Start(Table({c.first, Block(kBlock, kBlock, c.secondAttrib),
                 Block(size - 2 * kBlock, 2 * kBlock, c.restAttrib)},
                c.profile),
          c.verify, c.blank, &newer_, &before);
    const uint32_t allocated = Requests(kIoctlAllocateKernelMemory);
    const uint32_t freed = Requests(kIoctlFreeKernelMemory);
    EXPECT_EQ(Flash(), std::nullopt);
    EXPECT_EQ(desktop.messages, c.messages);
    EXPECT_EQ(Calls(biosfn::kEraseBlock), c.erases);
    EXPECT_EQ(Calls(biosfn::kProgramFlash), c.programs);
    // A flash that stops leaves what lies past its first block as it was.
    if (c.messages.back() == failed) {
      EXPECT_EQ(Range(Part(), kBlock, size - kBlock), Range(before, kBlock, size - kBlock));
    } else {
      EXPECT_EQ(Range(Part(), 0, 2 * kBlock), Range(newer_, 0, 2 * kBlock));
    }
    EXPECT_FALSE(sim->Bios().SessionOpen());
    EXPECT_EQ(desktop.cursor, CursorShape::kArrow);
    EXPECT_EQ(program->progress().Percent(), 0u);
    EXPECT_EQ(Requests(kIoctlAllocateKernelMemory) - allocated,
              Requests(kIoctlFreeKernelMemory) - freed);
  }
}

TEST_F(FlashTest, AFlashRewritesOnlyTheBlocksThatDoNotHoldTheImageAndShowsWhichItLeft) {
  // Every block has `attrib` (0 piece by piece, 4 at once); the image takes block `changed` from
  // the newer one and block `rewritten` is flashed (-1: none); `checks` are blank check and verify,
  // and without them block 2's comparison read is refused.
  // clang-format off
  struct Case { const char* name; uint32_t attrib; int changed, rewritten; bool checks = true; };
  const Case cases[] = {
      {"the image installed", 0, -1, -1}, {"one block changed", 0, 5, 5},
      {"the image installed, at once", 4, -1, -1}, {"one block changed, at once", 4, 5, 5},
      // A comparison that proves nothing flashes the block.
      {"a comparison read refused", 0, -1, 2, false},
  };
  // clang-format on
  // Two pieces alike before the refused read: a stale receive buffer would pass for the second.
  Bytes part = installed_;
  std::fill_n(part.begin() + 2 * kBlock + 0x2000, 2 * kTransferSize, 0x5A);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = part;
    if (c.changed >= 0)
      std::copy_n(newer_.begin() + c.changed * kBlock, kBlock, image.begin() + c.changed * kBlock);
    std::vector<sim::BlockSpec> blocks;
    for (uint32_t at = 0; at < kPart; at += kBlock) blocks.push_back(Block(kBlock, at, c.attrib));
    sim::SimProfile profile;
    if (!c.checks) profile.readFailsAt = {2 * kBlock + 0x3000};
    // The map is kept as the passes left it: the run ends at the refused disconnect.
    profile.disconnectRefusal = "Flash locked";
    Start(Table(blocks, profile), c.checks, c.checks, &image, &part);
    EXPECT_EQ(Flash(), kExitFatal);
    EXPECT_EQ(desktop.messages, std::vector{Stop("Flash locked")});
    EXPECT_EQ(Part(), image);
    const uint32_t n = c.rewritten >= 0 ? 1 : 0;
    EXPECT_EQ(sim->Bios().Tally().erases, n);
    EXPECT_EQ(sim->Bios().Tally().bytesProgrammed, n * kBlock);
    EXPECT_EQ(Calls(biosfn::kOnceFlash), c.attrib == 4 ? n : 0);
    BlockMapCells map;
    map.fill(CellState::kAlreadyHeld);
    const CellState last = c.checks ? CellState::kVerified : CellState::kProgrammed;
    if (c.rewritten >= 0) std::fill_n(map.begin() + c.rewritten * 128, 128, last);
    EXPECT_EQ(program->progress().BlockMap(), map);
  }
}

const MessageRecord kOverwrite =
    Box("The file you specified was existed!!\nDo you want to overwrite??",
        kMbOkCancel | kMbIconExclamation);
const MessageRecord kSkip =
    Box("Do you want to skip backup original BIOS image!!", kMbOkCancel | kMbIconExclamation);

TEST_F(FlashTest, ABackupAsksUntilANameIsTakenOrItIsSkippedAndWritesWhatTheFlashReaches) {
  Start(Table(
      {Block(kBlock, 0, 0), Block(kBlock, kBlock, 2), Block(kPart - 2 * kBlock, 2 * kBlock, 4)}));
  const std::string existing = folder.Write("old.bak", {1, 2, 3});
  // Cancelled, not skipped; an existing file, not overwritten; the same file, overwritten.
  desktop.saveFileAnswers = {std::nullopt, existing, existing};
  desktop.messageAnswers = {kIdCancel, kIdCancel, kIdOk};
  program->BackupCommand(nullptr);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kSkip, kOverwrite, kOverwrite}));
  EXPECT_EQ(desktop.proposedSaveNames,
            (std::vector<std::string>{"bios.bak", "bios.bak", existing}));
  EXPECT_STREQ(desktop.saveFileRequests.at(0).initialDirectory, folder.Path().c_str());
  // The block no flash reaches is left erased in the file.
  Bytes expected = installed_;
  std::fill(expected.begin() + kBlock, expected.begin() + 2 * kBlock, 0xFF);
  EXPECT_EQ(TempFolder::ReadFile(existing), expected);
  EXPECT_EQ(files.writeCounts, std::vector<uint32_t>(kPart / kTransferSize, kTransferSize));
  EXPECT_FALSE(sim->Bios().SessionOpen());

  desktop.messages.clear();
  desktop.messageAnswers = {kIdOk};
  program->BackupCommand(nullptr);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{kSkip});
}

// The faults the machine plays are held by the fault matrix; these need a table, an allocator or
// a file of their own, and an earlier backup to keep: whatever fails, it stays whole and nothing
// is left beside it.
TEST_F(FlashTest, ABackupThatFailsLeavesTheEarlierFileAsItWas) {
  enum Fault { kNone, kMemory, kCreate, kWrite, kSwap };
  // clang-format off
  struct Case { const char* name; bool padded; Fault fault; MessageRecord message; };
  const Case cases[] = {
      {"blocks beyond the ROM", true, kNone,
       Stop("The flash blocks of the BIOS reach beyond the rom size!!\nThe backup file was not written!!")},
      {"no memory", false, kMemory, Stop("No enough memory for BIOS backup!!")},
      {"a new file that cannot be made", false, kCreate, Box("File create Error!!", kMbOk)},
      {"a write that fails", false, kWrite, Box("File write failed!!", kMbOk)},
      {"a new file that cannot take the old one's place", false, kSwap, Box("File write failed!!", kMbOk)},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes part = c.padded ? PartLargerThanTheRom() : installed_;
    Start({}, true, true, nullptr, &part);
    const std::string kept = folder.Write("kept.bak", {'k', 'e', 'p', 't'});
    desktop.saveFileAnswers = {kept};
    files.failOpen.clear();
    if (c.fault == kCreate) files.failOpen.insert(kept + ".new");
    files.failWriteOnCall = c.fault == kWrite ? files.writes + 3 : 0;
    files.failReplace = c.fault == kSwap;
    allocator.failOnCall = c.fault == kMemory ? allocator.calls + 1 : 0;
    program->BackupCommand(nullptr);
    EXPECT_EQ(desktop.messages, (std::vector{kOverwrite, c.message}));
    EXPECT_EQ(TempFolder::ReadFile(kept), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_FALSE(std::filesystem::exists(kept + ".new"));
    EXPECT_EQ(files.openHandles, 0);
    EXPECT_FALSE(sim->Bios().SessionOpen());
  }
  files.failReplace = false;
}

}  // namespace
}  // namespace ql::testing
