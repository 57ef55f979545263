// The one loaded ROM image, the enabling of the Flash and Backup buttons, and the rules that
// decide whether an image may be flashed on this machine.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
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

struct RomImageState {
  uint8_t* Buffer = nullptr;  // heap, zero-filled when allocated; owned here
  uint32_t BufferSize = 0;    // bytes allocated at Buffer; RomSize may be overwritten elsewhere
  uint32_t RomSize = 0;
  uint32_t LoadedImageSize = 0;
  uint32_t ImageLoaded = 0;
  uint32_t ImageBcpSysFound = 0;
  BcpSysBlock ImageBcpSys;
  uint32_t ImageDmiPresent = 0;
  uint32_t FlashEnabled = 0;
  uint32_t BackupEnabled = 0;
};

extern RomImageState RomImage;

// 1 when the image is loaded and accepted, 0 otherwise (the reason has been shown).
int LoadRomFile(WindowHandle owner, const char* path);
// Replaces the image buffer with a zero-filled one of `size` bytes; ends the program when the
// memory cannot be had. Always 1.
int AllocateRomImage(WindowHandle owner, uint32_t size);
// 1 when the loaded image may be flashed on this machine; a refusal has shown its message.
// An image taken at the older-year warning or at one of the date questions is not held to the
// size rule: the person chose it knowing it is not newer. The flash passes therefore must not
// trust the image to cover the block table; they keep every block inside LoadedImageSize.
int CheckImageCompatibility(WindowHandle owner);

// The bytes of the image buffer that may be read: RomSize, but never past the allocation (a
// backup made without an image sets RomSize to the running BIOS's size while an older, refused
// buffer may still be held). 0 without a buffer.
uint32_t RomImageBytes();

// The offset of the LAST occurrence of `signature` in the image buffer when a whole block of
// `blockLength` bytes follows it there; -1 when there is none or when that last block is cut
// off by the end of the image. An earlier, complete occurrence never stands in for a cut-off
// later one: the later one is the block the image means.
int32_t FindImageBlock(const uint8_t* signature, uint32_t blockLength);

}  // namespace ql
