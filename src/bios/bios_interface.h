// The running BIOS's flash interface: its segment F000h mapped through the driver, and the
// trigger (port and value) of its flash functions, taken from the BCPFEX block.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

struct BiosInterfaceState {
  uint32_t BiosSegment = 0;  // linear address of the mapped segment; 0 when not mapped
  uint32_t TriggerPort = 0;
  uint8_t TriggerValue = 0;
};

extern BiosInterfaceState BiosInterface;

// 0 when the BIOS can be served; -1 otherwise.
int DiscoverBiosInterface(WindowHandle owner);
// 0 when the BCPFEX block was found and read; -1 when it is absent.
int FindFlashInterfaceBlock(WindowHandle owner);

}  // namespace ql
