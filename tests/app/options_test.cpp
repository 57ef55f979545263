#include "app/options.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/seam_fixture.h"
#include "support/temp_folder.h"

namespace ql::testing {
namespace {

// The program names its files with a backslash after its folder, so on POSIX the settings file
// is "<folder>\brimlet.ini" beside the folder, inside the test's temporary folder.
class OptionsTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    std::strcpy(Startup.ProgramDirectory, temp_.Path("prog").c_str());
    std::strcpy(Startup.CurrentDirectory, "C:\\Work");
  }
  void WriteSettings(const Bytes& b) { TempFolder::WriteFile(path_, b); }
  Bytes Settings() const { return TempFolder::ReadFile(path_); }
  Bytes Memory() const {
    return Bytes{static_cast<uint8_t>(Options.AutoBackup), static_cast<uint8_t>(Options.AutoVerify),
                 static_cast<uint8_t>(Options.AutoBlankCheck),
                 static_cast<uint8_t>(Options.ReservedOption)};
  }
  // Options that no failure path could leave behind, to see the defaults restored.
  void Scramble() {
    Options.AutoBackup = Options.AutoVerify = Options.AutoBlankCheck = Options.ReservedOption = 7;
  }

  TempFolder temp_;
  const std::string path_ = temp_.Path("prog") + "\\brimlet.ini";
};

TEST_F(OptionsTest, FirstRunCreatesTheDefaultsSilently) {
  LoadOptions(nullptr);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(Settings(), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(Memory(), (Bytes{1, 1, 1, 1}));
  EXPECT_STREQ(Options.SettingsPath, path_.c_str());
  EXPECT_EQ(files.openHandles, 0);
}

TEST_F(OptionsTest, StoredBytesBecomeTheOptionsAsTheyStand) {
  struct Case {
    Bytes stored;
    Bytes options;
  };
  const Case cases[] = {
      {{0, 1, 0, 1}, {0, 1, 0, 1}},
      {{}, {0, 0, 0, 0}},  // an empty file: the untouched transfer
                           // bytes, and no message
      {{2, 1, 1, 1}, {2, 1, 1, 1}},
      {{1, 0}, {1, 0, 0, 0}},
      {{0, 0, 0, 0, 9, 9}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.stored));
    Options = OptionsState{};
    desktop.messages.clear();
    WriteSettings(c.stored);
    LoadOptions(nullptr);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(Memory(), c.options);
    EXPECT_EQ(Settings(), c.stored);  // reading never rewrites the file
  }
}

TEST_F(OptionsTest, AStoredTwoIsOffForTheDialogAsForTheFlash) {
  WriteSettings({2, 1, 0, 1});
  LoadOptions(nullptr);
  OptionChecks shown = OptionDialogChecks();
  EXPECT_EQ(shown.AutoBackup, 0u);
  EXPECT_EQ(shown.AutoVerify, 1u);
  EXPECT_EQ(shown.AutoBlankCheck, 0u);
}

TEST_F(OptionsTest, EveryFailureShowsItsMessageAndFallsBackToTheDefaults) {
  const MessageRecord readMsg{
      "Can not read from brimlet.ini!!\nQuorrelite will use default option setting!!", "Quorrelite",
      0x30};
  const MessageRecord writeMsg{
      "Can not write to  brimlet.ini!!\nQuorrelite will use default option setting!!", "Quorrelite",
      0x30};

  // The file is there but its read fails.
  WriteSettings({0, 0, 0, 0});
  files.failReadOnCall = 1;
  Scramble();
  int owner = 0;
  LoadOptions(&owner);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0], readMsg);
  EXPECT_EQ(desktop.messages[0].owner, &owner);
  EXPECT_EQ(Memory(), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(Settings(), (Bytes{0, 0, 0, 0}));

  // Created, but writing the defaults fails; the empty file then reads back what was meant.
  std::filesystem::remove(path_);
  files.failReadOnCall = 0;
  files.failWriteOnCall = files.writes + 1;
  desktop.messages.clear();
  Scramble();
  LoadOptions(nullptr);
  EXPECT_EQ(desktop.Texts(), std::vector<std::string>{writeMsg.text});
  EXPECT_EQ(desktop.messages[0], writeMsg);
  EXPECT_EQ(Memory(), (Bytes{1, 1, 1, 1}));

  // Written, but reading them back fails.
  std::filesystem::remove(path_);
  files.failWriteOnCall = 0;
  files.failReadOnCall = files.reads + 1;
  desktop.messages.clear();
  Scramble();
  LoadOptions(nullptr);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0], readMsg);
  EXPECT_EQ(Memory(), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(files.openHandles, 0);
}

TEST_F(OptionsTest, AFolderThatRefusesTheFileShowsItsFullName) {
  files.failOpen.insert(path_);
  Scramble();
  LoadOptions(nullptr);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[0],
            (MessageRecord{"Can not create brimlet.ini!!\nQuorrelite will use default option "
                           "setting!!",
                           "Quorrelite", 0x30}));
  EXPECT_EQ(desktop.messages[1], (MessageRecord{path_, "Quorrelite", 0}));
  EXPECT_EQ(Memory(), (Bytes{1, 1, 1, 1}));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(OptionsTest, ADriveRootLosesItsBackslashOtherFoldersStay) {
  std::strcpy(Startup.CurrentDirectory, "D:\\");
  LoadOptions(nullptr);
  EXPECT_STREQ(Startup.CurrentDirectory, "D:");
  std::strcpy(Startup.CurrentDirectory, "C:\\Work");
  LoadOptions(nullptr);
  EXPECT_STREQ(Startup.CurrentDirectory, "C:\\Work");
}

TEST_F(OptionsTest, DialogOkWritesAllFourOptionsAsTicked) {
  LoadOptions(nullptr);
  OptionChecks ticks = OptionDialogChecks();
  EXPECT_EQ(ticks.AutoBackup + ticks.AutoVerify + ticks.AutoBlankCheck, 3u);
  ticks.AutoVerify = 0;
  EXPECT_EQ(ConfirmOptionDialog(ticks), 1);
  EXPECT_EQ(Settings(), (Bytes{1, 0, 1, 1}));

  // Manufacturing mode's overrides live in memory only; OK writes what the boxes show.
  Options.AutoBackup = 0;
  Options.ReservedOption = 1;
  ticks = OptionDialogChecks();
  EXPECT_EQ(ticks.AutoBackup, 0u);
  EXPECT_EQ(ConfirmOptionDialog(ticks), 1);
  EXPECT_EQ(Settings(), (Bytes{0, 0, 1, 1}));
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(OptionsTest, AFailedSaveFromTheDialogIsSilentAndKeepsTheTicks) {
  LoadOptions(nullptr);
  files.failOpen.insert(path_);
  EXPECT_EQ(ConfirmOptionDialog(OptionChecks{0, 0, 0}), 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(Memory(), (Bytes{0, 0, 0, 1}));
  EXPECT_EQ(Settings(), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(SaveOptions(), 0);
  EXPECT_EQ(ReadOptions(), 0);
}

}  // namespace
}  // namespace ql::testing
