// The DMI strings settings: what each mode shows, which flags it sets at once, and what OK keeps.
#include "dmi/dmi_settings.h"

#include <cstring>
#include <string>

#include "rom/rom_image.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

void SetString(DmiStringCopy* copy, const char* text, uint8_t length) {
  *copy = DmiStringCopy{};
  copy->Bytes[0] = length;
  std::memcpy(copy->Bytes + 1, text, std::strlen(text));
}

std::string Shown(const DmiFieldTexts& t) {
  std::string all;
  for (int i = 0; i < kDmiEntryFieldCount; ++i) all += std::string(t.Field(i)) + "|";
  return all;
}

class DmiSettingsTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    SystemDmiRecord& s = DmiStrings.SystemDmi;
    s.SystemDmiPresent = 1;
    SetString(&s.Manufacturer, "Quorrel Systems", 15);
    SetString(&s.Product, "QS-845", 6);
    SetString(&s.Version, "Rev 1.0", 7);
    SetString(&s.SystemSerial, "SYS-0000000", 11);
    s.SystemUuidPresent = 1;
    std::memcpy(s.Uuid, "0123456789ABCDEF", 16);
    ImageDmiRecord& i = DmiStrings.ImageDmi;
    SetString(&i.Manufacturer, "Image Maker", 11);
    SetString(&i.Product, "IM-1", 4);
    SetString(&i.Version, "Rev 2.0", 7);
    SetString(&i.SystemSerial, "SYS-NEW", 7);
    i.ImageUuidSupported = 0;
  }
  DmiFieldTexts shown;
};

TEST_F(DmiSettingsTest, EachModeShowsItsStringsAndSetsTheFlagsAtOnce) {
  ShowDmiForMode(DmiModeValue::KeepCurrent, &shown);
  EXPECT_EQ(Shown(shown), "Quorrel Systems|QS-845|Rev 1.0|SYS-0000000|0123456789ABCDEF|");
  EXPECT_EQ(RomImage.FlashEnabled, 0u) << "keeping strings needs an image to keep them in";
  EXPECT_EQ(RomImage.BackupEnabled, 0u);

  ShowDmiForMode(DmiModeValue::DontKeep, &shown);
  EXPECT_EQ(DmiStrings.DmiMode, DmiModeValue::DontKeep);
  EXPECT_EQ(Shown(shown),
            "File didn't read!!|File didn't read!!|File didn't read!!|"
            "File didn't read!!|File didn't read!!|");

  RomImage.ImageLoaded = 1;
  ShowDmiForMode(DmiModeValue::DontKeep, &shown);
  EXPECT_EQ(Shown(shown),
            "No DMI strings in the file|No DMI strings in the file|"
            "No DMI strings in the file|No DMI strings in the file|"
            "No DMI strings in the file|");
  EXPECT_EQ(RomImage.FlashEnabled, 1u);
  RomImage.ImageDmiPresent = 1;
  ShowDmiForMode(DmiModeValue::DontKeep, &shown);
  EXPECT_EQ(Shown(shown), "Image Maker|IM-1|Rev 2.0|SYS-NEW|UUID not supported|");

  RomImage.ImageLoaded = 0;
  std::strcpy(DmiStrings.EnteredDmi.Product, "typed");
  ShowDmiForMode(DmiModeValue::NewStrings, &shown);
  EXPECT_EQ(Shown(shown), "|typed||||");
  EXPECT_EQ(RomImage.FlashEnabled, 1u) << "new strings are written into the installed BIOS";
  EXPECT_EQ(RomImage.BackupEnabled, 1u);

  DmiStrings.SystemDmi.SystemDmiPresent = 0;
  DmiStrings.SystemDmi.SystemUuidPresent = 0;
  ShowDmiForMode(DmiModeValue::KeepCurrent, &shown);
  EXPECT_EQ(Shown(shown),
            "No DMI strings in the system|No DMI strings in the system|"
            "No DMI strings in the system|No DMI strings in the system|"
            "UUID not supported|");
}

