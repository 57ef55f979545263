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

// At start-up: maps the BIOS segment, takes its copy, finds the BCPFEX block and its trigger,
// reads the running BCPSYS block, then the system DMI strings. 0 when the BIOS can be served;
// -1 otherwise (a mapping refused or at linear 0, no BCPFEX block, no BCPSYS block). Without a
// BCPFEX block the segment is unmapped again and BiosSegment cleared; without BCPSYS it stays
// mapped for the release at the end.
int DiscoverBiosInterface(WindowHandle owner);
// 0 when the BCPFEX block was found and read; -1 when it is absent or would run past the end of
// the segment.
int FindFlashInterfaceBlock(WindowHandle owner);

}  // namespace ql
