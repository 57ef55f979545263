// The DMI-only flash on the simulated machine: the typed strings and UUID reach the installed
// BIOS in only the blocks they touch, and nothing is erased when they could not all be written.
#include <cstring>

#include "app/options.h"
#include "bios/flash_part.h"
#include "dmi/dmi_flash.h"
#include "dmi/dmi_strings.h"
#include "flash/block_passes.h"
#include "flash/flash_scenario.h"

namespace ql::testing {
namespace {

constexpr uint32_t kSegmentStart = 0x70000;  // the last 64 KiB, where the builder puts the strings

class DmiFlashTest : public FlashScenario {
 protected:
  void Run(const sim::SimProfile& profile, const sim::RomSpec& installed = Installed()) {
    installed_ = BuildImage(installed);
    SimSeamTest::Fresh(profile, installed_);
    std::strcpy(DmiStrings.EnteredDmi.Manufacturer, "ACME");
    std::strcpy(DmiStrings.EnteredDmi.Product, "");
    std::strcpy(DmiStrings.EnteredDmi.Version, "Rev 9.9");
    std::strcpy(DmiStrings.EnteredDmi.SystemSerial, "SYS-1");
  }
  static sim::SimProfile Table(const std::vector<sim::BlockSpec>& blocks) {
    sim::SimProfile profile;
    profile.explicitBlocks = true;
    profile.blocks = blocks;
    return profile;
  }
  static sim::BlockSpec Block(uint32_t size, uint32_t offset, uint32_t attrib = 0) {
    return sim::BlockSpec{size, offset, 0, true, attrib};
  }
  // The image offset of a string's characters in the installed BIOS.
  uint32_t StringAt(DmiStringId id) const {
    return sim::InspectRom(installed_).dmi[static_cast<int>(id)].imageOffset;
  }
};

TEST_F(DmiFlashTest, TheTypedStringsArePaddedAndOnlyTheBlocksTheyTouchAreRewritten) {
  Run({});
  // The manufacturer's field runs across a block boundary; everything else lies after it.
  uint32_t split = StringAt(DmiStringId::kManufacturer) + 3;
  Run(Table({Block(kSegmentStart, 0), Block(split - kSegmentStart, kSegmentStart),
             Block(kPart - split, split)}));
  EXPECT_EQ(FlashNewDmiOnly(nullptr), 1);
  EXPECT_TRUE(desktop.messages.empty()) << desktop.Texts()[0];
  EXPECT_EQ(Calls(biosfn::kEraseBlock), 2u);
  EXPECT_EQ(BlockPasses.SelectedBlocksOnly, 0u);

  sim::RomInfo flashed = sim::InspectRom(Part());
  sim::RomInfo was = sim::InspectRom(installed_);
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kManufacturer)].text, "ACME           ");
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kProduct)].text, "      ");
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kVersion)].text, "Rev 9.9");
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kSystemSerial)].text, "SYS-1      ");
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kSerialNumber)].text,
            was.dmi[static_cast<int>(DmiStringId::kSerialNumber)].text);
  EXPECT_EQ(flashed.uuid, (std::array<uint8_t, 16>{}));
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    EXPECT_EQ(flashed.dmi[i].unitSum, was.dmi[i].unitSum);
  }
  EXPECT_EQ(flashed.uuidSum, was.uuidSum);
  EXPECT_EQ(flashed.byteSum, was.byteSum);
  EXPECT_EQ(Slice(Part(), 0, kSegmentStart), Slice(installed_, 0, kSegmentStart));
  // The typed texts keep their blanks, as the settings dialog will show them.
  EXPECT_STREQ(DmiStrings.EnteredDmi.Manufacturer, "ACME           ");
}

TEST_F(DmiFlashTest, NothingIsErasedWhenTheStringsCannotAllBeWritten) {
  sim::SimProfile readFails;
  readFails.readFailsAt = {kSegmentStart + 0x100};
  sim::RomSpec noDmi = Installed();
  noDmi.withDmi = false;
  struct Case {
    const char* name;
    sim::SimProfile profile;
    sim::RomSpec installed;
    const char* message;
  };
  const Case cases[] = {
      {"a read that fails", readFails, Installed(),
       "Can not read the installed BIOS!!\nThe DMI strings were not flashed!!"},
      {"no DMI block",
       {},
       noDmi,
       "Can not find BCPDMI in copied ROM!!\nThe DMI strings were not flashed!!"},
      {"strings in a block the flash leaves out",
       Table({Block(kSegmentStart, 0), Block(kPart - kSegmentStart, kSegmentStart, 1)}),
       Installed(),
       "The DMI strings of the installed BIOS can not be rewritten!!\n"
       "The DMI strings were not flashed!!"},
      {"strings in a block the flash only erases",
       Table({Block(kSegmentStart, 0), Block(kPart - kSegmentStart, kSegmentStart, 8)}),
       Installed(),
       "The DMI strings of the installed BIOS can not be rewritten!!\n"
       "The DMI strings were not flashed!!"},
      {"a table that does not reach the BIOS's blocks", Table({Block(kSegmentStart, 0)}),
       Installed(), "Can not find BCPSYS in copied 4G ROM!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.profile, c.installed);
    EXPECT_EQ(FlashNewDmiOnly(nullptr), 0);
    EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Stop(c.message)});
    EXPECT_EQ(Calls(biosfn::kEraseBlock) + Calls(biosfn::kProgramFlash), 0u);
    EXPECT_EQ(Part(), installed_);
    EXPECT_FALSE(sim_->Bios().SessionOpen());
    for (uint32_t selected : BlockPasses.BlockSelection) EXPECT_EQ(selected, 0u);
  }
}

TEST_F(DmiFlashTest, ATypedUuidWithoutAFieldToHoldItIsToldAndTheStringsStillFlashed) {
  sim::RomSpec noUuid = Installed();
  noUuid.dmiMinor = 10;
  Run({}, noUuid);
  std::strcpy(DmiStrings.EnteredDmi.Uuid, "NEW-UUID");
  EXPECT_EQ(FlashNewDmiOnly(nullptr), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                {"The installed BIOS has no UUID field!!\nThe UUID you entered will not be "
                 "flashed!!",
                 "Quorrelite", kMbIconExclamation}}));
  sim::RomInfo flashed = sim::InspectRom(Part());
  EXPECT_EQ(flashed.dmi[static_cast<int>(DmiStringId::kVersion)].text, "Rev 9.9");
  EXPECT_EQ(flashed.byteSum, sim::InspectRom(installed_).byteSum);
}

}  // namespace
}  // namespace ql::testing
