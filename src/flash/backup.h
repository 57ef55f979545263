// The backup of the installed BIOS: read block by block through the BIOS's ReadFlash function and
// written as one ROM-sized file with the bytes of every block at its FileOffset, so that a backup
// loads and flashes like any ROM file.
#pragma once

#include <cstdint>

#include "flash/flash_services.h"
#include "platform/files.h"

namespace ql {

inline constexpr const char* kBackupDefaultName = "bios.bak";
inline constexpr uint32_t kBackupFileNameSize = 200;
inline constexpr const char* kBackupDialogTitle = "Write Rom Backup File";
// Pairs of description and pattern, ended by an empty string.
inline constexpr char kBackupFilter[] = "Rom Backup File (*.bak)\0*.bak\0All types (*.*)\0*.*\0";

inline constexpr const char* kMsgSkipBackupQuestion =
    "Do you want to skip backup original BIOS image!!";
inline constexpr const char* kMsgOverwriteQuestion =
    "The file you specified was existed!!\nDo you want to overwrite??";
inline constexpr const char* kMsgFileCreateError = "File create Error!!";
inline constexpr const char* kMsgFileWriteFailed = "File write failed!!";
inline constexpr const char* kMsgBackupNoMemory = "No enough memory for BIOS backup!!";
inline constexpr const char* kMsgBackupReadFailed =
    "Can not read the whole BIOS from the flash part!!\nThe backup file was not written!!";
inline constexpr const char* kMsgBackupNoFlashBlocks =
    "The BIOS did not report its flash blocks!!\nThe backup file was not written!!";
inline constexpr const char* kMsgBackupNoPartCode =
    "The BIOS did not report its flash part!!\nThe backup file was not written!!";
inline constexpr const char* kMsgBackupBlocksBeyondRom =
    "The flash blocks of the BIOS reach beyond the rom size!!\nThe backup file was not written!!";

// Asks for the file (the save dialog opens in `initialDirectory` on "bios.bak"), reads the
// installed BIOS, a ROM of `romSize` bytes, and writes it. kDone when the file holds the whole
// BIOS; kFailed when the backup was skipped or failed (its message shown); kFatal when the session
// could not be opened or closed.
//
// The BIOS is read before the file is created: a backup that cannot read every piece of every
// block it should (a flash part that does not answer) writes nothing, so neither a file that looks
// like a good backup but holds holes nor the loss of the file it was to replace. A session that
// brought no block table or no part code reads nothing at all: it writes no file either. The file
// is written beside the chosen name ("NAME.new") and put in its place only when whole: a file
// that cannot be made, written or moved in leaves an earlier file of that name as it was.
Outcome BackupBios(FlashServices& flash, Files& files, WindowHandle owner, uint32_t romSize,
                   const char* initialDirectory);

}  // namespace ql
