// A flash cut short at any BIOS call (a power cut, a crash, a killed program) is found at the next
// start and finished by running the same job once more, rewriting only what differs.
#include <algorithm>

#include "app/flash_journal.h"
#include "platform/sha256.h"
#include "platform/testing/memory_files.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

constexpr uint32_t kBlock = 0x10000, kPart = 0x80000, kSegment = kPart - kBlock;

class CutTest : public ProgramTest {
 protected:
  enum class Job { kFlash, kFactory, kDmiOnly };

  // Runs `job` on a machine with `profile` and `part` that booted the installed BIOS; answers
  // the exit status the run ended with, if any.
  std::optional<int> RunJob(Job job, const sim::SimProfile& profile, const Bytes& part) {
    UseMachine(profile, part, sim::BootState{Bytes(installed_.end() - kBlock, installed_.end())});
    desktop = ScriptedDesktop{};
    desktop.shutdownAnswers = {ShutdownBoxEnd::kClosed};
    return ExitStatusOf([&] {
      if (job == Job::kFactory) {
        Run("/M " + imagePath_);
        if (program->FirstPaint(nullptr)) program->FlashCommand(nullptr);
        return;
      }
      Run();
      program->ConfirmOptionDialog({/*AutoBackup=*/false, true, true});
      if (job == Job::kFlash) {
        desktop.openFileAnswers = {imagePath_};
        program->LoadCommand(nullptr);
      } else {
        DmiFieldTexts shown, typed{"Acme Systems Co", "AC-900", "Rev 2.0", "SYS-1234567", ""};
        program->ShowDmiForMode(DmiModeValue::NewStrings, &shown);
        program->ConfirmDmiSettings(typed);
      }
      program->FlashCommand(nullptr);
    });
  }

  static uint32_t BlocksApart(const Bytes& a, const Bytes& b) {
    uint32_t differ = 0;
    for (uint32_t at = 0; at < kPart; at += kBlock)
      differ += !std::equal(a.begin() + at, a.begin() + at + kBlock, b.begin() + at);
    return differ;
  }
  uint32_t CutEverywhere(Job job, const sim::SimProfile& base);
  bool ToldOfTheCut() const {
    return std::count(desktop.messages.begin(), desktop.messages.end(),
                      Box(kMsgLastFlashCutShort, kMbIconExclamation)) == 1 ||
           TempFolder::ReadText(ProgramFile("Logfile")).find(kLogLastFlashCutShort) !=
               std::string::npos;
  }

  const Bytes installed_ = Part();
  const Bytes newer_ = BuildImage({.buildDate = "06/01/06", .fillSeed = 7});
  const Bytes typed_ = [this] {
    Bytes typed = BuildImage({.dmi = {"SN-0000000", "Acme Systems Co", "AC-900", "Rev 2.0",
                                      "SYS-1234567", "CH-0000000"}});
    // Only the strings change: the rest of the segment is the installed BIOS's.
    Bytes target = installed_;
    for (uint32_t n = kSegment; n < kPart; ++n)
      if (typed[n] != installed_[n]) target[n] = typed[n];
    return target;
  }();
  const std::string imagePath_ = folder.Write("new.rom", newer_);
};

// Cuts `job` at every BIOS call it makes and runs it again on the part each cut left: the part
// ends as meant, no block is erased that already held it, and a cut that changed the part is
// told. Answers the number of cut points.
uint32_t CutTest::CutEverywhere(Job job, const sim::SimProfile& base) {
  const Bytes& target = job == Job::kDmiOnly ? typed_ : newer_;
  sim::SimProfile profile = base;
  for (profile.cutAtCall = 1;; ++profile.cutAtCall) {
    SCOPED_TRACE(::testing::Message() << "cut at call " << profile.cutAtCall);
    ForgetJournals();
    if (RunJob(job, profile, installed_) != sim::SimMachine::kPowerCutStatus) break;
    const Bytes left = Part();
    const std::optional<int> ended = RunJob(job, base, left);
    EXPECT_TRUE(!ended || ended == 0) << *ended;
    EXPECT_TRUE(Part() == target) << BlocksApart(Part(), target) << " blocks not as meant";
    EXPECT_LE(sim->Bios().Tally().erases, BlocksApart(left, target));
    EXPECT_TRUE(left == installed_ || ToldOfTheCut());
    if (::testing::Test::HasFailure()) break;
  }
  std::printf("cut points: %u\n", profile.cutAtCall - 1);
  return profile.cutAtCall - 1;
}

TEST_F(CutTest, AWholeImageFlash) {
  EXPECT_GT(CutEverywhere(Job::kFlash, {}), 500u);
}
TEST_F(CutTest, AFactoryFlash) {
  EXPECT_GT(CutEverywhere(Job::kFactory, {}), 500u);
}
TEST_F(CutTest, AFlashWithAnAtOnceBlock) {
  sim::SimProfile atOnce;
  atOnce.explicitBlocks = true;
  atOnce.blocks = {{kBlock, 0, 0, true, 4}, {kPart - kBlock, kBlock, 0, true, 0}};
  EXPECT_GT(CutEverywhere(Job::kFlash, atOnce), 400u);
}
TEST_F(CutTest, ADmiOnlyFlash) {
  EXPECT_GT(CutEverywhere(Job::kDmiOnly, {}), 250u);
}

// The blocks a cut DMI-only flash saved come back at their offsets and table indexes, two-digit
// ones too; a saved file cut short gives none.
TEST(FlashJournalTest, SavedBlocksComeBackWhereTheyWereOnlyWhenWhole) {
  MemoryFiles files;
  const SystemDmiRecord machine;
  const FlashJournal journal(files, "C:\\prog", machine);
  Bytes installed(0x3000);
  for (size_t i = 0; i < installed.size(); ++i)
    installed[i] = static_cast<uint8_t>(i * 7 + i / 256);
  const TreatedBlock treated[] = {{{0x1000, 0x2000, 0xFFFFE000, 0x10}, 12, {}},
                                  {{0x1000, 0, 0xFFFFC000, 0x10}, 3, {}}};
  const TreatedBlock beyond[] = {{treated[0].block, kMaxBlockRecords, {}}};  // in no table
  Bytes copy(0x3000, 0xEE), expected = installed;
  std::fill_n(expected.begin() + 0x1000, 0x1000, 0xEE);
  BlockSelection which{}, marked{};
  marked[3] = marked[12] = true;
  ASSERT_TRUE(journal.Write({&machine, "strings", "none", 0x3000, beyond, installed.data()}));
  EXPECT_FALSE(journal.ReadSaved(copy.data(), 0x3000, &which));
  ASSERT_TRUE(journal.Write({&machine, "strings", "none", 0x3000, treated, installed.data()}));
  ASSERT_TRUE(journal.ReadSaved(copy.data(), 0x3000, &which));
  EXPECT_EQ(journal.Value("image") + " " + journal.Value("image_sha256"), "strings none");
  EXPECT_EQ(copy, expected);
  EXPECT_EQ(which, marked);
  files.files[journal.Path() + ".blocks"].pop_back();
  which = {};
  EXPECT_FALSE(journal.ReadSaved(copy.data(), 0x3000, &which));
  EXPECT_EQ(which, BlockSelection{});
}

// The journal names the image it flashes by this digest: the standard's own examples, the second
// filling a whole padding block of its own.
TEST(Sha256Test, DigestsAreTheStandardOnes) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"}};
  for (const auto& [text, hex] : cases) {
    const Sha256Digest digest = Sha256(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(HexDigits(digest.data(), 32), hex) << text.size();
  }
}

}  // namespace
}  // namespace ql::testing
