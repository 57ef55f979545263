#include "flash/backup.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "flash/block_walk.h"

namespace ql {

namespace {

constexpr uint8_t kErasedByte = 0xFF;

// One backup: the file it writes and what it works through.
class Backup {
 public:
  Backup(FlashServices& flash, Files& files, WindowHandle owner, uint32_t romSize)
      : flash_(flash), files_(files), owner_(owner), romSize_(romSize) {}

  // True with a name in fileName_; false when the user chose to skip the backup. The dialog
  // proposes "bios.bak" first; after a refused overwrite it opens again on the name just chosen.
  bool ChooseFile(const char* initialDirectory) {
    std::snprintf(fileName_, sizeof fileName_, "%s", kBackupDefaultName);
    for (;;) {
      if (!flash_.desktop.ChooseSaveFile(FileDialog(owner_, kBackupDialogTitle, kBackupFilter,
                                                    fileName_, kBackupFileNameSize,
                                                    initialDirectory))) {
        if (Ask(kMsgSkipBackupQuestion) == kIdOk) return false;
        continue;
      }
      if (!FileExists(files_, fileName_)) return true;
      if (Ask(kMsgOverwriteQuestion) != kIdCancel) return true;
    }
  }

  // Reads the BIOS into `buffer` (romSize_ bytes) and writes the file.
  Outcome Make(uint8_t* buffer) {
    std::memset(buffer, kErasedByte, romSize_);
    Outcome opened = OpenFlashSession(flash_, owner_, romSize_);
    if (opened != Outcome::kDone) return opened;
    // A file of erased bytes would pass for a backup, and could replace a good one: a table
    // without a block the backup reads is no table.
    const std::vector<TreatedBlock> treated = TreatedBlocks(flash_.part.Blocks());
    if (treated.empty()) return Refuse(kMsgBackupNoFlashBlocks);
    if (flash_.part.PartCode() == 0) return Refuse(kMsgBackupNoPartCode);
    for (const TreatedBlock& t : treated) {
      if (!BlockInside(t.block, romSize_)) return Refuse(kMsgBackupBlocksBeyondRom);
    }
    if (!ReadBlocks(treated, buffer)) return Refuse(kMsgBackupReadFailed);
    if (flash_.session.Disconnect(owner_) == Outcome::kFatal) return Outcome::kFatal;

    // The earlier backup the user chose to overwrite may be the only copy of a BIOS that boots:
    // it goes only when a whole new one takes its place. A short file under the backup's name
    // would look like a good backup to whoever restores it later.
    const WholeFileWrite written =
        WriteWholeFile(files_, fileName_, [&](FileHandle file) { return WriteFile(file, buffer); });
    flash_.progress.Rest();
    switch (written) {
      case WholeFileWrite::kWritten:
        return Outcome::kDone;
      case WholeFileWrite::kNotCreated:
        ProgramMessage(flash_.desktop, owner_, kMsgFileCreateError, kMbOk);
        return Outcome::kFailed;
      case WholeFileWrite::kNotWritten:
        ProgramMessage(flash_.desktop, owner_, kMsgFileWriteFailed, kMbOk);
        return Outcome::kFailed;
    }
    return Outcome::kFailed;
  }

 private:
  // Closes the session and tells why nothing was written; the file is not touched.
  Outcome Refuse(const char* text) { return StopJob(flash_, owner_, {text}); }

  int Ask(const char* question) {
    return ProgramMessage(flash_.desktop, owner_, question, kMbOkCancel | kMbIconExclamation);
  }

  // True when no piece of a treated block stayed unread.
  bool ReadBlocks(const std::vector<TreatedBlock>& treated, uint8_t* buffer) {
    uint32_t total = 0;
    for (const TreatedBlock& t : treated) total += t.block.BlockSize;
    uint32_t done = 0;
    uint32_t unread = 0;
    for (const TreatedBlock& t : treated) {
      flash_.progress.SetPhase(ProgressPhase::kBackup);
      flash_.progress.SetPercent(done, total);
      unread += ReadFlashBlock(flash_.caller, t.block, buffer);
      done += t.block.BlockSize;
    }
    return unread == 0;
  }

  // True when the whole buffer went into the file.
  bool WriteFile(FileHandle file, const uint8_t* buffer) {
    for (uint32_t k = 0; k < PieceCount(romSize_); ++k) {
      Piece piece = PieceOf(romSize_, k);
      flash_.progress.SetPhase(ProgressPhase::kBackup);
      flash_.progress.SetPercent(piece.offset, romSize_);
      uint32_t written = 0;
      if (!files_.Write(file, buffer + piece.offset, piece.count, &written) ||
          written != piece.count) {
        return false;
      }
    }
    return true;
  }

  FlashServices& flash_;
  Files& files_;
  WindowHandle owner_;
  uint32_t romSize_;
  char fileName_[kBackupFileNameSize] = {};
};

}  // namespace

Outcome BackupBios(FlashServices& flash, Files& files, WindowHandle owner, uint32_t romSize,
                   const char* initialDirectory) {
  Backup backup(flash, files, owner, romSize);
  if (!backup.ChooseFile(initialDirectory)) return Outcome::kFailed;
  HeapBuffer buffer;
  if (romSize != 0) buffer = HeapBuffer::Allocate(flash.allocator, romSize);
  if (buffer.empty()) {
    // A backup that silently does nothing would let the flash job go on as if it had one.
    ProgramMessage(flash.desktop, owner, kMsgBackupNoMemory, kMbIconHand);
    return Outcome::kFailed;
  }
  return backup.Make(buffer.data());
}

}  // namespace ql
