#include "dmi/image_dmi.h"

#include <cstring>
#include <string>

#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "dmi/uuid.h"
#include "platform/bytes.h"
#include "rom/rom_file_fixture.h"

namespace ql::testing {
namespace {

const MessageRecord kStringsOutside{
    "The DMI strings of the rom file which you read lie outside the file!!", "Quorrelite", 0x30};
const MessageRecord kUuidOutside{"The UUID of the rom file which you read lies outside the file!!",
                                 "Quorrelite", 0x30};

// Images are loaded in manufacturing mode, so a patched BCPSYS is read as it stands.
class ImageDmiTest : public RomFileTest {
 protected:
  void SetUp() override {
    RomFileTest::SetUp();
    Startup.ManufacturingMode = 1;
  }
  static uint8_t* Header(Bytes& image) { return image.data() + DmiAt(image); }
  static uint8_t* Sys(Bytes& image) { return image.data() + SysAt(image); }
  static uint16_t Field(Bytes& image, uint32_t at) { return GetLe16(Header(image) + at); }
  static std::string CopyOf(const DmiStringCopy& c, uint32_t count) {
    return std::string(reinterpret_cast<const char*>(c.Bytes), count);
  }
  const ImageDmiRecord& Image() const { return DmiStrings.ImageDmi; }
};

TEST_F(ImageDmiTest, StringsAreCopiedFromTheirLengthByteToTheirTerminator) {
  sim::RomSpec spec;
  spec.dmi = {"SN", "Maker Inc", "", "V2", "SYS-42", "CH"};
  spec.uuid = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  ASSERT_EQ(Load(spec), 1);
  EXPECT_EQ(CopyOf(Image().Manufacturer, 12), std::string("\x09Maker Inc\0\0", 12));
  EXPECT_EQ(CopyOf(Image().Product, 3), std::string("\0\0\0", 3));
  EXPECT_EQ(CopyOf(Image().Version, 5), std::string("\x02V2\0\0", 5));
  EXPECT_STREQ(Image().SystemSerial.Text(), "SYS-42");
  EXPECT_EQ(Image().ImageUuidSupported, 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Image().Uuid), 17),
            std::string("0123456789ABCDEF\0", 17));
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ImageDmiTest, UuidSupportFollowsTheSignedVersionBytes) {
  struct Case {
    uint8_t major, minor;
    uint32_t supported;
  };
  const Case cases[] = {{2, 11, 1}, {3, 40, 1},  {2, 10, 0},   {3, 5, 0},
                        {1, 99, 0}, {2, 128, 0}, {0x82, 11, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.major) << "." << int(c.minor));
    sim::RomSpec spec;
    spec.dmiMajor = c.major;
    spec.dmiMinor = c.minor;
    spec.uuid.fill('U');
    DmiStrings.ImageDmi = ImageDmiRecord{};
    ASSERT_EQ(Load(spec), 1);
    EXPECT_EQ(Image().ImageUuidSupported, c.supported);
    EXPECT_EQ(Image().Uuid[0], c.supported ? 'U' : 0);
  }
}

TEST_F(ImageDmiTest, ASegmentBaseBeforeTheImageStillReachesTheFieldsInside) {
  // A 64 KiB image whose BCPSYS claims 32 KiB: segment F000h starts 32 KiB before the image, so
  // DmiSegmentBase wraps, and a field at segment offset o lies at image offset o - 0x8000.
  sim::RomSpec spec;
  spec.sizeKb = 64;
  Bytes image = Build(spec);
  PutLe16(Sys(image) + bcpsys::kRomSizeKb, 32);
  uint16_t maker = Field(image, bcpdmi::kManufacturerOffset);
  std::memcpy(image.data() + maker - 0x8000 - 1, "\x04WRAP\0", 6);
  // A field below offset 0x8000 would sit before the image's first byte.
  PutLe16(Header(image) + bcpdmi::kProductOffset, 0x10);
  ASSERT_EQ(Load(image), 1);
  EXPECT_STREQ(Image().Manufacturer.Text(), "WRAP");
  EXPECT_EQ(Image().Product.Length(), 0);
  ASSERT_GE(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0], kStringsOutside);
}

