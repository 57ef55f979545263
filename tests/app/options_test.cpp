// The settings file "brimlet.ini" as a run reads, creates and writes it, and the option dialog.
#include "app/options.h"

#include <filesystem>
#include <optional>

#include "support/program_fixture.h"

namespace ql::testing {
namespace {

const MessageRecord kCannotRead =
    Box("Can not read from brimlet.ini!!\nQuorrelite will use default option setting!!", 0x30);
const MessageRecord kCannotCreate =
    Box("Can not create brimlet.ini!!\nQuorrelite will use default option setting!!", 0x30);
const MessageRecord kCannotWrite =
    Box("Can not write to  brimlet.ini!!\nQuorrelite will use default option setting!!", 0x30);

class SettingsTest : public ProgramTest {
 protected:
  void Store(const Bytes& bytes) { TempFolder::WriteFile(path_, bytes); }
  Bytes Stored() const { return TempFolder::ReadFile(path_); }
  std::vector<bool> Ticks() const {
    OptionChecks c = program->OptionDialogChecks();
    return {c.AutoBackup, c.AutoVerify, c.AutoBlankCheck};
  }
  const std::string path_ = ProgramFile("brimlet.ini"), new_ = path_ + ".new";
  WindowHandle const window_ = reinterpret_cast<WindowHandle>(0x450);
};

// The factory line runs every case too: there nothing is told, the defaults are taken all the
// same, and the backup is off for the run. Its log cannot be made, which is not told either.
TEST_F(SettingsTest, TheFileIsReadAsItStandsOrMadeAllOnAndEachTroubleIsToldAndLeavesAllOn) {
  using File = std::optional<Bytes>;  // none, or the file's bytes
  struct Case {
    const char* what;
    bool refuseOpen, failRead, failWrite;
    std::vector<MessageRecord> boxes;
    File before, after;
    std::vector<bool> ticks;  // backup, verify, blank check
    File leftNew = {};        // a new file an interrupted save left beside it
  };
  const std::vector<bool> on{true, true, true};
  const Bytes taken{0, 1, 1, 0}, whole{1, 0, 1, 1}, unswapped{0, 0, 0, 0};
  // clang-format off
  const Case cases[] = {
      {"read", false, false, false, {}, Bytes{0, 1, 0, 1}, Bytes{0, 1, 0, 1}, {false, true, false}},
      {"only a 1 is on", false, false, false, {}, Bytes{2, 1, 1, 1}, Bytes{2, 1, 1, 1}, {false, true, true}},
      // A file cut short would switch the verify and blank check off without a word.
      {"empty", false, false, false, {kCannotRead}, Bytes{}, Bytes{}, on},
      {"short", false, false, false, {kCannotRead}, Bytes{1, 0}, Bytes{1, 0}, on},
      {"one byte short", false, false, false, {kCannotRead}, Bytes{0, 0, 0}, Bytes{0, 0, 0}, on},
      {"long", false, false, false, {}, Bytes{1, 1, 0, 0, 9}, Bytes{1, 1, 0, 0, 9}, {true, true, false}},
      {"missing", false, false, false, {}, {}, Bytes{1, 1, 1, 1}, on},
      {"unreadable", false, true, false, {kCannotRead}, Bytes{0, 0, 2, 0}, Bytes{0, 0, 2, 0}, on},
      {"uncreatable", true, false, false, {kCannotCreate, Box(path_.c_str(), kMbOk)}, {}, {}, on},
      {"unwritable", false, false, true, {kCannotWrite}, {}, {}, on},
      {"written but unreadable", false, true, false, {kCannotRead}, {}, Bytes{1, 1, 1, 1}, on},
      {"cut at the swap", false, false, false, {}, {}, taken, {false, true, true}, taken},
      {"a new file cut short", false, false, false, {}, {}, Bytes{1, 1, 1, 1}, on, Bytes{0, 0}},
      {"beside a whole file", false, false, false, {}, whole, whole, {true, false, true}, unswapped},
  };
  // clang-format on
  for (const bool line : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (line ? " on the factory line" : ""));
      std::filesystem::remove(path_);
      if (c.before) Store(*c.before);
      std::filesystem::remove(new_);
      if (c.leftNew) TempFolder::WriteFile(new_, *c.leftNew);
      files.failOpen.clear();
      if (c.refuseOpen) files.failOpen.insert(new_);
      if (line) files.failOpen.insert(ProgramFile("Logfile"));
      files.failReadOnCall = c.failRead ? files.reads + 1 : 0;
      files.failWriteOnCall = c.failWrite ? files.writes + 1 : 0;
      desktop.messages.clear();
      Run(line ? "/M new.rom" : "", window_);
      EXPECT_EQ(desktop.messages, line ? std::vector<MessageRecord>{} : c.boxes);
      for (const MessageRecord& box : desktop.messages) EXPECT_EQ(box.owner, window_);
      std::vector<bool> ticks = c.ticks;
      if (line) ticks[0] = false;
      EXPECT_EQ(Ticks(), ticks);
      EXPECT_EQ(std::filesystem::exists(path_), c.after.has_value());
      EXPECT_EQ(c.after ? Stored() : Bytes{}, c.after.value_or(Bytes{}));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(ProgramFile("Logfile")));
  EXPECT_EQ(files.openHandles, 0);
}

TEST_F(SettingsTest, TheDialogWritesItsTicksAndCarriesTheFourthByteAsItWasRead) {
  Store({2, 1, 0, 2});
  Run();
  program->ConfirmOptionDialog(OptionChecks{true, false, false});
  EXPECT_EQ(Stored(), (Bytes{1, 0, 0, 2}));

  // A save that fails is silent, keeps the old file whole and leaves no new one; the ticks still
  // steer this run.
  for (int fault = 0; fault < 3; ++fault) {
    SCOPED_TRACE(fault);
    if (fault == 0) files.failOpen.insert(new_);
    files.failWriteOnCall = fault == 1 ? files.writes + 1 : 0;
    files.failReplace = fault == 2;
    program->ConfirmOptionDialog(OptionChecks{false, true, true});
    files.failOpen.clear();
    EXPECT_EQ(Stored(), (Bytes{1, 0, 0, 2}));
    EXPECT_FALSE(std::filesystem::exists(new_));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true}));
  }
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(program->startup().CurrentDirectory, folder.Path()) << "only a drive root is trimmed";

  // A system that replaces in steps deleted the old file and then failed to move the new one in:
  // the new file is the only copy left, so it stays, and the next start takes it.
  files.failReplace = false;
  files.failReplaceAfterDelete = true;
  program->ConfirmOptionDialog(OptionChecks{true, true, false});
  files.failReplaceAfterDelete = false;
  EXPECT_FALSE(std::filesystem::exists(path_));
  ASSERT_TRUE(std::filesystem::exists(new_)) << "both copies of the settings are lost";
  Run();
  EXPECT_EQ(Stored(), (Bytes{1, 1, 0, 2}));
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false}));
  EXPECT_FALSE(std::filesystem::exists(new_));
}

TEST_F(SettingsTest, TheFactoryLineRunsWithoutABackupInMemoryOnly) {
  Store({1, 1, 1, 2});
  StartupState atRoot = Startup("/M new.rom");
  std::snprintf(atRoot.CurrentDirectory, sizeof atRoot.CurrentDirectory, "D:\\");
  EXPECT_STREQ(Run(atRoot).startup().CurrentDirectory, "D:") << "the form the dialogs start in";
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(Stored(), (Bytes{1, 1, 1, 2}));
  program->ConfirmOptionDialog(program->OptionDialogChecks());
  EXPECT_EQ(Stored(), (Bytes{0, 1, 1, 1}));
}

}  // namespace
}  // namespace ql::testing
