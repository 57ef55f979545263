// The time of day and a millisecond counter, for what a run records of itself. Behind the machine
// seam, so that a test reads a simulated clock and gets the same record every time.
#pragma once

#include <cstdint>

namespace ql {

// A moment in UTC, as the platform's clock gives it.
struct UtcTime {
  uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual UtcTime UtcNow() = 0;
  // Milliseconds from some start; it wraps after 49.7 days, so only differences mean anything.
  virtual uint32_t Milliseconds() = 0;
};

}  // namespace ql