TEST_F(ImageDmiTest, FieldsOutsideTheImageAreEmptyAndToldOnce) {
  sim::RomSpec spec;
  spec.sizeKb = 64;  // DmiSegmentBase 0: segment offsets are image offsets
  spec.uuid.fill('U');
  Bytes image = Build(spec);
  // The last string's field runs one byte past the end of the image.
  PutLe16(Header(image) + bcpdmi::kVersionOffset, 0xFFFA);
  image[0xFFF9] = 5;  // length byte: 5 characters and the terminator end at the last byte
  image[0xFFFF] = 0;
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(Image().Version.Length(), 5);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_STREQ(Image().Manufacturer.Text(), "Quorrel Systems");

  image[0xFFF9] = 6;
  desktop.messages.clear();
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(Image().Version.Length(), 0);
  EXPECT_STREQ(Image().Manufacturer.Text(), "Quorrel Systems");
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{kStringsOutside});

  // A BCPSYS that puts the whole DMI segment past the end: every field is out, UUID included.
  PutLe16(Sys(image) + bcpsys::kRomSizeKb, 1024);
  desktop.messages.clear();
  ASSERT_EQ(Load(image), 1);
  for (const DmiStringCopy* c :
       {&Image().Manufacturer, &Image().Product, &Image().Version, &Image().SystemSerial}) {
    EXPECT_EQ(c->Length(), 0);
  }
  EXPECT_EQ(Image().ImageUuidSupported, 0u);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{kStringsOutside, kUuidOutside}));
}

TEST_F(ImageDmiTest, AUuidFieldWhoseBalanceByteIsOutsideIsNoUuid) {
  sim::RomSpec spec;
  spec.sizeKb = 64;
  Bytes image = Build(spec);
  PutLe16(Header(image) + bcpdmi::kUuidOffset, 0x10000 - 16);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(Image().ImageUuidSupported, 0u);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{kUuidOutside});

  PutLe16(Header(image) + bcpdmi::kUuidOffset, 0x10000 - 17);
  desktop.messages.clear();
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(Image().ImageUuidSupported, 1u);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ImageDmiTest, ALongStringIsCutInsideItsCopyAndAZeroOffsetIsNoString) {
  sim::RomSpec spec;
  spec.sizeKb = 64;
  Bytes image = Build(spec);
  uint16_t maker = Field(image, bcpdmi::kManufacturerOffset);
  image[maker - 1] = 200;
  std::memset(image.data() + maker, 'M', 200);
  image[maker + 200] = 0;
  PutLe16(Header(image) + bcpdmi::kProductOffset, 0);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(Image().Manufacturer.Length(), 200);
  EXPECT_EQ(std::string(Image().Manufacturer.Text()), std::string(78, 'M'));
  EXPECT_EQ(Image().Product.Length(), 0);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ImageDmiTest, ABcpDmiHeaderCutOffByTheEndOfTheImageIsNoBlock) {
  ASSERT_EQ(Load(sim::RomSpec{}), 1);
  sim::RomSpec spec;
  spec.withDmi = false;
  Bytes image = Build(spec);
  std::memcpy(image.data() + image.size() - 39, "BCPDMI", 6);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(RomImage.ImageDmiPresent, 0u);
  EXPECT_STREQ(Image().Product.Text(), "QS-845");  // the readers did not run

  std::memcpy(image.data() + image.size() - 40, "BCPDMI", 6);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(RomImage.ImageDmiPresent, 1u);
}

TEST(UuidDisplayText, ShowsTheTwoEmptyFormsByNameAndEverythingElseAsText) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const Case cases[] = {
      {std::string(16, '\0'), "UUID not present in the system"},
      {std::string(16, '\xFF'), "UUID not present but settable"},
      {std::string(15, '\xFF') + "A", std::string(15, '\xFF') + "A"},
      {"A" + std::string(15, '\xFF'), "A" + std::string(15, '\xFF')},
      {std::string(15, '\0') + "A", ""},
      {"0123456789ABCDEF", "0123456789ABCDEF"},
      {std::string("QRL\0rest-of-id12", 16), "QRL"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.bytes.size(), 16u);
    char text[kUuidDisplaySize];
    std::memset(text, 'x', sizeof text);
    UuidDisplayText(reinterpret_cast<const uint8_t*>(c.bytes.data()), text);
    EXPECT_EQ(std::string(text), c.shown);
  }
}

}  // namespace
}  // namespace ql::testing
