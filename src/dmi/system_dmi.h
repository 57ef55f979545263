// The running BIOS's DMI strings and UUID: the 64 KiB copy of its segment F000h taken at
// start-up, and the system half of the DMI record read from it.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "rom/bcp_layout.h"

namespace ql {

// Which of the six system strings could be copied, by DmiStringId. A string that is absent (its
// offset is 0, it does not fit in the segment copy, or it is too long for an 80-byte copy) is
// left zeroed in the record, which reads as length 0 and empty text; this tells such a string
// from one the BIOS really holds empty.
struct SystemDmiReadState {
  uint32_t StringPresent[kDmiStringCount] = {};
};

extern SystemDmiReadState SystemDmiRead;

// Copies the mapped BIOS segment into DmiStrings.BiosSegmentCopy in 16 bulk reads. No memory
// for the copy: "Memory allocate error" (caption "Quorrelite", stop icon, owner `window`) and
// the program ends.
void ReadBiosSegmentCopy(WindowHandle window);

// Fills DmiStrings.SystemDmi from the BCPDMI block of the running BIOS: the header through the
// driver, the strings and the UUID from the segment copy.
//
// Nothing is ever read outside the copy. A string copy holds the length byte, at most 77
// characters, the terminator and the balance byte (80 bytes); a BIOS string that is longer, whose
// offset is 0, or that would run past the end of the copy is treated as absent rather than
// clipped, because a clipped copy carried into a new image would write a different string than
// the length byte announces. A UUID field that would run past the end of the copy counts as no
// UUID field. A BCPDMI header that would run past the end of the segment counts as no block.
void ReadSystemDmi();

}  // namespace ql
