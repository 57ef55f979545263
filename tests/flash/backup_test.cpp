// The backup on the simulated machine: the save dialog's loop, the file it writes, and the
// backups that must not leave a file looking like a good one.
#include <cstring>
#include <filesystem>

#include "app/startup.h"
#include "bios/flash_part.h"
#include "flash/backup.h"
#include "flash/flash_scenario.h"

namespace ql::testing {
namespace {

class BackupTest : public FlashScenario {
 protected:
  void SetUp() override {
    FlashScenario::SetUp();
    Start();
  }
  int Backup() { return BackupBios(nullptr); }
};

TEST_F(BackupTest, TheInstalledBiosIsWrittenWholeInPiecesOfFourKilobytes) {
  std::strcpy(Startup.CurrentDirectory, temp_.Path().c_str());
  desktop.saveFileAnswers = {temp_.Path("bios.bak")};
  EXPECT_EQ(Backup(), 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(TempFolder::ReadFile(temp_.Path("bios.bak")), installed_);
  EXPECT_EQ(files.writeCounts, std::vector<uint32_t>(128, 4096));
  EXPECT_FALSE(sim_->Bios().SessionOpen());
  EXPECT_EQ(RomImage.RomSize, kPart);

  ASSERT_EQ(desktop.saveFileRequests.size(), 1u);
  const FileDialogRequest& r = desktop.saveFileRequests[0];
  EXPECT_STREQ(r.title, "Write Rom Backup File");
  EXPECT_EQ(std::string(r.filter, sizeof kBackupFilter),
            std::string("Rom Backup File (*.bak)\0*.bak\0All types (*.*)\0*.*\0", 51));
  EXPECT_EQ(r.fileNameSize, 200u);
  EXPECT_STREQ(r.initialDirectory, temp_.Path().c_str());
  EXPECT_EQ(desktop.proposedSaveNames, std::vector<std::string>{"bios.bak"});
}

TEST_F(BackupTest, TheDialogOpensAgainUntilANameIsTakenOrTheBackupSkipped) {
  const std::string existing = temp_.Write("old.bak", {1, 2, 3});
  const MessageRecord skip{"Do you want to skip backup original BIOS image!!", "Quorrelite",
                           kMbOkCancel | kMbIconExclamation};
  const MessageRecord overwrite{"The file you specified was existed!!\nDo you want to overwrite??",
                                "Quorrelite", kMbOkCancel | kMbIconExclamation};
  // Cancelled, not skipped; an existing file, not overwritten; the same file, overwritten.
  desktop.saveFileAnswers = {std::nullopt, existing, existing};
  desktop.messageAnswers = {kIdCancel, kIdCancel, kIdOk};
  EXPECT_EQ(Backup(), 1);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{skip, overwrite, overwrite}));
  EXPECT_EQ(desktop.proposedSaveNames,
            (std::vector<std::string>{"bios.bak", "bios.bak", existing}));
  EXPECT_EQ(TempFolder::ReadFile(existing), installed_);

  desktop.messages.clear();
  desktop.messageAnswers = {kIdOk};
  EXPECT_EQ(Backup(), 0);
  EXPECT_EQ(desktop.messages, std::vector<MessageRecord>{skip});
}

TEST_F(BackupTest, BlocksAFlashLeavesAloneAreErasedBytesInTheFile) {
  sim::SimProfile profile;
  profile.explicitBlocks = true;
  profile.blocks = {{kBlock, 0, 0, true, 0},
                    {kBlock, kBlock, 0, true, 2},
                    {kPart - 2 * kBlock, 2 * kBlock, 0, true, 4}};
  Fresh(profile);
  desktop.saveFileAnswers = {temp_.Path("holes.bak")};
  EXPECT_EQ(Backup(), 1);
  Bytes expected = installed_;
  std::fill(expected.begin() + kBlock, expected.begin() + 2 * kBlock, 0xFF);
  EXPECT_EQ(TempFolder::ReadFile(temp_.Path("holes.bak")), expected);
}

TEST_F(BackupTest, ABackupThatCannotBeMadeWholeWritesNothing) {
  sim::SimProfile readFails;
  readFails.readFailsAt = {0x20000};
  struct Case {
    const char* name;
    sim::SimProfile profile;
    uint32_t romSize;  // 0: no image loaded
    MessageRecord message;
  };
  const Case cases[] = {
      {"a read that fails", readFails, 0,
       Stop("Can not read the whole BIOS from the flash part!!\n"
            "The backup file was not written!!")},
      {"a loaded image smaller than the flash part",
       {},
       kPart / 2,
       Stop("The flash blocks of the BIOS reach beyond the rom size!!\n"
            "The backup file was not written!!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh(c.profile);
    if (c.romSize != 0) {
      AllocateRomImage(nullptr, c.romSize);
      RomImage.RomSize = RomImage.LoadedImageSize = c.romSize;
      RomImage.ImageLoaded = 1;
    }
    const std::string kept = temp_.Write("kept.bak", {'k', 'e', 'p', 't'});
    desktop.saveFileAnswers = {kept};
    EXPECT_EQ(Backup(), 0);
    EXPECT_EQ(desktop.messages,
              (std::vector<MessageRecord>{
                  {"The file you specified was existed!!\nDo you want to overwrite??", "Quorrelite",
                   kMbOkCancel | kMbIconExclamation},
                  c.message}));
    EXPECT_EQ(TempFolder::ReadFile(kept), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_FALSE(sim_->Bios().SessionOpen());
  }
}

TEST_F(BackupTest, FileFailuresAreToldAndTheBackupFails) {
  desktop.saveFileAnswers = {temp_.Path("a.bak"), temp_.Path("b.bak")};
  files.failOpen = {temp_.Path("a.bak")};
  EXPECT_EQ(Backup(), 0);
  files.failWriteOnCall = files.writes + 3;
  EXPECT_EQ(Backup(), 0);
  EXPECT_EQ(desktop.messages, (std::vector<MessageRecord>{Box("File create Error!!", kMbOk),
                                                          Box("File write failed!!", kMbOk)}));
  EXPECT_EQ(files.openHandles, 0);
  // The file a failed write began is not left behind to pass for a backup.
  EXPECT_FALSE(std::filesystem::exists(temp_.Path("b.bak")));

  // No memory to read the BIOS into: told, and no file is begun.
  desktop.messages.clear();
  desktop.saveFileAnswers = {temp_.Path("c.bak")};
  allocator.failOnCall = allocator.calls + 1;
  EXPECT_EQ(Backup(), 0);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Stop("No enough memory for BIOS backup!!")});
  EXPECT_FALSE(std::filesystem::exists(temp_.Path("c.bak")));
}

}  // namespace
}  // namespace ql::testing
