// Loading ROM files through the Load command on the simulated machine: the file's failures, the
// BCPSYS block it must carry, and the rules that judge it against the running BIOS.
#include "rom/rom_image.h"

#include "support/program_fixture.h"

namespace ql::testing {
namespace {

// The running BIOS is of 06/15/05 10:30, 512 KiB, layout 0x0100, platform QRL845GV.
sim::RomSpec Image(const char* date = "06/15/05", const char* time = "10:30",
                   const char* platform = "QRL845GV", uint32_t sizeKb = 512,
                   uint16_t layout = 0x100) {
  return {.sizeKb = sizeKb,
          .platformId = platform,
          .buildDate = date,
          .buildTime = time,
          .layoutWord = layout};
}

class RomLoadTest : public ProgramTest {
 protected:
  RomLoadTest() : ProgramTest(Image()) {}
  void SetUp() override { Run(); }
  // The image is taken: held, and both buttons enabled; or not, and neither is.
  void ExpectTaken(bool taken) {
    EXPECT_EQ(std::tuple(program->image().Loaded(), desktop.enabled[Control::kFlash],
                         desktop.enabled[Control::kBackup]),
              std::tuple(taken, taken, taken));
    EXPECT_EQ(program->progress().Phase(), ProgressPhase::kStatus);
    EXPECT_EQ(files.openHandles, 0);
  }
};

TEST_F(RomLoadTest, EachRuleJudgesTheImageAgainstTheRunningBios) {
  const char *same = "06/15/05", *v = "QRL845GV";
  const uint32_t ask = kMbOkCancel | kMbIconQuestion;
  const MessageRecord older = Box(kMsgNotNewer, kMbIconExclamation),
                      askOlder = Box(kMsgNotNewerQuestion, ask),
                      askSame = Box(kMsgSameDateQuestion, ask), size = Stop(kMsgSizeNotIdentical);
  // The running BIOS's date; the image's date, time, platform, size and layout; the answer to a
  // question; the boxes shown; whether the image is taken.
  using Rule = std::tuple<const char*, const char*, const char*, const char*, uint32_t, uint16_t,
                          int, std::vector<MessageRecord>, bool>;
  const Rule rules[] = {
      {same, "07/01/05", "10:30", "QRL845GX", 512, 0x100, kIdOk, {Stop(kMsgNotForThisPlatform)}, 0},
      // A date box taken is no leave to write an image of another shape over the part.
      {same, "12/31/04", "23:59", v, 512, 0x200, kIdOk, {older, size}, 0},
      {same, "05/30/05", "10:30", v, 512, 0x100, kIdCancel, {askOlder}, 0},
      {same, "06/05/05", "23:00", v, 256, 0x100, kIdOk, {askOlder, size}, 0},
      {same, "06/05/05", "23:00", v, 512, 0x100, kIdOk, {askOlder}, 1},
      {same, "06/15/05", "10:30:59", v, 1024, 0x100, kIdOk, {askSame, size}, 0},
      {same, "06/15/05", "10:30:59", v, 512, 0x100, kIdOk, {askSame}, 1},
      {same, "06/15/05", "10:29", v, 1024, 0x100, kIdOk, {size}, 0},
      {same, "06/15/05", "11:29", v, 512, 0x100, kIdOk, {}, 1},
      {same, "01/01/06", "00:00", v, 512, 0x100, kIdOk, {}, 1},
      {same, "07/01/05", "10:30", v, 512, 0x101, kIdOk, {size}, 0},
      // A running BIOS of year 99 counts as year 00; only its year is moved.
      {"01/01/99", "06/01/00", "00:00", v, 512, 0x100, kIdOk, {}, 1},
      {"12/31/00", "01/01/99", "00:00", v, 512, 0x100, kIdOk, {}, 1},
      {"01/01/01", "12/31/00", "00:00", v, 512, 0x100, kIdOk, {older}, 1},
  };
  for (const auto& [system, date, time, platform, sizeKb, layout, answer, boxes, taken] : rules) {
    SCOPED_TRACE(std::string(system) + " " + date + " " + time + " " + platform);
    program.reset();
    UseMachine({}, BuildImage(Image(system)));
    Run();
    desktop.messages.clear();
    desktop.messageAnswers = {answer};
    int owner = 0;
    desktop.openFileAnswers.push_back(
        folder.Write("new.rom", BuildImage(Image(date, time, platform, sizeKb, layout))));
    program->LoadCommand(&owner);
    EXPECT_EQ(desktop.messages, boxes);
    for (const MessageRecord& box : desktop.messages) EXPECT_EQ(box.owner, &owner);
    ExpectTaken(taken);
  }
}

TEST_F(RomLoadTest, EachFileFailureIsToldOnceAndTakesTheButtonsBack) {
  const Bytes image = BuildImage(Image("07/01/05"));  // 512 KiB: 128 pieces
  Bytes longer = image;
  longer.push_back(0xFF);  // one byte more than its block says
  Bytes cut(4096, 0);
  std::copy_n(kBcpSysSignature, 6, cut.end() - 127);  // 127 bytes from there: no whole block
  const std::tuple<MessageRecord, std::function<void()>, Bytes> cases[] = {
      {Box(kMsgFileOpenError, 0), [&] { files.failOpen.insert(folder.Path("new.rom")); }, image},
      {Box(kMsgFileGetSizeError, 0), [&] { files.failSize = true; }, image},
      {Box(kMsgFileReadError, 0), [&] { files.failReadOnCall = files.reads + 7; }, image},
      {Box(kMsgFileReadBackSizeError, 0), [&] { files.shortReadOnCall = files.reads + 128; },
       image},
      {Stop(kMsgRomNotCompatible), [] {}, cut},
      {Stop(kMsgSizeNotIdentical), [] {}, longer},
  };
  for (const auto& [box, arrange, bytes] : cases) {
    SCOPED_TRACE(box.text);
    Load(image);  // each failure follows an accepted load, whose buttons it must take back
    ExpectTaken(true);
    desktop.messages.clear();
    arrange();
    Load(bytes);
    files.failOpen.clear(), files.failSize = false;  // the read faults strike once
    EXPECT_EQ(desktop.messages, std::vector{box});
    ExpectTaken(false);
  }
  allocator.failAbove = static_cast<uint32_t>(image.size()) - 1;
  EXPECT_EQ(ExitStatusOf([&] { Load(image); }), 1);
  EXPECT_EQ(desktop.messages.back(), Box(kMsgNoMemoryForRomImage, 0));
}

TEST_F(RomLoadTest, AFileIsReadInWholePiecesAndOneRemainderWithThePercentShown) {
  const std::pair<uint32_t, std::vector<uint32_t>> cases[] = {
      {3 * 4096 + 100, {4096, 4096, 4096, 100}}, {4096, {4096}}, {1, {1}}, {0, {}}};
  for (const auto& [size, pieces] : cases) {
    SCOPED_TRACE(size);
    files.readCounts.clear();
    desktop.repaints.clear();
    Load(Bytes(size, 'B'));
    EXPECT_EQ(files.readCounts, pieces);
    // One percent step for each piece read, and the one that puts the display back at rest.
    EXPECT_EQ(desktop.repaints[ProgressItem::kStatusBar], static_cast<int>(pieces.size()) + 1);
    EXPECT_EQ(program->image().Bytes(), size);
    EXPECT_EQ(desktop.messages.back(), Stop(kMsgRomNotCompatible));
  }
}

TEST_F(RomLoadTest, TheFactoryLineIsAskedNothingButNeverFlashesAnImageOfAnotherSize) {
  // Another board's image, older than the running BIOS; the exit status the line reads.
  const std::tuple<const char*, uint32_t, uint16_t, std::vector<MessageRecord>, int> cases[] = {
      {"the size and layout of this part", 512, 0x100, {}, 0},
      {"twice the part", 1024, 0x100, {Stop(kMsgSizeNotIdentical)}, 2},
      {"half the part", 256, 0x100, {Stop(kMsgSizeNotIdentical)}, 2},
      {"another layout", 512, 0x101, {Stop(kMsgSizeNotIdentical)}, 2},
  };
  for (const auto& [name, sizeKb, layout, boxes, status] : cases) {
    SCOPED_TRACE(name);
    UseMachine({}, BuildImage(Image()));
    const Bytes installed = Part();
    const Bytes image = BuildImage(Image("01/01/01", "10:30", "OTHER", sizeKb, layout));
    desktop.messages.clear();
    Run("/M " + folder.Write("other.rom", image));
    const bool loaded = program->FirstPaint(nullptr);
    EXPECT_EQ(loaded, status == 0);
    ExpectTaken(loaded);
    if (loaded) program->FlashCommand(nullptr);
    EXPECT_EQ(desktop.messages, boxes);
    EXPECT_EQ(program->ExitStatus(), status);
    EXPECT_EQ(Part(), loaded ? image : installed);
  }
}

}  // namespace
}  // namespace ql::testing
