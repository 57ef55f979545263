// A flash that keeps the running BIOS's DMI strings and UUID: what arrives in the part (the running
// BIOS's text with the image's own unit sums), what is told, and what is left as the image has it.
#include "dmi/dmi_scenario.h"

namespace ql::testing {

const MessageRecord kNoUuid = Stop("The rom image you loaded is not have UUID!!");
const MessageRecord kStringsOut = Box(
    "The DMI strings of the rom file which you read lie outside the file!!", kMbIconExclamation);
const MessageRecord kUuidOut =
    Box("The UUID of the rom file which you read lies outside the file!!", kMbIconExclamation);
const auto kChassisLen = Box("The Chasis serial number length is not the same !!", kMbOk);
const auto kProductLen = Box("The length of Production strings is not the same !!", kMbOk);
const auto kVersionLen = Box("The length of Version strings is not the same !!", kMbOk);

// The boxes a flash shows: `told`, then the flash's success.
static std::vector<MessageRecord> Told(std::vector<MessageRecord> told = {}) {
  told.push_back(kSucceeded);
  return told;
}
constexpr uint32_t kProduct = 1u << 2, kVersion = 1u << 3, kChassis = 1u << 5;  // DmiStringId
constexpr uint32_t kStrings = kUuidBit - 1, kAll = kStrings | kUuidBit;

class CarryOverTest : public DmiScenario {};

TEST_F(CarryOverTest, EachStringAndTheUuidArriveWhereBothSidesHoldThemWhole) {
  Bytes image = Uneven(newer_);
  sim::RomSpec longProduct = Newer();
  longProduct.dmi[static_cast<int>(DmiStringId::kProduct)] = "BS-845GV";
  // A length byte of 10, the running chassis serial's, where a string at offset 0 would keep it.
  Bytes chassisAtZero = Patched(image, bcpdmi::kChassisSerialOffset, 0);
  chassisAtZero[kSegmentBase - 1] = 10;
  // The running version has 7 characters: at 0xFFF7 its field ends at the image's last byte.
  auto versionAt = [&](uint16_t offset, uint8_t length) {
    Bytes patched = Patched(image, bcpdmi::kVersionOffset, offset);
    patched[kSegmentBase + offset - 1] = length;
    return patched;
  };
  struct Case {
    const char* name;
    Bytes image;
    std::vector<MessageRecord> boxes;
    uint32_t carried;
    Bytes running = {};  // empty: the installed BIOS
  };
  const Case cases[] = {
      {"everything", image, Told(), kAll},
      {"a product of another length", Uneven(BuildImage(longProduct)), Told({kProductLen}),
       kAll & ~kProduct},
      {"a running BIOS without a DMI block", image,
       Told({Box("The Serial number length is not the same !!", kMbOk),
             Box("The System serial number length is not the same !!", kMbOk), kChassisLen,
             Box("The length of Manufacture strings is not the same !!", kMbOk), kProductLen,
             kVersionLen}),
       0, Built(Installed(), 11, false)},
      {"a chassis serial at offset 0", chassisAtZero, Told({kChassisLen}), kAll & ~kChassis},
      {"a chassis serial at offset 0 on both sides", chassisAtZero, Told(), kAll & ~kChassis,
       Patched(installed_, bcpdmi::kChassisSerialOffset, 0)},
      {"a version ending at the last byte", versionAt(0xFFF7, 7), Told(), kAll},
      {"a version balance past the end", versionAt(0xFFF8, 7), Told(), kAll & ~kVersion},
      {"a version terminator past the end", versionAt(0xFFF8, 8), Told({kStringsOut, kVersionLen}),
       kAll & ~kVersion},
      {"a DMI segment past the end", Patched(image, bcpsys::kDmiSegment, 0xF800, true),
       Told({kStringsOut, kUuidOut, kNoUuid}), 0},
      {"an image block of 2.10", Uneven(Built(Newer(), 10)), Told({kNoUuid}), kStrings},
      {"2.128, read as signed", Uneven(Built(Newer(), 128)), Told({kNoUuid}), kStrings},
      {"a UUID at offset 0", Patched(image, bcpdmi::kUuidOffset, 0), Told({kNoUuid}), kStrings},
      {"a running BIOS without a UUID", image, Told(), kStrings, Built(Installed(), 10)},
      {"a running UUID at 0", image, Told(), kStrings, Patched(installed_, bcpdmi::kUuidOffset, 0)},
      {"a UUID ending at the last byte", Patched(image, bcpdmi::kUuidOffset, 0xFFEF), Told(), kAll},
      {"a running UUID ending at the last byte", image, Told(), kAll,
       Patched(installed_, bcpdmi::kUuidOffset, 0xFFEF)},
      {"a UUID balance past the end", Patched(image, bcpdmi::kUuidOffset, 0xFFF0),
       Told({kUuidOut, kNoUuid}), kStrings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes& running = c.running.empty() ? installed_ : c.running;
    Start(running);
    Load(c.image);
    Flash();
    EXPECT_EQ(desktop.messages, c.boxes);
    ExpectOnlyRewritten(c.image, c.carried, running);
  }
}

}  // namespace ql::testing
