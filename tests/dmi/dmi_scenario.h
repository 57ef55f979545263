// The DMI scenarios: a machine running an older BIOS whose DMI strings and UUID differ from those
// of a newer image for the same platform, the program started on it as a person would use it.
#pragma once

#include <algorithm>
#include "platform/bytes.h"
#include "support/program_fixture.h"

namespace ql::testing {

inline constexpr uint32_t kRomSize = 0x80000, kSegmentBase = 0x70000;  // segment F000h's base
inline constexpr uint32_t kUuidBit = 1u << kDmiStringCount;  // after one bit per DmiStringId

inline const MessageRecord kFailed =
    Stop("Flash Failed !! \n Please try again or contact your customer service!!");
inline const MessageRecord kSucceeded =
    Box("Flash Successed !! \n It is strongly recommand to shutdown your computer to make BIOS "
        "changed effect!!",
        kMbIconExclamation);

class DmiScenario : public ProgramTest {
 protected:
  static sim::RomSpec Installed() {
    return {
        .buildDate = "01/10/05",
        .uuid = {'Q', 'R', 'L', '-', 'U', 'U', 'I', 'D', '-', '0', '0', '0', '0', '0', '0', '1'}};
  }
  // Strings of the same lengths as the installed ones, and a UUID field marked settable.
  static sim::RomSpec Newer() {
    sim::RomSpec spec;
    spec.fillSeed = 7;
    spec.dmi = {"SN-9999999", "Builder Systems", "BS-845", "Rev 2.0", "SYS-9999999", "CH-9999999"};
    spec.uuid.fill(0xFF);
    return spec;
  }
  static Bytes Built(sim::RomSpec spec, uint8_t minor, bool withDmi = true) {
    spec.dmiMinor = minor;
    spec.withDmi = withDmi;
    return BuildImage(spec);
  }
  // Units whose sums are not zero: a rewrite must keep a unit's sum, not assume one.
  static Bytes Uneven(Bytes image) {
    sim::RomInfo info = sim::InspectRom(image);
    for (uint32_t i = 0; i < kDmiStringCount; ++i)
      image[info.dmi[i].imageOffset + info.dmi[i].length + 1] += static_cast<uint8_t>(i + 1);
    image[kSegmentBase + info.uuidOffset + bcpdmi::kUuidLength] += 9;
    return image;
  }
  // Writes `value` at `field` of the BCPDMI block, or of BCPSYS when `inSys`.
  static Bytes Patched(Bytes image, uint32_t field, uint16_t value, bool inSys = false) {
    sim::RomInfo info = sim::InspectRom(image);
    PutLe16(image.data() + (inSys ? info.sysAt : info.dmiAt) + field, value);
    return image;
  }

  // A fresh program on a machine whose part holds `running`; no backup, so a flash asks nothing.
  void Start(const Bytes& running, const sim::SimProfile& profile = {}) {
    program.reset();
    desktop = ScriptedDesktop{};
    UseMachine(profile, running);
    Run();
    program->ConfirmOptionDialog({.AutoBackup = false, .AutoVerify = true, .AutoBlankCheck = true});
  }
  void Flash() {  // the shutdown box it ends with is closed
    desktop.shutdownAnswers.push_back(ShutdownBoxEnd::kClosed);
    program->FlashCommand(nullptr);
  }
  std::string Shown(DmiModeValue mode) {
    DmiFieldTexts shown;
    program->ShowDmiForMode(mode, &shown);
    return std::string(shown.Manufacturer) + "|" + shown.Product + "|" + shown.Version + "|" +
           shown.SystemSerial + "|" + shown.Uuid + "|";
  }

  // The part is `before` but for the `written` string units (and UUID field): their characters
  // and terminator (the UUID's 16 bytes) are those of `source`, and each keeps its 8-bit sum.
  void ExpectOnlyRewritten(const Bytes& before, uint32_t written, const Bytes& source) {
    sim::RomInfo was = sim::InspectRom(before), from = sim::InspectRom(source);
    sim::RomInfo now = sim::InspectRom(Part());
    Bytes expected = before;
    for (uint32_t i = 0; i <= kDmiStringCount; ++i) {
      if ((written >> i & 1) == 0) continue;
      bool uuid = i == kDmiStringCount;
      uint32_t at = uuid ? kSegmentBase + now.uuidOffset : now.dmi[i].imageOffset;
      uint32_t sourceAt = uuid ? kSegmentBase + from.uuidOffset : from.dmi[i].imageOffset;
      uint32_t count = uuid ? bcpdmi::kUuidLength : now.dmi[i].length + 1u;
      std::copy_n(source.begin() + sourceAt, count, expected.begin() + at);
      expected[at + count] = Part()[at + count];  // the balance byte, judged by the sum
      EXPECT_EQ(uuid ? now.uuidSum : now.dmi[i].unitSum, uuid ? was.uuidSum : was.dmi[i].unitSum);
    }
    EXPECT_TRUE(Part() == expected);
  }

  Bytes installed_ = BuildImage(Installed());
  Bytes newer_ = BuildImage(Newer());
};

}  // namespace ql::testing
