#include "rom/rom_image.h"

#include "app/program_message.h"
#include "app/startup.h"
#include "dmi/image_dmi.h"
#include "driver/bios_call.h"
#include "flash/progress.h"
#include "platform/platform.h"

namespace ql {

RomImageState RomImage;

namespace {

// Reads `count` bytes to `at`: 1, or 0 after the message of the failure.
int ReadPiece(WindowHandle owner, FileHandle file, uint8_t* at, uint32_t count) {
  uint32_t done = 0;
  if (!TheFiles().Read(file, at, count, &done)) {
    ProgramMessage(owner, kMsgFileReadError, kMbOk);
    return 0;
  }
  if (done < count) {
    ProgramMessage(owner, kMsgFileReadBackSizeError, kMbOk);
    return 0;
  }
  return 1;
}

int ReadWholeFile(WindowHandle owner, FileHandle file, uint32_t size) {
  uint32_t pieces = size / kRomReadPiece;
  uint32_t remainder = size % kRomReadPiece;
  for (uint32_t piece = 0; piece < pieces; ++piece) {
    if (!ReadPiece(owner, file, RomImage.Buffer + piece * kRomReadPiece, kRomReadPiece)) return 0;
    SetProgressPercent(owner, (piece + 1) * kRomReadPiece, size);
  }
  if (remainder != 0) {
    if (!ReadPiece(owner, file, RomImage.Buffer + pieces * kRomReadPiece, remainder)) return 0;
    SetProgressPercent(owner, size, size);
  }
  return 1;
}

}  // namespace

uint32_t RomImageBytes() {
  if (RomImage.Buffer == nullptr) return 0;
  return RomImage.RomSize < RomImage.BufferSize ? RomImage.RomSize : RomImage.BufferSize;
}

int32_t FindImageBlock(const uint8_t* signature, uint32_t blockLength) {
  uint32_t bytes = RomImageBytes();
  int32_t at = FindSignature(RomImage.Buffer, signature, kSignatureLength, bytes);
  if (at < 0) return -1;
  if (blockLength > bytes - static_cast<uint32_t>(at)) return -1;
  return at;
}

int AllocateRomImage(WindowHandle owner, uint32_t size) {
  HeapFreeIfSet(RomImage.Buffer);
  RomImage.Buffer = nullptr;
  RomImage.BufferSize = 0;
  auto* buffer = static_cast<uint8_t*>(HeapAllocZeroed(size));
  if (buffer == nullptr) {
    ProgramMessage(owner, kMsgNoMemoryForRomImage, kMbOk);
    FatalExit(owner);
  }
  RomImage.Buffer = buffer;
  RomImage.BufferSize = size;
  return 1;
}

int LoadRomFile(WindowHandle owner, const char* path) {
  RomImage.ImageLoaded = 0;
  RomImage.FlashEnabled = 0;
  RomImage.BackupEnabled = 0;

  Files& files = TheFiles();
  FileHandle file = files.Open(path, FileMode::kReadExisting);
  if (file == kInvalidFile) {
    ProgramMessage(owner, kMsgFileOpenError, kMbOk);
    return 0;
  }
  uint32_t size = files.GetSize(file);
  if (size == kInvalidFileSize) {
    ProgramMessage(owner, kMsgFileGetSizeError, kMbOk);
    files.Close(file);
    return 0;
  }
  AllocateRomImage(owner, size);
  RomImage.RomSize = size;

  SetProgressPhase(owner, kPhaseReadFile);
  int read = ReadWholeFile(owner, file, size);
  // The handle is given back on a failed read too: the file was opened unshared, and a handle
  // kept open would lock the user out of the very file they want to fix and load again.
  files.Close(file);
  RestProgress(owner);
  if (!read) return 0;
  RomImage.ImageLoaded = 1;

  int32_t sys = FindImageBlock(kBcpSysSignature, bcpsys::kSize);
  if (sys < 0) {
    RomImage.ImageBcpSysFound = 0;
    ProgramMessage(owner, kMsgRomNotCompatible, kMbIconHand);
    RomImage.ImageLoaded = 0;
    return 0;
  }
  RomImage.ImageBcpSysFound = 1;
  RomImage.ImageBcpSys = ParseBcpSys(RomImage.Buffer + sys);
  RomImage.ImageDmiPresent = FindImageBcpDmi() >= 0 ? 1 : 0;

  // The factory line flashes what it is given: its images are chosen by the line, not by a
  // person who could pick the wrong file.
  if (!Startup.ManufacturingMode && !CheckImageCompatibility(owner)) {
    RomImage.ImageLoaded = 0;
    return 0;
  }
  if (RomImage.ImageDmiPresent) {
    ReadImageDmiStrings(owner);
    ReadImageUuid(owner);
  }
  RomImage.FlashEnabled = 1;
  RomImage.BackupEnabled = 1;
  RomImage.LoadedImageSize = size;
  return 1;
}

}  // namespace ql
