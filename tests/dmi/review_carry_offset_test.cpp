// A string that the image's BCPDMI block names with offset 0 is not in the image: the carry-over
// writes nothing for it, whatever the byte before the DMI segment holds.
#include "dmi/carry_over.h"
#include "dmi/dmi_strings.h"
#include "flash/flash_scenario.h"
#include "platform/bytes.h"

namespace ql::testing {
namespace {

class CarryOffsetZeroTest : public FlashScenario {
 protected:
  // The newer image with its chassis serial named by offset 0, and `before` in the byte just
  // ahead of the DMI segment (where a string at offset 0 would keep its length).
  Bytes ImageWithoutChassisSerial(uint8_t before) {
    Bytes image = BuildImage(Newer());
    sim::RomInfo info = sim::InspectRom(image);
    PutLe16(image.data() + info.dmiAt + bcpdmi::kChassisSerialOffset, 0);
    uint32_t segmentBase = info.romSizeKb * 1024u + info.dmiSegment * 16u - 0x100000u;
    image[segmentBase - 1] = before;
    return image;
  }
  Bytes Image() const { return Bytes(RomImage.Buffer, RomImage.Buffer + RomImage.RomSize); }
};

TEST_F(CarryOffsetZeroTest, AStringAtOffsetZeroIsNeverWrittenIntoTheSegmentStart) {
  // The running BIOS's chassis serial is 10 characters long; a length byte of 10 just ahead of
  // the segment used to make the carry-over write it over the segment's first bytes.
  SimSeamTest::Fresh(sim::SimProfile{}, installed_);
  Bytes image = ImageWithoutChassisSerial(10);
  Load(image);
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  sim::RomInfo running = sim::InspectRom(installed_);
  sim::RomInfo after = sim::InspectRom(Image());
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    if (i == static_cast<uint32_t>(DmiStringId::kChassisSerial)) continue;
    SCOPED_TRACE(i);
    EXPECT_EQ(after.dmi[i].text, running.dmi[i].text);
  }
  sim::RomInfo info = sim::InspectRom(image);
  uint32_t segmentBase = info.romSizeKb * 1024u + info.dmiSegment * 16u - 0x100000u;
  Bytes now = Image();
  EXPECT_EQ(Bytes(now.begin() + segmentBase - 1, now.begin() + segmentBase + 16),
            Bytes(image.begin() + segmentBase - 1, image.begin() + segmentBase + 16));
  // The machine's chassis serial has nowhere to go, and the user is told.
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{
                                  Box("The Chasis serial number length is not the same !!", 0)});
}

TEST_F(CarryOffsetZeroTest, NoStringOnEitherSideIsNoMessageAndNoWrite) {
  // The running BIOS also names no chassis serial: its copy is empty.
  Bytes running = installed_;
  sim::RomInfo runningInfo = sim::InspectRom(running);
  PutLe16(running.data() + runningInfo.dmiAt + bcpdmi::kChassisSerialOffset, 0);
  SimSeamTest::Fresh(sim::SimProfile{}, running);
  Bytes image = ImageWithoutChassisSerial(0);
  Load(image);
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  sim::RomInfo info = sim::InspectRom(image);
  uint32_t segmentBase = info.romSizeKb * 1024u + info.dmiSegment * 16u - 0x100000u;
  Bytes now = Image();
  EXPECT_EQ(Bytes(now.begin() + segmentBase - 1, now.begin() + segmentBase + 16),
            Bytes(image.begin() + segmentBase - 1, image.begin() + segmentBase + 16));
  EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
}  // namespace ql::testing
