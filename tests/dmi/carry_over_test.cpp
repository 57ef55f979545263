// The running BIOS's DMI strings and UUID carried into a loaded image: the strings and the UUID
// arrive, the image's byte sum does not move, and what cannot be carried is told and left alone.
#include "dmi/carry_over.h"
#include "dmi/dmi_strings.h"
#include "dmi/uuid.h"
#include "flash/flash_scenario.h"

namespace ql::testing {
namespace {

class CarryOverTest : public FlashScenario {
 protected:
  // A machine running `installed`, with `image` loaded.
  void Run(const sim::RomSpec& installed, const sim::RomSpec& image) {
    SimSeamTest::Fresh({}, BuildImage(installed));
    Load(BuildImage(image));
    before_ = sim::InspectRom(Image());
  }
  Bytes Image() const { return Bytes(RomImage.Buffer, RomImage.Buffer + RomImage.RomSize); }

  sim::RomInfo before_;
};

TEST_F(CarryOverTest, StringsOfEqualLengthAreCarriedAndTheImageSumStaysAsItWas) {
  sim::RomSpec image = Newer();
  image.dmi[static_cast<int>(DmiStringId::kProduct)] = "BS-845GV";  // the running one is 6 long
  Run(Installed(), image);
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{Box(
                                  "The length of Production strings is not the same !!", kMbOk)});
  sim::RomInfo after = sim::InspectRom(Image());
  sim::RomInfo running = sim::InspectRom(installed_);
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    SCOPED_TRACE(i);
    bool kept = i == static_cast<uint32_t>(DmiStringId::kProduct);
    EXPECT_EQ(after.dmi[i].text, kept ? before_.dmi[i].text : running.dmi[i].text);
    EXPECT_EQ(after.dmi[i].unitSum, before_.dmi[i].unitSum);
  }
  EXPECT_EQ(after.byteSum, before_.byteSum);
}

TEST_F(CarryOverTest, ARunningBiosWithoutDmiStringsCarriesNothingAndSaysSoForEachString) {
  sim::RomSpec installed = Installed();
  installed.withDmi = false;
  Run(installed, Newer());
  EXPECT_EQ(CarryDmiStringsIntoImage(nullptr), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{
                Box("The Serial number length is not the same !!", kMbOk),
                Box("The System serial number length is not the same !!", kMbOk),
                Box("The Chasis serial number length is not the same !!", kMbOk),
                Box("The length of Manufacture strings is not the same !!", kMbOk),
                Box("The length of Production strings is not the same !!", kMbOk),
                Box("The length of Version strings is not the same !!", kMbOk)}));
  EXPECT_EQ(Image(), newer_);
}

TEST_F(CarryOverTest, TheUuidIsCarriedOnceWhateverTheNumberOfCarries) {
  Run(Installed(), Newer());
  EXPECT_EQ(CarryUuidIntoImage(nullptr), 1u);
  Bytes once = Image();
  EXPECT_EQ(CarryUuidIntoImage(nullptr), 1u);
  EXPECT_EQ(Image(), once);
  sim::RomInfo after = sim::InspectRom(once);
  EXPECT_EQ(after.uuid, Installed().uuid);
  EXPECT_EQ(after.uuidSum, before_.uuidSum);
  EXPECT_EQ(after.byteSum, before_.byteSum);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(CarryOverTest, AUuidIsCarriedOnlyWhereBothSidesHaveAField) {
  sim::RomSpec olderBlock = Newer();
  olderBlock.dmiMinor = 10;
  sim::RomSpec noUuid = Installed();
  noUuid.dmiMinor = 10;
  sim::RomSpec noDmi = Newer();
  noDmi.withDmi = false;
  struct Case {
    const char* name;
    sim::RomSpec installed, image;
    uint32_t result;
    std::vector<MessageRecord> messages;
  };
  const Case cases[] = {
      {"an image block below 2.11",
       Installed(),
       olderBlock,
       0,
       {Stop("The rom image you loaded is not have UUID!!")}},
      {"a running BIOS without a UUID", noUuid, Newer(), 1, {}},
      {"an image without a DMI block", Installed(), noDmi, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.installed, c.image);
    Bytes loaded = Image();
    EXPECT_EQ(CarryUuidIntoImage(nullptr), c.result);
    EXPECT_EQ(desktop.messages, c.messages);
    EXPECT_EQ(Image(), loaded);
  }
}

}  // namespace
}  // namespace ql::testing
