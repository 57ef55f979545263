// A string or UUID that the image's BCPDMI block names with offset 0 is not in the image: the
// carry-over writes nothing for it, whatever the bytes at the start of the DMI segment hold.
#include "dmi/carry_over.h"
#include "dmi/dmi_strings.h"
#include "dmi/image_dmi.h"
#include "dmi/uuid.h"
#include "flash/flash_scenario.h"
#include "platform/bytes.h"

namespace ql::testing {
namespace {

class CarryOffsetZeroTest : public FlashScenario {
 protected:
  // The newer image with the DMI field at `field` named by offset 0, and `before` in the byte
  // just ahead of the DMI segment (where a string at offset 0 would keep its length).
  Bytes ImageNaming(uint32_t field, uint8_t before) {
    Bytes image = BuildImage(Newer());
    sim::RomInfo info = sim::InspectRom(image);
    PutLe16(image.data() + info.dmiAt + field, 0);
    segmentBase_ = DmiSegmentBase(info.romSizeKb, info.dmiSegment);
    image[segmentBase_ - 1] = before;
    return image;
  }
  Bytes Image() const { return Bytes(RomImage.Buffer, RomImage.Buffer + RomImage.RomSize); }
  // The bytes around the start of the DMI segment.
  static Bytes SegmentStart(const Bytes& image, uint32_t base) {
    return Bytes(image.begin() + base - 1, image.begin() + base + 17);
  }
  uint32_t segmentBase_ = 0;
};

TEST_F(CarryOffsetZeroTest, AStringAtOffsetZeroIsNeverWrittenIntoTheSegmentStart) {
  // The running BIOS's chassis serial is 10 characters long; a length byte of 10 just ahead of
  // the segment used to make the carry-over write it over the segment's first bytes.
  SimSeamTest::Fresh(sim::SimProfile{}, installed_);
  Bytes image = ImageNaming(bcpdmi::kChassisSerialOffset, 10);
  Load(image);
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  sim::RomInfo running = sim::InspectRom(installed_);
  sim::RomInfo after = sim::InspectRom(Image());
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    if (i == static_cast<uint32_t>(DmiStringId::kChassisSerial)) continue;
    SCOPED_TRACE(i);
    EXPECT_EQ(after.dmi[i].text, running.dmi[i].text);
  }
  EXPECT_EQ(SegmentStart(Image(), segmentBase_), SegmentStart(image, segmentBase_));
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
  Bytes image = ImageNaming(bcpdmi::kChassisSerialOffset, 0);
  Load(image);
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  EXPECT_EQ(SegmentStart(Image(), segmentBase_), SegmentStart(image, segmentBase_));
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(CarryOffsetZeroTest, AUuidAtOffsetZeroIsNoFieldAndNeverWritten) {
  SimSeamTest::Fresh(sim::SimProfile{}, installed_);
  ASSERT_EQ(DmiStrings.SystemDmi.SystemUuidPresent, 1u);
  Bytes image = ImageNaming(bcpdmi::kUuidOffset, 0);
  Load(image);
  EXPECT_EQ(DmiStrings.ImageDmi.ImageUuidSupported, 0u);
  EXPECT_EQ(CarryUuidIntoImage(nullptr), 0u);
  EXPECT_EQ(SegmentStart(Image(), segmentBase_), SegmentStart(image, segmentBase_));
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Box("The rom image you loaded is not have UUID!!", 0x10)});
}

}  // namespace
}  // namespace ql::testing
