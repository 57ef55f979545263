// The loaded ROM image: the file read into memory, its BCPSYS block, and the rules that decide
// whether it may be flashed on this machine.
#pragma once

#include <cstdint>

#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/outcome.h"
#include "rom/bcp_sys.h"

namespace ql {

inline constexpr uint32_t kRomReadPiece = 4096;

// Loading.
inline constexpr const char* kMsgFileOpenError = "File open Error!!";
inline constexpr const char* kMsgFileGetSizeError = "File get size Error!!";
inline constexpr const char* kMsgNoMemoryForRomImage = "No enough memory for Rom Image!!";
inline constexpr const char* kMsgFileReadError = "File read Error!!";
inline constexpr const char* kMsgFileReadBackSizeError =
    "File read Error ( read back size error)!!";
inline constexpr const char* kMsgRomNotCompatible =
    "The rom file which you read was not conpatible with Vantrel BIOS!!";

// Compatibility rules.
inline constexpr const char* kMsgNotVantrelBios = "The file you read was not Vantrel BIOS!!";
inline constexpr const char* kMsgNotForThisPlatform =
    " The bios you loaded is not for this platform!!";
inline constexpr const char* kMsgNotNewer =
    " The BIOS you loaded is not newer than original BIOS!! ";
inline constexpr const char* kMsgNotNewerQuestion =
    " The BIOS you loaded is not newer than original BIOS!!\nDo you still want to flash ?? ";
inline constexpr const char* kMsgSameDateQuestion =
    " The date of BIOS you loaded is same with the original!!\nDo you still want to flash ?? ";
inline constexpr const char* kMsgSizeNotIdentical =
    "The size of rom file which you read was not identical with original!!";

// A system BIOS stamped with this two-digit year predates year 00 of the images.
inline constexpr int kCenturyYear = 99;

// What a load reports while it reads the file; the progress display answers.
class LoadProgress {
 public:
  virtual ~LoadProgress() = default;
  // The "read file" phase begins.
  virtual void ReadingFile() = 0;
  virtual void FileRead(uint32_t done, uint32_t total) = 0;
  // The display goes back to rest, however the read ended.
  virtual void Rest() = 0;
};

// Whether the main window's Flash and Backup buttons are enabled: after a load they follow its
// result, and the DMI settings change them with the mode.
struct ButtonFlags {
  bool flash = false;
  bool backup = false;
};

// The main window's Flash and Backup buttons follow the flags.
void ShowButtons(Desktop& desktop, const ButtonFlags& buttons);

class RomImage {
 public:
  RomImage(Allocator& allocator, Desktop& desktop, Files& files, LoadProgress& progress);
  RomImage(const RomImage&) = delete;
  RomImage& operator=(const RomImage&) = delete;

  // Loads the file at `path` and judges it against the running BIOS's block `system`. kDone when
  // the image is loaded and accepted; kFailed when it is not (the reason has been shown); kFatal
  // when there was no memory for it ("No enough memory for Rom Image!!" shown). The factory line
  // (`manufacturing`) is asked no question about the platform or the date of what it is given,
  // but its images are held to the size and layout rule like any other. Every load clears the
  // button flags first and sets both on success.
  Outcome Load(WindowHandle owner, const char* path, const BcpSysBlock& system, bool manufacturing);

  bool Loaded() const { return loaded_; }
  // The image's BCPSYS block; meaningful once a load found one.
  const BcpSysBlock& ImageBcpSys() const { return imageBcpSys_; }
  bool ImageDmiPresent() const { return imageDmiPresent_; }

  // The bytes the buffer holds: the last file read whole or in part, accepted or not; 0 without
  // a buffer.
  uint32_t Bytes() const { return buffer_.size(); }
  // The bytes a flash may take from the image: none without an accepted image.
  uint32_t FlashableBytes() const { return loaded_ ? Bytes() : 0; }
  uint8_t* Buffer() { return buffer_.data(); }
  const uint8_t* Buffer() const { return buffer_.data(); }

  // The offset of the last whole block of `blockLength` bytes opened by `signature` in the image,
  // or -1 (see FindWholeBlock).
  int32_t FindBlock(const uint8_t* signature, uint32_t blockLength) const;

  ButtonFlags buttons;

  // Frees the buffer; the image is no longer loaded.
  void Release();

 private:
  bool ReadWholeFile(WindowHandle owner, FileHandle file, uint32_t size);
  bool ReadPiece(WindowHandle owner, FileHandle file, uint8_t* at, uint32_t count);

  Allocator& allocator_;
  Desktop& desktop_;
  Files& files_;
  LoadProgress& progress_;
  HeapBuffer buffer_;
  bool loaded_ = false;
  BcpSysBlock imageBcpSys_;
  bool imageDmiPresent_ = false;
};

// True when the loaded image may be flashed on this machine; a refusal has shown its message.
// An image taken at the older-year warning or at one of the date questions is still held to the
// size and layout rule (CheckImageSize), after its date box.
bool CheckImageCompatibility(Desktop& desktop, WindowHandle owner, const RomImage& image,
                             const BcpSysBlock& system);

// The rule no image escapes, the factory line's included: the image's BCPSYS block (`imageBlock`)
// names the running BIOS's ROM size and layout, and the file is exactly that size. Whatever the
// date or the line, an image of another size or layout would be written over blocks it does not
// fit: half of a larger image over the whole part leaves a machine that cannot boot, and its
// verify, reading the same half back, would pass. False after the size message.
bool CheckImageSize(Desktop& desktop, WindowHandle owner, const RomImage& image,
                    const BcpSysBlock& imageBlock, const BcpSysBlock& system);

}  // namespace ql
