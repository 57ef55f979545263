#include "app/manufacturing_log.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/seam_fixture.h"
#include "support/temp_folder.h"

namespace ql::testing {
namespace {

const std::string kHeaderBlock = "\r\n ======   Quorrelite Logfile   ==========\r\n";

class ManufacturingLogTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    StartRun(/*manufacturing=*/1);
  }
  // A fresh process in the same program folder.
  void StartRun(uint32_t manufacturing) {
    ResetProcessState();
    std::strcpy(Startup.ProgramDirectory, program_.c_str());
    Startup.ManufacturingMode = manufacturing;
  }
  std::string Log() const { return TempFolder::ReadText(path_); }

  TempFolder temp_;
  const std::string program_ = temp_.Path("prog");
  const std::string path_ = program_ + "\\Logfile";
};

TEST_F(ManufacturingLogTest, ALogThatCannotBeReadJustNowIsNeverEmptied) {
  std::ofstream(path_, std::ios::binary) << "earlier run\r\n";
  files.failReadOpen.insert(path_);
  OpenManufacturingLog(nullptr);
  EXPECT_EQ(Log(), "earlier run\r\n");
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0],
            (MessageRecord{"Can not create manufacture log file!!", "Quorrelite", 0x30}));
}

TEST_F(ManufacturingLogTest, EachRunAppendsItsHeaderAfterAnEmptyLineAndNothingIsLost) {
  std::ofstream(path_, std::ios::binary) << "earlier line\r\n";
  OpenManufacturingLog(nullptr);
  EXPECT_EQ(AppendLogLine("Starting to flash!!"), 1);
  EXPECT_EQ(AppendLogLine("Flash finished!!"), 1);

  StartRun(1);
  OpenManufacturingLog(nullptr);
  EXPECT_EQ(AppendLogLine("Starting to flash!!"), 1);

  EXPECT_EQ(Log(), "earlier line\r\n" + kHeaderBlock +
                       "Starting to flash!!\r\nFlash finished!!\r\n" + kHeaderBlock +
                       "Starting to flash!!\r\n");
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(files.openHandles, 0);
}

TEST_F(ManufacturingLogTest, AMissingLogIsCreated) {
  OpenManufacturingLog(nullptr);
  EXPECT_EQ(ManufacturingLog.LogReady, 1u);
  EXPECT_EQ(Log(), kHeaderBlock);
}

TEST_F(ManufacturingLogTest, ANormalRunNeverTouchesTheLog) {
  StartRun(0);
  EXPECT_EQ(AppendLogLine("Rom file loaded!!"), 1);
  EXPECT_TRUE(files.opened.empty());
  EXPECT_FALSE(std::filesystem::exists(path_));

  // The mode ended at the first paint: the header stays, entries stop.
  StartRun(1);
  OpenManufacturingLog(nullptr);
  Startup.ManufacturingMode = 0;
  EXPECT_EQ(AppendLogLine("Starting to flash!!"), 1);
  EXPECT_EQ(Log(), kHeaderBlock);
}

TEST_F(ManufacturingLogTest, ALogThatCannotBeMadeIsToldOnceAndTheRunGoesOn) {
  files.failOpen.insert(path_);
  int owner = 0;
  OpenManufacturingLog(&owner);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0],
            (MessageRecord{"Can not create manufacture log file!!", "Quorrelite", 0x30}));
  EXPECT_EQ(desktop.messages[0].owner, &owner);
  EXPECT_EQ(ManufacturingLog.LogReady, 0u);
  files.opened.clear();
  EXPECT_EQ(AppendLogLine("Starting to flash!!"), 1);
  EXPECT_TRUE(files.opened.empty());
}

TEST_F(ManufacturingLogTest, AFailedEntryIsReportedAndNeverWritesOverEarlierLines) {
  OpenManufacturingLog(nullptr);
  files.failWriteOnCall = files.writes + 1;
  EXPECT_EQ(AppendLogLine("Starting to flash!!"), 0);
  EXPECT_EQ(Log(), kHeaderBlock);

  // A file that cannot be positioned at its end is left alone rather than written at its start.
  files.failSeek = true;
  EXPECT_EQ(AppendLogLine("Flash finished!!"), 0);
  EXPECT_EQ(Log(), kHeaderBlock);
  EXPECT_EQ(files.openHandles, 0);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ManufacturingLogTest, LineBreaksAreOnePairPerWrite) {
  OpenManufacturingLog(nullptr);
  FileHandle f = files.Open(path_.c_str(), FileMode::kAppendExisting);
  ASSERT_NE(f, kInvalidFile);
  ASSERT_TRUE(files.SeekToEnd(f));
  files.writeCounts.clear();
  EXPECT_EQ(WriteLineBreaks(f, 0), 1);
  EXPECT_EQ(WriteLineBreaks(f, -3), 1);
  EXPECT_TRUE(files.writeCounts.empty());
  EXPECT_EQ(WriteLineBreaks(f, 3), 1);
  EXPECT_EQ(files.writeCounts, (std::vector<uint32_t>{2, 2, 2}));
  files.Close(f);
  EXPECT_EQ(Log(), kHeaderBlock + "\r\n\r\n\r\n");
}

TEST_F(ManufacturingLogTest, TheMessageTableAnswersAsItsRecordsSay) {
  // The confirmation before a flash is suppressed in every mode.
  StartRun(0);
  EXPECT_EQ(ShowMessageById(MSG_CLOSE_OTHER_APPS, nullptr), 1);
  EXPECT_TRUE(desktop.messages.empty());

  desktop.messageAnswers = {kIdOk, kIdCancel};
  EXPECT_EQ(ShowMessageById(0x1001, nullptr), kIdOk);
  EXPECT_EQ(ShowMessageById(0x1001, nullptr), kIdCancel);
  EXPECT_EQ(ShowMessageById(0x1002, nullptr), kIdOk);
  EXPECT_EQ(ShowMessageById(0x1003, nullptr), kIdOk);
  int owner = 0;
  EXPECT_EQ(ShowMessageById(0x1004, &owner), 2);
  ASSERT_EQ(desktop.messages.size(), 5u);
  const MessageRecord updating{"Updating DMI strings only!!", "Quorrelite", 0x31};
  EXPECT_EQ(desktop.messages[0], updating);
  EXPECT_EQ(desktop.messages[1], updating);
  EXPECT_EQ(desktop.messages[2],
            (MessageRecord{"Can not allocate memory for flash DMI only!!", "Quorrelite", 0x10}));
  EXPECT_EQ(desktop.messages[3],
            (MessageRecord{"Can not find BCPSYS in copied 4G ROM!!", "Quorrelite", 0x10}));
  EXPECT_EQ(desktop.messages[4], (MessageRecord{"Can not find this STR ID !!", " Quorrelite", 0}));
  EXPECT_EQ(desktop.messages[4].owner, &owner);
}

}  // namespace
}  // namespace ql::testing
