// The two guards around a flash: mains power before it, and the shutdown (or, on the factory line,
// the restart) after it that lets the new BIOS run.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/desktop.h"
#include "platform/machine.h"

namespace ql {

inline constexpr const char* kMsgBatteryLow =
    "Your battery life is Low or Critical !!\nPlease plug in your AC adapter!!";
inline constexpr const char* kMsgPlugInAdapter =
    "Please plug in your AC adapter for flashing safely!!";
inline constexpr const char* kMsgCannotShutdown =
    "Can not shutdown automatically!!\nPlease shutdown manually!!";

inline constexpr uint8_t kAcLineOnline = 1;
inline constexpr uint8_t kBatteryFlagLow = 2;
inline constexpr uint8_t kBatteryFlagCritical = 4;

// The lines the manufacturing log gets as the system goes down.
inline constexpr const char* kLogWin98Shutdown = "Win98 is going to Shutdown!!";
inline constexpr const char* kLogWin2000Shutdown = "Win2000 is going to Shutdown!!";
// A factory run has nobody to answer a box: a refused restart is told in the log.
inline constexpr const char* kLogCannotShutdown = "Can not shutdown automatically!!";

// The shutdown box: seconds it opens with, the text it shows, its timer period.
inline constexpr int kShutdownSeconds = 10;
inline constexpr const char* kShutdownBoxTextFormat =
    "System preparing to shutdown at %d seconds.....";
inline constexpr uint32_t kShutdownBoxTextSize = 64;
inline constexpr uint32_t kShutdownBoxTimerMs = 1000;
inline constexpr int kShutdownBoxProgressStep = 10;

// Where the events of a run are written down: the manufacturing log answers.
class EventLog {
 public:
  virtual ~EventLog() = default;
  virtual void Line(const char* text) = 0;
};

// Nothing on mains power. Otherwise the battery message (low or critical) or the adapter message
// is shown with Abort, Retry and Ignore, and the answer is the button chosen.
std::optional<int> CheckAcPower(Machine& machine, Desktop& desktop, WindowHandle owner);

// How the system is brought down after a flash.
struct ShutdownRequest {
  bool win9x = false;    // the Windows 98 family: no privilege to ask for
  bool restart = false;  // manufacturing mode restarts instead of switching off
};

// Shuts the system down, or restarts it. True when the platform took the request; false when the
// shutdown privilege or the request itself was refused: a person has been told to shut down by
// hand (on the factory line the log says so instead), and the log does not claim a shutdown.
bool ShutdownSystem(Machine& machine, Desktop& desktop, EventLog& log, WindowHandle owner,
                    const ShutdownRequest& request);

// The shutdown box's count, for the box's window procedure: the box only counts and shows.
class ShutdownCountdown {
 public:
  explicit ShutdownCountdown(int seconds) : seconds_(seconds) {}
  // One timer tick: one second less. True when the countdown has run out (the box ends with a
  // shutdown); false while it goes on, after which the box shows Text() and steps its bar.
  bool Tick();
  // "System preparing to shutdown at N seconds....." for the countdown now.
  void Text(char (&text)[kShutdownBoxTextSize]) const;

 private:
  int seconds_;
};

}  // namespace ql
