// The running BIOS as the program reaches it: its segment F000h mapped through the driver, a copy
// of that segment taken once at start-up, and the trigger (port and value) of its flash functions,
// taken from the BCPFEX block.
#pragma once

#include <cstdint>

#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/outcome.h"

namespace ql {

class BiosInterface {
 public:
  BiosInterface(DriverLink& link, Allocator& allocator);
  ~BiosInterface();
  BiosInterface(const BiosInterface&) = delete;
  BiosInterface& operator=(const BiosInterface&) = delete;

  // Maps the BIOS segment, copies it (16 bulk reads), finds the BCPFEX block and hands its trigger
  // to `caller`. kDone when the flash functions can be reached; kFailed when they cannot (a mapping
  // refused or at linear 0, no whole BCPFEX block: the segment is unmapped again); kFatal when
  // there was no memory for the copy ("Memory allocate error" shown, owner `owner`).
  Outcome Discover(Desktop& desktop, WindowHandle owner, BiosCaller& caller);

  // Linear address of the mapped segment; 0 when not mapped.
  uint32_t Segment() const { return segment_; }
  // The 64 KiB copy of the segment; null before Discover took it, and when a piece of it could not
  // be read.
  const uint8_t* SegmentCopy() const { return copy_.empty() ? nullptr : copy_.data(); }

  // Unmaps the segment and frees the copy; safe to call twice. The destructor releases too.
  void Release();

 private:
  DriverLink& link_;
  Allocator& allocator_;
  uint32_t segment_ = 0;
  HeapBuffer copy_;
};

}  // namespace ql
