// The two guards around a flash: mains power before it, and the shutdown (or, on the factory
// line, the restart) after it that lets the new BIOS run.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

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

// The shutdown box: seconds it opens with, the text it shows, its timer period.
inline constexpr int kShutdownSeconds = 10;
inline constexpr const char* kShutdownBoxTextFormat =
    "System preparing to shutdown at %d seconds.....";
inline constexpr uint32_t kShutdownBoxTextSize = 64;
inline constexpr uint32_t kShutdownBoxTimerMs = 1000;
inline constexpr int kShutdownBoxProgressStep = 10;

struct PowerState {
  int PowerAnswer = 0;        // the button chosen in the last power message
  int ShutdownCountdown = 0;  // seconds left in the shutdown box
};

extern PowerState Power;

// 1 on mains power. Otherwise the battery message (low or critical) or the adapter message is
// shown with Abort, Retry and Ignore, its answer kept in PowerAnswer, and the answer is 0.
int CheckAcPower(WindowHandle owner);

// Shuts the system down, or restarts it in manufacturing mode. 1 when the platform was asked to;
// 0 when the shutdown privilege was refused (the user has been told to shut down by hand).
int ShutdownSystem(WindowHandle owner);

// The shutdown box's decisions, for the box's window procedure. The flash job sets the countdown
// and writes the box's log line before it opens the box; the box procedure only counts and shows.
//
// One timer tick: one second less. 1 when the countdown has run out (the box ends with a
// shutdown); 0 while it goes on, after which the box shows ShutdownBoxText and steps its bar.
int ShutdownBoxTick();
// "System preparing to shutdown at N seconds....." for the countdown now.
void ShutdownBoxText(char (&text)[kShutdownBoxTextSize]);

}  // namespace ql
