// The DMI-only flash: the typed strings and UUID reach the installed BIOS in only the blocks they
// touch, and nothing is erased when they could not all be written.
#include <cstring>
#include <set>

#include "dmi/dmi_scenario.h"

namespace ql::testing {

const auto kUpdating = Box("Updating DMI strings only!!", kMbOkCancel | kMbIconExclamation);

// Blocks [at, end) with their Attrib, and the part offsets a read cannot cover.
static sim::SimProfile Table(std::vector<std::array<uint32_t, 3>> blocks,
                             std::vector<uint32_t> readFailsAt = {}) {
  sim::SimProfile table;
  table.explicitBlocks = true;
  table.readFailsAt = std::move(readFailsAt);
  for (auto [at, end, attrib] : blocks) table.blocks.push_back({end - at, at, 0, true, attrib});
  return table;
}

class DmiFlashTest : public DmiScenario {
 protected:
  // Types new strings and a UUID into the settings, as a person would, and flashes them.
  void FlashTyped(const char* uuid = "NEW-UUID") {
    DmiFieldTexts typed;
    const char* texts[kDmiEntryFieldCount] = {"ACME", "", "Rev 9.9", "SYS-1", uuid};
    for (int i = 0; i < kDmiEntryFieldCount; ++i) std::strcpy(typed.Field(i), texts[i]);
    Shown(DmiModeValue::NewStrings);
    program->ConfirmDmiSettings(typed);
    Flash();
  }
  // The installed BIOS with the typed strings padded to its lengths, and the typed UUID.
  static Bytes Typed(uint8_t minor = 11) {
    sim::RomSpec spec = Installed();
    spec.dmi = {"SN-0000000", "ACME           ", "      ", "Rev 9.9", "SYS-1      ", "CH-0000000"};
    spec.uuid = {'N', 'E', 'W', '-', 'U', 'U', 'I', 'D'};
    return Built(spec, minor);
  }
  Bytes running_ = Uneven(installed_);
  uint32_t split_ = sim::InspectRom(running_).dmi[1].imageOffset + 3;  // in the maker's field
};

TEST_F(DmiFlashTest, TheTypedStringsArePaddedAndOnlyTheBlocksTheyTouchAreRewritten) {
  Start(running_, Table({{0, kSegmentBase, 0}, {kSegmentBase, split_, 0}, {split_, kRomSize, 0}}));
  std::vector<ProgressPhase> shown{ProgressPhase::kStatus};  // each change of step the person sees
  desktop.onRepaint = [&](ProgressItem) {
    if (shown.back() != program->progress().Phase()) shown.push_back(program->progress().Phase());
  };
  FlashTyped();
  using enum ProgressPhase;
  EXPECT_EQ(std::set(shown.begin(), shown.end()),
            (std::set{kStatus, kErasing, kFlashing, kBackup, kVerifying, kBlankCheck}));
  EXPECT_EQ(shown.end()[-2], kVerifying) << "the last block's verify, before the rest";
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kUpdating, kSucceeded}));
  EXPECT_EQ(Calls(biosfn::kEraseBlock), 2u);
  ExpectOnlyRewritten(running_, 0x1E | kUuidBit, Typed());
  // The typed texts keep their blanks, as the settings show them next time.
  EXPECT_EQ(Shown(DmiModeValue::NewStrings),
            "ACME           |      |Rev 9.9|SYS-1      |NEW-UUID|");

  // A block the flash leaves alone need not be readable: a protected boot block.
  Start(running_, Table({{0, kSegmentBase, 1}, {kSegmentBase, kRomSize, 0}}, {0x100}));
  FlashTyped();
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kUpdating, kSucceeded}));
  ExpectOnlyRewritten(running_, 0x1E | kUuidBit, Typed());

  // An installed BIOS without a UUID field takes the strings; a typed UUID is lost, and told.
  const MessageRecord lost =
      Box("The installed BIOS has no UUID field!!\nThe UUID you entered will not be flashed!!",
          kMbIconExclamation);
  for (const char* uuid : {"NEW-UUID", ""}) {
    Start(Built(Installed(), 10));
    FlashTyped(uuid);
    std::vector<MessageRecord> boxes = {kUpdating, lost, kSucceeded};
    if (*uuid == '\0') boxes.erase(boxes.begin() + 1);  // nothing typed, nothing lost
    EXPECT_EQ(desktop.messages, boxes);
    ExpectOnlyRewritten(Built(Installed(), 10), 0x1E, Typed(10));
  }
}

TEST_F(DmiFlashTest, NothingIsErasedWhenTheStringsCannotAllBeWritten) {
  const MessageRecord cannotRewrite = Stop(
      "The DMI strings of the installed BIOS can not be rewritten!!\nThe DMI strings were not "
      "flashed!!");
  sim::SimProfile leftOut = Table({{0, kSegmentBase, 0}, {kSegmentBase, kRomSize, 1}});
  // BCPSYS lies in the last piece of a block that is never rewritten and cannot be read.
  const auto dmiAt = static_cast<uint32_t>(sim::InspectRom(running_).dmiAt);
  const sim::SimProfile sysUnread =
      Table({{0, kSegmentBase, 0}, {kSegmentBase, dmiAt, 1}, {dmiAt, kRomSize, 0}}, {kSegmentBase});
  const sim::SimProfile fieldUnread = Table(
      {{0, kSegmentBase, 0}, {kSegmentBase, split_, 0}, {split_, kRomSize, 0}}, {kRomSize - 1});
  const Bytes segmentOut = Patched(running_, bcpsys::kDmiSegment, 0xF800, true);
  struct Case {
    const char* name;
    MessageRecord box;
    sim::SimProfile profile;
    Bytes running = {};        // empty: the installed BIOS
    uint32_t failAbove = ~0u;  // the allocator's
  };
  const Case cases[] = {
      {"no memory", Stop("Can not allocate memory for flash DMI only!!"), {}, {}, kRomSize - 1},
      {"BCPSYS in a block that cannot be read",
       Stop("Can not read the installed BIOS!!\nThe DMI strings were not flashed!!"), sysUnread},
      {"a field in a block that cannot be read",
       Stop("Can not read the installed BIOS!!\nThe DMI strings were not flashed!!"), fieldUnread},
      {"no DMI block",
       Stop("Can not find BCPDMI in copied ROM!!\nThe DMI strings were not flashed!!"),
       sim::SimProfile{}, Built(Installed(), 11, false)},
      {"a table short of the BIOS", Stop("Can not find BCPSYS in copied 4G ROM!!"),
       Table({{0, kSegmentBase, 0}})},
      {"a left-out block", cannotRewrite, leftOut},
      {"a DMI segment past the end", cannotRewrite, {}, segmentOut},
      {"a field half in a left-out block", cannotRewrite,
       Table({{0, kSegmentBase, 0}, {kSegmentBase, split_, 0}, {split_, kRomSize, 0x01}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes& running = c.running.empty() ? running_ : c.running;
    Start(running, c.profile);
    allocator.failAbove = c.failAbove;
    FlashTyped();
    EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kUpdating, c.box, kFailed}));
    EXPECT_EQ(Calls(biosfn::kEraseBlock) + Calls(biosfn::kProgramFlash), 0u);
    EXPECT_TRUE(Part() == running);
    EXPECT_FALSE(sim->Bios().SessionOpen());
  }
}

}  // namespace ql::testing
