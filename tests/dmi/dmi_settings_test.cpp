// The DMI strings settings: what the fields show in each mode for each machine and image, which
// buttons a mode enables, and what OK keeps of the typed strings.
#include <cstring>

#include "dmi/dmi_scenario.h"

namespace ql::testing {

constexpr DmiModeValue kKeep = DmiModeValue::KeepCurrent, kImage = DmiModeValue::DontKeep,
                       kNew = DmiModeValue::NewStrings;

static std::string Repeat(const std::string& text, int fields = kDmiEntryFieldCount) {
  std::string all;
  for (int i = 0; i < fields; ++i) all += text + "|";
  return all;
}

class DmiSettingsTest : public DmiScenario {};

TEST_F(DmiSettingsTest, EachModeShowsItsStringsAndSetsTheButtons) {
  Bytes longMaker = Patched(newer_, bcpdmi::kManufacturerOffset, 0x1000);  // 200 characters
  longMaker[kSegmentBase + 0x0FFF] = 200;
  std::fill_n(longMaker.begin() + kSegmentBase + 0x1000, 200, 'M');
  const std::string running = "Quorrel Systems|QS-845|Rev 1.0|SYS-0000000|";
  const std::string image = "Builder Systems|BS-845|Rev 2.0|SYS-9999999|";
  sim::RomSpec widest = Installed();  // a maker as long as a copy of a string can hold
  widest.dmi[1] = std::string(77, 'Q');
  struct Case {
    Bytes running;
    Bytes image;  // empty: none loaded
    DmiModeValue mode;
    bool buttons;
    std::string shown;
  };
  const Case cases[] = {
      {installed_, Bytes{}, kKeep, false, running + "QRL-UUID-0000001|"},
      {installed_, newer_, kKeep, true, running + "QRL-UUID-0000001|"},
      {Built(Installed(), 11, false), Bytes{}, kKeep, false,
       Repeat("No DMI strings in the system", 4) + "UUID not supported|"},
      {installed_, Bytes{}, kImage, false, Repeat("File didn't read!!")},
      {installed_, newer_, kImage, true, image + "UUID not present but settable|"},
      {BuildImage({}), Bytes{}, kKeep, false, running + "UUID not present in the system|"},
      {installed_, Built(Newer(), 10), kImage, true, image + "UUID not supported|"},
      {installed_, Built(Newer(), 11, false), kImage, true, Repeat("No DMI strings in the file")},
      {installed_, longMaker, kImage, true,
       std::string(78, 'M') + image.substr(15) + "UUID not present but settable|"},
      {BuildImage(widest), Bytes{}, kKeep, false,
       std::string(77, 'Q') + running.substr(15) + "QRL-UUID-0000001|"},
      {installed_, Bytes{}, kNew, true, Repeat("")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    Start(c.running);
    if (!c.image.empty()) Load(c.image);
    EXPECT_EQ(Shown(c.mode), c.shown);
    EXPECT_EQ(program->buttons().flash, c.buttons);
    EXPECT_EQ(program->buttons().backup, c.buttons);
    EXPECT_TRUE(desktop.messages.empty());
  }
}

TEST_F(DmiSettingsTest, OkKeepsTypedStringsOnlyForNewStringsCutToTheInstalledLengths) {
  Start(installed_);
  DmiFieldTexts typed;
  for (int i = 0; i < kDmiEntryFieldCount; ++i) std::strcpy(typed.Field(i), "A Much Longer Text");
  EXPECT_TRUE(typed.Field(-1) == nullptr && typed.Field(kDmiEntryFieldCount) == nullptr);
  Shown(kImage);
  program->ConfirmDmiSettings(typed);
  EXPECT_FALSE(desktop.enabled.at(Control::kFlash)) << "no image to flash";
  EXPECT_FALSE(desktop.enabled.at(Control::kBackup));
  EXPECT_EQ(Shown(kNew), Repeat("")) << "a view is not an entry";
  program->ConfirmDmiSettings(typed);
  EXPECT_TRUE(desktop.enabled.at(Control::kFlash));
  EXPECT_TRUE(desktop.enabled.at(Control::kBackup));
  EXPECT_EQ(Shown(kNew), "A Much Longer T|A Much|A Much |A Much Long|A Much Longer Te|");
}

}  // namespace ql::testing
