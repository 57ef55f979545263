#include <cstring>

#include "rom/bcp_layout.h"
#include "rom/rom_file_fixture.h"

namespace ql::testing {
namespace {

const char* const kNotNewer = " The BIOS you loaded is not newer than original BIOS!! ";
const char* const kNotNewerAsk =
    " The BIOS you loaded is not newer than original BIOS!!\nDo you still want to flash ?? ";
const char* const kSameDateAsk =
    " The date of BIOS you loaded is same with the original!!\nDo you still want to flash ?? ";
const char* const kOtherPlatform = " The bios you loaded is not for this platform!!";
const char* const kOtherSize =
    "The size of rom file which you read was not identical with original!!";

constexpr uint32_t kQuestion = 0x21;  // OK and Cancel with the question icon
constexpr uint32_t kWarning = 0x30;
constexpr uint32_t kStop = 0x10;

// The running BIOS: 06/15/05 10:30, 512 KiB, layout 0x0100, platform QRL845GV.
sim::RomSpec System() {
  sim::RomSpec s;
  s.buildDate = "06/15/05";
  s.buildTime = "10:30";
  return s;
}

struct Row {
  const char* name;
  const char* date;
  const char* time;
  const char* platform;
  uint32_t sizeKb;
  uint16_t layout;
  int answer;           // the user's answer to a question, when one is asked
  const char* message;  // nullptr: no box
  uint32_t style;
  int result;
};

class ImageCompatibilityTest : public RomFileTest {
 protected:
  void SetUp() override {
    RomFileTest::SetUp();
    SetSystem(System());
  }
  void Check(const Row& r) {
    SCOPED_TRACE(r.name);
    sim::RomSpec spec = System();
    spec.buildDate = r.date;
    spec.buildTime = r.time;
    spec.platformId = r.platform;
    spec.sizeKb = r.sizeKb;
    spec.layoutWord = r.layout;
    desktop.messages.clear();
    desktop.messageAnswers = {r.answer};
    EXPECT_EQ(Load(spec), r.result);
    EXPECT_EQ(RomImage.ImageLoaded, static_cast<uint32_t>(r.result));
    EXPECT_EQ(RomImage.FlashEnabled, static_cast<uint32_t>(r.result));
    if (r.message == nullptr) {
      EXPECT_TRUE(desktop.messages.empty()) << desktop.messages[0].text;
      return;
    }
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (MessageRecord{r.message, "Quorrelite", r.style}));
    EXPECT_EQ(desktop.messages[0].owner, &owner_);
  }
};

TEST_F(ImageCompatibilityTest, EachRuleGivesItsOutcome) {
  const int ok = kIdOk, cancel = kIdCancel;
  const Row rows[] = {
      {"other platform", "07/01/05", "10:30", "QRL845GX", 512, 0x100, ok, kOtherPlatform, kStop, 0},
      {"older year, any size", "12/31/04", "23:59", "QRL845GV", 1024, 0x200, ok, kNotNewer,
       kWarning, 1},
      {"older month, OK", "05/30/05", "10:30", "QRL845GV", 512, 0x100, ok, kNotNewerAsk, kQuestion,
       1},
      {"older month, Cancel", "05/30/05", "10:30", "QRL845GV", 512, 0x100, cancel, kNotNewerAsk,
       kQuestion, 0},
      {"older day, OK, size not held", "06/14/05", "23:00", "QRL845GV", 256, 0x100, ok,
       kNotNewerAsk, kQuestion, 1},
      {"older day, Cancel", "06/14/05", "10:30", "QRL845GV", 512, 0x100, cancel, kNotNewerAsk,
       kQuestion, 0},
      {"same date and time, OK", "06/15/05", "10:30", "QRL845GV", 512, 0x100, ok, kSameDateAsk,
       kQuestion, 1},
      {"same date and time, Cancel", "06/15/05", "10:30:59", "QRL845GV", 512, 0x100, cancel,
       kSameDateAsk, kQuestion, 0},
      {"same day, a minute earlier", "06/15/05", "10:29", "QRL845GV", 512, 0x100, ok, nullptr, 0,
       1},
      {"same day, a minute earlier, other size", "06/15/05", "10:29", "QRL845GV", 1024, 0x100, ok,
       kOtherSize, kStop, 0},
      {"same day, later hour", "06/15/05", "11:30", "QRL845GV", 512, 0x100, ok, nullptr, 0, 1},
      {"later day", "06/16/05", "00:00", "QRL845GV", 512, 0x100, ok, nullptr, 0, 1},
      {"later month", "07/01/05", "00:00", "QRL845GV", 512, 0x100, ok, nullptr, 0, 1},
      {"later year, earlier month", "01/01/06", "00:00", "QRL845GV", 512, 0x100, ok, nullptr, 0, 1},
      {"newer, other RomSizeKb", "07/01/05", "10:30", "QRL845GV", 256, 0x100, ok, kOtherSize, kStop,
       0},
      {"newer, other layout", "07/01/05", "10:30", "QRL845GV", 512, 0x101, ok, kOtherSize, kStop,
       0},
  };
  for (const Row& r : rows) Check(r);
}

TEST_F(ImageCompatibilityTest, ASystemFromYear99CountsAsYear00) {
  sim::RomSpec system = System();
  system.buildDate = "01/01/99";
  SetSystem(system);
  const Row rows[] = {
      {"image 00, later month", "06/01/00", "00:00", "QRL845GV", 512, 0x100, kIdOk, nullptr, 0, 1},
      {"image 98", "01/01/98", "00:00", "QRL845GV", 512, 0x100, kIdOk, nullptr, 0, 1},
      {"image 99", "01/01/99", "00:00", "QRL845GV", 512, 0x100, kIdOk, nullptr, 0, 1},
      {"image 99, other size", "01/01/99", "10:30", "QRL845GV", 256, 0x100, kIdOk, kOtherSize,
       kStop, 0},
      {"image 00, same day and time", "01/01/00", "10:30", "QRL845GV", 512, 0x100, kIdCancel,
       kSameDateAsk, kQuestion, 0},
  };
  for (const Row& r : rows) Check(r);

  // Only the system's year is moved: an image from 99 is newer than a system from 00 too.
  system.buildDate = "12/31/00";
  SetSystem(system);
  Check({"image 99 against 00", "01/01/99", "00:00", "QRL845GV", 512, 0x100, kIdOk, nullptr, 0, 1});
  // An image from 00 against a system from 01 is older.
  system.buildDate = "01/01/01";
  SetSystem(system);
  Check({"image 00 against 01", "12/31/00", "00:00", "QRL845GV", 512, 0x100, kIdOk, kNotNewer,
         kWarning, 1});
}

TEST_F(ImageCompatibilityTest, PlatformIdsAreComparedUpToTheirFirstNul) {
  sim::RomSpec system = System();
  system.platformId = "QRL845GV0";
  Bytes sys = Build(system);
  uint8_t* sysId = sys.data() + SysAt(sys) + bcpsys::kPlatformId;
  std::memcpy(sysId + 3, "\0abcde", 6);
  SystemBcpSys.Block = ParseBcpSys(sys.data() + SysAt(sys));

  sim::RomSpec spec = System();
  spec.buildDate = "07/01/05";
  Bytes image = Build(spec);
  uint8_t* id = image.data() + SysAt(image) + bcpsys::kPlatformId;
  std::memcpy(id, "QRL\0zzzzz", 9);
  EXPECT_EQ(Load(image), 1);
  EXPECT_TRUE(desktop.messages.empty());

  // A byte before the NUL still counts.
  id[2] = 'X';
  EXPECT_EQ(Load(image), 0);
  EXPECT_EQ(desktop.Texts(), std::vector<std::string>{kOtherPlatform});

  // All nine bytes without a NUL are compared, and only nine.
  std::memcpy(sysId, "QRL845GV0", 9);
  SystemBcpSys.Block = ParseBcpSys(sys.data() + SysAt(sys));
  std::memcpy(id, "QRL845GV0", 9);
  id[9] = 'Q';  // the byte after the field
  desktop.messages.clear();
  EXPECT_EQ(Load(image), 1);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ImageCompatibilityTest, AFileOneByteLongerThanItsRomSizeIsRefused) {
  sim::RomSpec spec = System();
  spec.buildDate = "07/01/05";
  Bytes image = Build(spec);
  image.push_back(0xFF);
  EXPECT_EQ(Load(image), 0);
  EXPECT_EQ(desktop.messages.at(0), (MessageRecord{kOtherSize, "Quorrelite", kStop}));
  image.pop_back();
  image.pop_back();
  desktop.messages.clear();
  EXPECT_EQ(Load(image), 0);
  EXPECT_EQ(desktop.Texts(), std::vector<std::string>{kOtherSize});
}

TEST_F(ImageCompatibilityTest, TwoBcpSysBlocksAreJudgedByTheLater) {
  sim::RomSpec good = System();
  good.buildDate = "07/01/05";
  sim::RomSpec bad = good;
  bad.platformId = "ELSEWHERE";
  Bytes goodImage = Build(good);
  Bytes badImage = Build(bad);
  const uint8_t* goodBlock = goodImage.data() + SysAt(goodImage);
  const uint8_t* badBlock = badImage.data() + SysAt(badImage);

  // A stray block of another platform before the real one does not matter...
  Bytes image = goodImage;
  std::memcpy(image.data() + 0x100, badBlock, bcpsys::kSize);
  EXPECT_EQ(Load(image), 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(std::memcmp(RomImage.ImageBcpSys.Raw, goodBlock, bcpsys::kSize), 0);

  // ...and one after it decides, the loader's copy and the rules agreeing on which.
  image = goodImage;
  std::memcpy(image.data() + image.size() - 0x200, badBlock, bcpsys::kSize);
  EXPECT_EQ(Load(image), 0);
  EXPECT_EQ(desktop.Texts(), std::vector<std::string>{kOtherPlatform});
  EXPECT_EQ(std::memcmp(RomImage.ImageBcpSys.Raw, badBlock, bcpsys::kSize), 0);
}

TEST_F(ImageCompatibilityTest, AnImageWithoutBcpSysIsNotABiosForTheRules) {
  // Reached only when the rules are asked about a buffer the loader did not vouch for.
  for (uint32_t size : {0u, 5u, 4096u}) {
    AllocateRomImage(nullptr, size);
    RomImage.RomSize = size;
    desktop.messages.clear();
    EXPECT_EQ(CheckImageCompatibility(&owner_), 0);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              (MessageRecord{"The file you read was not Vantrel BIOS!!", "Quorrelite", kStop}));
  }
  // A size that was set for the running BIOS while a smaller buffer is held reads no further.
  RomImage.RomSize = 512 * 1024;
  EXPECT_EQ(CheckImageCompatibility(&owner_), 0);
  HeapFreeIfSet(RomImage.Buffer);
  RomImage.Buffer = nullptr;
  EXPECT_EQ(CheckImageCompatibility(&owner_), 0);
  EXPECT_EQ(desktop.messages.size(), 3u);
}

}  // namespace
}  // namespace ql::testing
