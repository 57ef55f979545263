#include "rom/rom_image.h"

#include <cstring>

#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "flash/progress.h"
#include "rom/rom_file_fixture.h"

namespace ql::testing {
namespace {

class RomImageTest : public RomFileTest {
 protected:
  void ExpectRefusedAtRest() {
    EXPECT_EQ(RomImage.ImageLoaded, 0u);
    EXPECT_EQ(RomImage.FlashEnabled, 0u);
    EXPECT_EQ(RomImage.BackupEnabled, 0u);
    EXPECT_EQ(Progress.ProgressPhase, kPhaseStatus);
    EXPECT_EQ(Progress.ProgressPercent, 0u);
    EXPECT_EQ(files.openHandles, 0);
  }
  const MessageRecord notCompatible{
      "The rom file which you read was not conpatible with Vantrel BIOS!!", "Quorrelite", 0x10};
};

TEST_F(RomImageTest, AnAcceptedImageIsHeldWithItsBlockAndEnablesFlashAndBackup) {
  sim::RomSpec spec;
  spec.sizeKb = 512;
  spec.buildDate = "07/01/05";
  Bytes image = Build(spec);
  EXPECT_EQ(Load(image), 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(RomImage.ImageLoaded, 1u);
  EXPECT_EQ(RomImage.FlashEnabled, 1u);
  EXPECT_EQ(RomImage.BackupEnabled, 1u);
  EXPECT_EQ(RomImage.RomSize, 512u * 1024);
  EXPECT_EQ(RomImage.LoadedImageSize, 512u * 1024);
  ASSERT_EQ(RomImage.BufferSize, image.size());
  EXPECT_EQ(std::memcmp(RomImage.Buffer, image.data(), image.size()), 0);
  EXPECT_EQ(RomImage.ImageBcpSysFound, 1u);
  EXPECT_EQ(std::memcmp(RomImage.ImageBcpSys.Raw, image.data() + SysAt(image), 128), 0);
  EXPECT_EQ(RomImage.ImageBcpSys.RomSizeKb, 512u);
  EXPECT_EQ(RomImage.ImageBcpSys.DmiSegment, 0xF000u);
  EXPECT_EQ(RomImage.ImageBcpSys.LayoutWord, spec.layoutWord);
  EXPECT_EQ(RomImage.ImageDmiPresent, 1u);
  EXPECT_STREQ(DmiStrings.ImageDmi.Product.Text(), "QS-845");
  EXPECT_EQ(Progress.ProgressPhase, kPhaseStatus);
  EXPECT_EQ(Progress.ProgressPercent, 0u);
  EXPECT_EQ(files.openHandles, 0);
}

// Files too short for a signature, or holding only its first five letters, are no BIOS images.
TEST_F(RomImageTest, FilesAreReadInWholePiecesAndOneRemainder) {
  struct Case {
    uint32_t size;
    std::vector<uint32_t> requests;
  };
  const Case cases[] = {
      {3 * 4096, {4096, 4096, 4096}},
      {3 * 4096 + 100, {4096, 4096, 4096, 100}},
      {4095, {4095}},
      {4096, {4096}},
      {5, {5}},
      {1, {1}},
      {0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    files.readCounts.clear();
    desktop.messages.clear();
    desktop.repaints.clear();
    Bytes file(c.size);
    for (uint32_t n = 0; n < c.size; ++n) file[n] = static_cast<uint8_t>("BCPSY"[n % 5]);
    EXPECT_EQ(Load(file), 0);
    EXPECT_EQ(files.readCounts, c.requests);
    EXPECT_EQ(RomImage.RomSize, c.size);
    // One percent step per request, and the one that puts the display back at rest.
    EXPECT_EQ(desktop.repaints[ProgressItem::kStatusBar], static_cast<int>(c.requests.size()) + 1);
    EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{notCompatible});
    EXPECT_EQ(RomImage.ImageBcpSysFound, 0u);
    ExpectRefusedAtRest();
  }
}

TEST_F(RomImageTest, ABcpSysBlockCutOffByTheEndOfTheFileIsRefused) {
  // A signature with fewer than 128 bytes after it cannot carry the fields the rules read.
  Bytes cut(4096, 0);
  std::memcpy(cut.data() + 4096 - 127, "BCPSYS", 6);
  EXPECT_EQ(Load(cut), 0);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{notCompatible});
  ExpectRefusedAtRest();

  // Exactly 128 bytes is a whole block; it goes on to the rules.
  std::memcpy(cut.data() + 4096 - 128, "BCPSYS", 6);
  desktop.messages.clear();
  EXPECT_EQ(Load(cut), 0);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, " The bios you loaded is not for this platform!!");

