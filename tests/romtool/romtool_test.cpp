// romtool and the ROM builder: images round-trip through show, keep the balance-byte rule, and
// bad arguments are named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/rom_builder.h"
#include "sim/romtool_commands.h"
#include "sim/sim_machine.h"
#include "support/temp_folder.h"

namespace ql::sim {
namespace {

class RomtoolTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunRomtool(args, out_, err_);
  }
  ql::testing::TempFolder temp_;
  const std::string dir_ = temp_.Path();
  std::ostringstream out_, err_;
};

TEST_F(RomtoolTest, EveryFieldOfABuiltImageReadsBack) {
  RomSpec spec;
  spec.sizeKb = 1024;
  spec.platformId = "ABCDEFGHI";  // nine characters, no terminator in the field
  spec.buildDate = "11/30/99";
  spec.buildTime = "23:59";
  spec.layoutWord = 0xBEEF;
  spec.dmiMajor = 3;
  spec.dmiMinor = 12;
  spec.dmi = {"", "M", "Product with a long name", "V", "S1", "C2"};
  ParseUuid("0123456789abcdef", &spec.uuid);
  spec.triggerPort = 0x1234B2;
  spec.triggerValue = 0x7F;
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(BuildRom(spec, &image, &error)) << error;
  ASSERT_EQ(image.size(), 1024u * 1024);

  RomInfo r = InspectRom(image);
  EXPECT_EQ(r.byteSum, 0);
  const uint32_t segment = 1024 * 1024 - 0x10000;
  EXPECT_EQ(r.sysAt, segment + kSysSegmentOffset);
  EXPECT_EQ(r.fexAt, segment + kFexSegmentOffset);
  EXPECT_EQ(r.dmiAt, segment + kDmiSegmentOffset);
  EXPECT_EQ(r.platformId, "ABCDEFGHI");
  EXPECT_EQ(r.buildDate, "11/30/99");
  EXPECT_EQ(r.buildTime, "23:59");
  EXPECT_EQ(r.dmiSegment, 0xF000);
  EXPECT_EQ(r.romSizeKb, 1024);
  EXPECT_EQ(r.layoutWord, 0xBEEF);
  EXPECT_EQ(r.triggerPort, 0x1234B2u);
  EXPECT_EQ(r.triggerValue, 0x7F);
  EXPECT_EQ(r.dmiMajor, 3);
  EXPECT_EQ(r.dmiMinor, 12);
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    SCOPED_TRACE(kDmiStringNames[i]);
    const DmiStringInfo& s = r.dmi[i];
    ASSERT_TRUE(s.inside);
    EXPECT_EQ(s.text, spec.dmi[i]);
    EXPECT_EQ(s.length, spec.dmi[i].size());
    EXPECT_EQ(s.terminator, 0);
    EXPECT_EQ(s.unitSum, 0);
    EXPECT_EQ(s.imageOffset, DmiSegmentBase(1024, 0xF000) + s.offset);
  }
  ASSERT_TRUE(r.uuidInside);
  EXPECT_EQ(r.uuid, spec.uuid);
  EXPECT_EQ(r.uuidSum, 0);
}

TEST_F(RomtoolTest, MakeThenShowPrintsTheFields) {
  std::string rom = dir_ + "/a.rom";
  ASSERT_EQ(Run({"make", rom, "--size-kb", "256", "--platform", "P4X", "--date", "01/02/03",
                 "--product", "Widget", "--uuid", "settable", "--port", "0x2E", "--value", "7"}),
            0)
      << err_.str();
  ASSERT_EQ(Run({"show", rom}), 0) << err_.str();
  std::string shown = out_.str();
  for (const char* expected :
       {"262144 bytes", "byte sum        0x00", "\"P4X\"", "\"01/02/03\"", "256 KiB", "\"Widget\"",
        "settable (16 x FF)", "trigger port  0x002E", "trigger value 0x07"}) {
    EXPECT_NE(shown.find(expected), std::string::npos) << expected << "\n" << shown;
  }
}

