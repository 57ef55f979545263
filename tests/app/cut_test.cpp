// A flash cut short at any BIOS call (a power cut, a crash, a killed program) is found at the next
// start and finished by running the same job once more, rewriting only what differs.
#include <algorithm>

#include "app/flash_journal.h"
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

TEST_F(CutTest, EveryCutOfEveryJobIsFoundAndFinishedByOneMoreRun) {
  sim::SimProfile atOnce;
  atOnce.explicitBlocks = true;
  atOnce.blocks = {{kBlock, 0, 0, true, 4}, {kPart - kBlock, kBlock, 0, true, 0}};
  const std::tuple<const char*, Job, sim::SimProfile> jobs[] = {
      {"flash", Job::kFlash, {}},
      {"factory flash", Job::kFactory, {}},
      {"an at-once block", Job::kFlash, atOnce},
      {"DMI only", Job::kDmiOnly, {}},
  };
  uint32_t cuts = 0;
  for (const auto& [name, job, base] : jobs) {
    const Bytes& target = job == Job::kDmiOnly ? typed_ : newer_;
    sim::SimProfile profile = base;
    for (profile.cutAtCall = 1;; ++profile.cutAtCall) {
      SCOPED_TRACE(::testing::Message() << name << ", cut at call " << profile.cutAtCall);
      ForgetJournals();
      if (RunJob(job, profile, installed_) != sim::SimMachine::kPowerCutStatus) break;
      ++cuts;
      const Bytes left = Part();
      sim::SimProfile again = base;
      const std::optional<int> ended = RunJob(job, again, left);
      EXPECT_TRUE(!ended || ended == 0) << *ended;
      ASSERT_TRUE(Part() == target) << BlocksApart(Part(), target) << " blocks not as meant";
      EXPECT_LE(sim->Bios().Tally().erases, BlocksApart(left, target));
      if (left == installed_) continue;
      // A cut that changed the part was recorded before the change, and the next start says so.
      const bool told =
          std::count(desktop.messages.begin(), desktop.messages.end(),
                     Box(kMsgLastFlashCutShort, kMbIconExclamation)) == 1 ||
          TempFolder::ReadText(ProgramFile("Logfile")).find(kLogLastFlashCutShort) !=
              std::string::npos;
      EXPECT_TRUE(told);
    }
  }
  RecordProperty("cut_points", static_cast<int>(cuts));
  std::printf("cut points: %u\n", cuts);
}

}  // namespace
}  // namespace ql::testing