  // A whole block earlier in the image does not stand in for a cut-off one after it.
  Bytes image = Build(sim::RomSpec{});
  std::memcpy(image.data() + image.size() - 60, "BCPSYS", 6);
  desktop.messages.clear();
  EXPECT_EQ(Load(image), 0);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{notCompatible});
}

TEST_F(RomImageTest, EachFileFailureIsToldOnceAndLeavesNothingEnabled) {
  const Bytes image = Build(sim::RomSpec{});  // 512 KiB: 128 pieces
  const std::string path = Write(image);
  struct Case {
    const char* text;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"File open Error!!", [&] { files.failOpen.insert(path); }},
      {"File get size Error!!", [&] { files.failSize = true; }},
      {"File read Error!!", [&] { files.failReadOnCall = files.reads + 7; }},
      {"File read Error ( read back size error)!!",
       [&] { files.shortReadOnCall = files.reads + 128; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    // Each failure follows an accepted load, whose flags it must take back.
    ASSERT_EQ(LoadRomFile(&owner_, path.c_str()), 1);
    desktop.messages.clear();
    c.arrange();
    EXPECT_EQ(LoadRomFile(&owner_, path.c_str()), 0);
    files.failOpen.clear();
    files.failSize = false;
    files.failReadOnCall = 0;
    files.shortReadOnCall = 0;
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (MessageRecord{c.text, "Quorrelite", 0}));
    EXPECT_EQ(desktop.messages[0].owner, &owner_);
    ExpectRefusedAtRest();
  }
}

TEST_F(RomImageTest, NoMemoryForTheImageEndsTheProgram) {
  Bytes image = Build(sim::RomSpec{});
  std::string path = Write(image);
  ASSERT_EQ(LoadRomFile(&owner_, path.c_str()), 1);
  allocator.failAbove = static_cast<uint32_t>(image.size()) - 1;
  std::optional<int> status = ExitStatusOf([&] { LoadRomFile(&owner_, path.c_str()); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0],
            (MessageRecord{"No enough memory for Rom Image!!", "Quorrelite", 0}));
  EXPECT_EQ(desktop.skinReleases, 1);
  EXPECT_EQ(RomImage.Buffer, nullptr);
  EXPECT_TRUE(allocator.live.empty());  // the previous image went back before the new one
}

TEST_F(RomImageTest, ManufacturingModeFlashesWhatTheLineGivesWithoutQuestions) {
  Startup.ManufacturingMode = 1;
  sim::RomSpec other;
  other.platformId = "OTHER";
  other.buildDate = "01/01/01";
  other.sizeKb = 1024;
  EXPECT_EQ(Load(other), 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(RomImage.FlashEnabled, 1u);

  // The block is still required.
  EXPECT_EQ(Load(Bytes(8192, 0)), 0);
  EXPECT_EQ(desktop.Texts(), std::vector<std::string>{notCompatible.text});
}

TEST_F(RomImageTest, AnImageWithoutDmiLoadsAndLeavesThePreviousImagesStrings) {
  ASSERT_EQ(Load(sim::RomSpec{}), 1);
  sim::RomSpec plain;
  plain.withDmi = false;
  plain.dmi[static_cast<int>(DmiStringId::kProduct)] = "OTHER";
  EXPECT_EQ(Load(plain), 1);
  EXPECT_EQ(RomImage.ImageDmiPresent, 0u);
  EXPECT_STREQ(DmiStrings.ImageDmi.Product.Text(), "QS-845");
  EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
}  // namespace ql::testing