TEST_F(RomtoolTest, BadArgumentsAreNamedAndEndWithStatusTwo) {
  std::string rom = dir_ + "/b.rom";
  struct Case {
    std::vector<std::string> args;
    const char* named;
  };
  const Case cases[] = {
      {{}, "a command is missing"},
      {{"bake"}, "'bake'"},
      {{"make"}, "IMAGE"},
      {{"make", rom, "--size-kb", "100"}, "--size-kb"},
      {{"make", rom, "--size-kb", "lots"}, "--size-kb"},
      {{"make", rom, "--size-kb"}, "--size-kb: a value is missing"},
      {{"make", rom, "--date", "2005-01-01"}, "--date"},
      {{"make", rom, "--time", "25:00"}, "--time"},
      {{"make", rom, "--platform", "TENLETTERS"}, "--platform"},
      {{"make", rom, "--uuid", "seventeen-letters"}, "--uuid"},
      {{"make", rom, "--dmi-version", "2"}, "--dmi-version"},
      {{"make", rom, "--product", std::string(78, 'p')}, "product"},
      {{"make", rom, "--dmi-segment", "0x1000"}, "dmi-segment"},
      {{"make", rom, "--colour", "red"}, "'--colour'"},
      {{"show"}, "IMAGE"},
      {{"machine", rom}, "FOLDER"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    EXPECT_EQ(Run(c.args), 2);
    EXPECT_NE(err_.str().find(c.named), std::string::npos) << err_.str();
  }
  EXPECT_FALSE(std::filesystem::exists(rom));
  EXPECT_EQ(Run({"show", dir_ + "/missing.rom"}), 1);
  EXPECT_NE(err_.str().find("missing.rom"), std::string::npos);
}

TEST_F(RomtoolTest, MachineChecksItsSettingsAndMakesAFolderThatOpens) {
  std::string rom = dir_ + "/c.rom";
  ASSERT_EQ(Run({"make", rom}), 0);
  EXPECT_EQ(Run({"machine", rom, dir_ + "/m", "password=abc"}), 2);
  EXPECT_NE(err_.str().find("key 'password'"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"machine", rom, dir_ + "/m", "passwort=1"}), 2);
  EXPECT_NE(err_.str().find("unknown key 'passwort'"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"machine", rom, dir_ + "/m", "read_fails_at=0x900000"}), 2);
  EXPECT_NE(err_.str().find("read_fails_at"), std::string::npos) << err_.str();
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/m"));

  ASSERT_EQ(Run({"machine", rom, dir_ + "/m", "password=42", "power=battery"}), 0) << err_.str();
  std::string error;
  std::unique_ptr<SimMachine> m = OpenSimMachine(dir_ + "/m", &error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->GetPowerStatus().acLineStatus, 0);
}

TEST_F(RomtoolTest, DemoMakesAMachineAndANewerImageForTheSamePlatform) {
  ASSERT_EQ(Run({"demo", dir_}), 0) << err_.str();
  std::string error;
  std::unique_ptr<SimMachine> m = OpenSimMachine(dir_ + "/machine", &error);
  ASSERT_TRUE(m) << error;
  RomInfo running = InspectRom(m->FlashContents());
  RomInfo newer = InspectRom(ql::testing::TempFolder::ReadFile(dir_ + "/newer.rom"));
  EXPECT_EQ(newer.platformId, running.platformId);
  EXPECT_EQ(newer.romSizeKb, running.romSizeKb);
  EXPECT_EQ(newer.layoutWord, running.layoutWord);
  EXPECT_EQ(newer.size, running.size);
  EXPECT_GT(newer.buildDate, running.buildDate);  // same year, later month
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    EXPECT_NE(newer.dmi[i].text, running.dmi[i].text) << kDmiStringNames[i];
    EXPECT_EQ(newer.dmi[i].length, running.dmi[i].length) << kDmiStringNames[i];
  }
}

}  // namespace
}  // namespace ql::sim
