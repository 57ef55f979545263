#include "rom/rom_image.h"

#include <algorithm>
#include <utility>

namespace ql {

RomImage::RomImage(Allocator& allocator, Desktop& desktop, Files& files, LoadProgress& progress)
    : allocator_(allocator), desktop_(desktop), files_(files), progress_(progress) {}

int32_t RomImage::FindBlock(const uint8_t* signature, uint32_t blockLength) const {
  return FindWholeBlock(buffer_.data(), Bytes(), signature, blockLength);
}

// Reads `count` bytes to `at`: true, or false after the message of the failure.
bool RomImage::ReadPiece(WindowHandle owner, FileHandle file, uint8_t* at, uint32_t count) {
  uint32_t done = 0;
  if (!files_.Read(file, at, count, &done)) {
    ProgramMessage(desktop_, owner, kMsgFileReadError, kMbOk);
    return false;
  }
  if (done < count) {
    ProgramMessage(desktop_, owner, kMsgFileReadBackSizeError, kMbOk);
    return false;
  }
  return true;
}

void ShowButtons(Desktop& desktop, const ButtonFlags& buttons) {
  desktop.EnableControl(Control::kFlash, buttons.flash);
  desktop.EnableControl(Control::kBackup, buttons.backup);
}

bool RomImage::ReadWholeFile(WindowHandle owner, FileHandle file, uint32_t size) {
  for (uint32_t offset = 0; offset < size; offset += kRomReadPiece) {
    const uint32_t count = std::min(kRomReadPiece, size - offset);
    if (!ReadPiece(owner, file, buffer_.data() + offset, count)) return false;
    progress_.FileRead(offset + count, size);
  }
  return true;
}

Outcome RomImage::Load(WindowHandle owner, const char* path, const BcpSysBlock& system,
                       bool manufacturing) {
  loaded_ = false;
  buttons = ButtonFlags{};

  FileHandle file = files_.Open(path, FileMode::kReadExisting);
  if (file == kInvalidFile) {
    ProgramMessage(desktop_, owner, kMsgFileOpenError, kMbOk);
    return Outcome::kFailed;
  }
  uint32_t size = files_.GetSize(file);
  if (size == kInvalidFileSize) {
    ProgramMessage(desktop_, owner, kMsgFileGetSizeError, kMbOk);
    files_.Close(file);
    return Outcome::kFailed;
  }
  // The old buffer goes before the new one is asked for: two images need not fit side by side.
  buffer_.reset();
  buffer_ = HeapBuffer::Allocate(allocator_, size);
  if (buffer_.empty()) {
    ProgramMessage(desktop_, owner, kMsgNoMemoryForRomImage, kMbOk);
    return Outcome::kFatal;
  }

  progress_.ReadingFile();
  const bool read = ReadWholeFile(owner, file, size);
  // The handle is given back on a failed read too: the file was opened unshared, and a handle kept
  // open would lock the user out of the very file they want to fix and load again.
  files_.Close(file);
  progress_.Rest();
  if (!read) return Outcome::kFailed;
  loaded_ = true;

  int32_t sys = FindBlock(kBcpSysSignature, bcpsys::kSize);
  if (sys < 0) {
    ProgramMessage(desktop_, owner, kMsgRomNotCompatible, kMbIconHand);
    loaded_ = false;
    return Outcome::kFailed;
  }
  imageBcpSys_ = ParseBcpSys(buffer_.data() + sys);
  imageDmiPresent_ = FindBlock(kBcpDmiSignature, bcpdmi::kHeaderSize) >= 0;

  // The factory line's images are chosen by the line, not by a person who could pick the wrong
  // file, and nobody is there to answer a question about their date or platform; but the line can
  // name the image of another board, and that is never written over this part.
  const bool accepted = manufacturing ? CheckImageSize(desktop_, owner, *this, imageBcpSys_, system)
                                      : CheckImageCompatibility(desktop_, owner, *this, system);
  if (!accepted) {
    loaded_ = false;
    return Outcome::kFailed;
  }
  buttons.flash = true;
  buttons.backup = true;
  return Outcome::kDone;
}

void RomImage::Release() {
  buffer_.reset();
  loaded_ = false;
}

}  // namespace ql
