// The one loaded ROM image and the enabling of the Flash and Backup buttons.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "rom/bcp_sys.h"

namespace ql {

struct RomImageState {
  uint8_t* Buffer = nullptr;  // heap, zero-filled when allocated; owned here
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
// memory cannot be had.
int AllocateRomImage(WindowHandle owner, uint32_t size);
// 1 when the loaded image may be flashed on this machine.
int CheckImageCompatibility(WindowHandle owner);

}  // namespace ql
