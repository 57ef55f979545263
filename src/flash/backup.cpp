#include "flash/backup.h"

#include <cstdio>
#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/driver_requests.h"
#include "flash/block_walk.h"
#include "flash/progress.h"
#include "platform/platform.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"

namespace ql {

BackupState Backup;

namespace {

constexpr uint8_t kErasedByte = 0xFF;

bool FileExists(const char* name) {
  Files& files = TheFiles();
  FileHandle file = files.Open(name, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  files.Close(file);
  return true;
}

// 1 with a name in Backup.FileName; 0 when the user chose to skip the backup. The dialog
// proposes "bios.bak" first; after a refused overwrite it opens again on the name just chosen.
int ChooseBackupFile(WindowHandle owner) {
  std::snprintf(Backup.FileName, sizeof Backup.FileName, "%s", kBackupDefaultName);
  for (;;) {
    if (AskBackupFileName(owner) == 0) {
      if (ProgramMessage(owner, kMsgSkipBackupQuestion, kMbOkCancel | kMbIconExclamation) == kIdOk)
        return 0;
      continue;
    }
    if (!FileExists(Backup.FileName)) return 1;
    if (ProgramMessage(owner, kMsgOverwriteQuestion, kMbOkCancel | kMbIconExclamation) != kIdCancel)
      return 1;
  }
}

// The blocks a backup reads all lie inside the buffer.
int BlocksFit(uint32_t size) {
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    if (BlockIsFlashed(block.Attrib) == 1 && BlockInside(block, size) == 0) return 0;
  }
  return 1;
}

// Reads every backed-up block into the buffer; 1 when no piece stayed unread.
int ReadBlocks(WindowHandle owner, uint8_t* buffer) {
  uint32_t total = 0;
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    if (BlockIsFlashed(block.Attrib) == 1) total += block.BlockSize;
  }
  uint32_t done = 0;
  uint32_t unread = 0;
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    SetProgressPhase(owner, kPhaseBackup);
    SetProgressPercent(owner, done, total);
    if (BlockIsFlashed(block.Attrib) == 0) continue;
    unread += ReadFlashBlock(block, buffer);
    done += block.BlockSize;
  }
  return unread == 0 ? 1 : 0;
}

// 1 when the whole buffer went into the file.
int WriteBackupFile(WindowHandle owner, FileHandle file, const uint8_t* buffer, uint32_t size) {
  Files& files = TheFiles();
  for (uint32_t k = 0; k < PieceCount(size); ++k) {
    Piece piece = PieceOf(size, k);
    SetProgressPhase(owner, kPhaseBackup);
    SetProgressPercent(owner, piece.offset, size);
    uint32_t written = 0;
    if (!files.Write(file, buffer + piece.offset, piece.count, &written) ||
        written != piece.count) {
      return 0;
    }
  }
  return 1;
}

// Reads the BIOS and writes the file; the buffer is the caller's.
int MakeBackup(WindowHandle owner, uint8_t* buffer, uint32_t size) {
  std::memset(buffer, kErasedByte, size);
  ConnectBios(owner);
  if (BlocksFit(size) == 0) {
    DisconnectBios(owner);
    ProgramMessage(owner, kMsgBackupBlocksBeyondRom, kMbIconHand);
    return 0;
  }
  int whole = ReadBlocks(owner, buffer);
  DisconnectBios(owner);
  if (whole == 0) {
    RestProgress(owner);
    ProgramMessage(owner, kMsgBackupReadFailed, kMbIconHand);
    return 0;
  }

  Files& files = TheFiles();
  FileHandle file = files.Open(Backup.FileName, FileMode::kCreateAlways);
  if (file == kInvalidFile) {
    RestProgress(owner);
    ProgramMessage(owner, kMsgFileCreateError, kMbOk);
    return 0;
  }
  int written = WriteBackupFile(owner, file, buffer, size);
  files.Close(file);
  RestProgress(owner);
  if (written == 0) {
    // A short file under the backup's name would look like a good backup to whoever restores
    // it later.
    files.Remove(Backup.FileName);
    ProgramMessage(owner, kMsgFileWriteFailed, kMbOk);
    return 0;
  }
  return 1;
}

}  // namespace

int AskBackupFileName(WindowHandle owner) {
  FileDialogRequest request;
  request.owner = owner;
  request.title = kBackupDialogTitle;
  request.filter = kBackupFilter;
  request.fileName = Backup.FileName;
  request.fileNameSize = kBackupFileNameSize;
  request.initialDirectory = Startup.CurrentDirectory;
  return TheDesktop().ChooseSaveFile(request);
}

int BackupBios(WindowHandle owner) {
  if (ChooseBackupFile(owner) == 0) return 0;
  if (RomImage.ImageLoaded == 0) RomImage.RomSize = SystemBcpSys.Block.RomSizeKb * 1024u;
  uint32_t size = RomImage.RomSize;
  auto* buffer = size == 0 ? nullptr : static_cast<uint8_t*>(HeapAllocZeroed(size));
  if (buffer == nullptr) {
    // A backup that silently does nothing would let the flash job go on as if it had one.
    ProgramMessage(owner, kMsgBackupNoMemory, kMbIconHand);
    return 0;
  }
  int result = MakeBackup(owner, buffer, size);
  HeapFreeIfSet(buffer);
  return result;
}

}  // namespace ql