TEST_F(DmiSettingsTest, CaptionsRadiosAndEntryFieldsBelongToTheirMode) {
  for (DmiModeValue mode :
       {DmiModeValue::KeepCurrent, DmiModeValue::DontKeep, DmiModeValue::NewStrings}) {
    DmiModeValue back;
    ASSERT_TRUE(DmiModeOfRadio(DmiRadioOfMode(mode), &back));
    EXPECT_EQ(back, mode);
  }
  EXPECT_EQ(DmiRadioOfMode(DmiModeValue::KeepCurrent), 1085);
  EXPECT_EQ(DmiRadioOfMode(DmiModeValue::NewStrings), 1087);
  DmiModeValue unused;
  EXPECT_FALSE(DmiModeOfRadio(1088, &unused));
  EXPECT_STREQ(DmiModeCaption(DmiModeValue::KeepCurrent), "DMI strings in current BIOS ");
  EXPECT_STREQ(DmiModeCaption(DmiModeValue::DontKeep), "DMI strings in loaded rom file ");
  EXPECT_STREQ(DmiModeCaption(DmiModeValue::NewStrings), "New DMI strings ");
  EXPECT_FALSE(DmiEntryFieldsEnabled(DmiModeValue::KeepCurrent));
  EXPECT_FALSE(DmiEntryFieldsEnabled(DmiModeValue::DontKeep));
  EXPECT_TRUE(DmiEntryFieldsEnabled(DmiModeValue::NewStrings));
}

TEST_F(DmiSettingsTest, OkKeepsTypedStringsOnlyForNewStringsCutToTheInstalledLengths) {
  DmiFieldTexts typed;
  std::strcpy(typed.Manufacturer, "A Much Longer Maker Name");
  std::strcpy(typed.Product, "P");
  std::strcpy(typed.Uuid, "0123456789ABCDEFGHIJ");

  DmiStrings.DmiMode = DmiModeValue::DontKeep;
  RomImage.FlashEnabled = 0;
  RomImage.BackupEnabled = 1;
  EXPECT_EQ(ConfirmDmiSettings(typed), 1);
  EXPECT_STREQ(DmiStrings.EnteredDmi.Manufacturer, "") << "a view is not an entry";
  EXPECT_FALSE(desktop.enabled[Control::kFlash]);
  EXPECT_TRUE(desktop.enabled[Control::kBackup]);

  DmiStrings.DmiMode = DmiModeValue::NewStrings;
  ConfirmDmiSettings(typed);
  EXPECT_STREQ(DmiStrings.EnteredDmi.Manufacturer, "A Much Longer M") << "15 characters installed";
  EXPECT_STREQ(DmiStrings.EnteredDmi.Product, "P") << "shorter is padded later, not here";
  EXPECT_STREQ(DmiStrings.EnteredDmi.Uuid, "0123456789ABCDEF");

  // A length byte of 0: no limit of its own, and nothing is kept. One larger than the record can
  // hold is cut to the record: the typed text never runs past its 80 bytes.
  DmiStrings.SystemDmi.Version.Bytes[0] = 0;
  DmiStrings.SystemDmi.SystemSerial.Bytes[0] = 200;
  uint32_t limits[kDmiEntryFieldCount];
  DmiEntryFieldLimits(limits);
  EXPECT_EQ(limits[0], 15u);
  EXPECT_EQ(limits[2], 0u);
  EXPECT_EQ(limits[3], kDmiCopySize - 1);
  EXPECT_EQ(limits[4], 16u);
  std::strcpy(typed.Version, "Rev 9");
  std::memset(typed.SystemSerial, 'S', kDmiCopySize - 1);
  ConfirmDmiSettings(typed);
  EXPECT_STREQ(DmiStrings.EnteredDmi.Version, "");
  EXPECT_EQ(std::strlen(DmiStrings.EnteredDmi.SystemSerial), kDmiCopySize - 1);
}

}  // namespace
}  // namespace ql::testing
