// Start-up: the operating-system family, the current and program folders, and the command line
// that says which ROM file to load and whether the factory line's manufacturing mode is on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/desktop.h"
#include "platform/outcome.h"

namespace ql {

inline constexpr uint32_t kWin98 = 0x98;
inline constexpr uint32_t kWin2000 = 0x2000;
// The platform id of the Windows 9x family in OSVERSIONINFOA.
inline constexpr uint32_t kPlatformWin9x = 1;

inline constexpr size_t kCurrentDirectorySize = 500;
inline constexpr size_t kProgramDirectorySize = 512;
inline constexpr size_t kStartupArgumentSize = 512;
inline constexpr size_t kMaxArgumentLength = 128;
inline constexpr size_t kRunNoteSize = 600;
// The program's name and the caption's note.
inline constexpr size_t kWindowCaptionSize = kRunNoteSize + 16;

inline constexpr const char* kMsgDirectoryTooLong = "The directory of Quorrelite is too long!!";
inline constexpr const char* kMsgCommandLineTooLarge = "The length of command line was too large!!";

struct StartupState {
  void* InstanceHandle = nullptr;
  uint32_t OsFamily = 0;
  char CurrentDirectory[kCurrentDirectorySize] = {};
  char ProgramDirectory[kProgramDirectorySize] = {};
  char StartupArgument[kStartupArgumentSize] = {};
  bool StartupFilePending = false;
  bool ManufacturingMode = false;
  // "/C": the factory line asks what a flash of the named image would do. The run is unattended
  // as in manufacturing mode (ManufacturingMode is set too) and stops after the comparison.
  bool CheckOnly = false;
  bool PlainArgument = false;
  char ManufacturingFileName[kStartupArgumentSize] = {};
  // Set by the entry point when the run works on something other than the real machine, empty
  // otherwise: what the caption says after the program's name, and a line the factory log has
  // after its header. Whoever sees the window or reads the log must not take such a run for a
  // flash of the chip.
  char CaptionNote[kRunNoteSize] = {};
  char LogNote[kRunNoteSize] = {};
};

// The main window's caption: the program's name, then the caption's note.
void WindowCaption(const StartupState& startup, char* caption, size_t size);

// What the entry point gathers from the platform before any window exists.
struct StartupInputs {
  void* instance = nullptr;
  uint32_t platformId = 0;                 // from GetVersionExA; 0 when the call failed
  const char* currentDirectory = nullptr;  // null when GetCurrentDirectoryA answered 0
  const char* rawCommandLine = "";         // GetCommandLineA: program path included
  const char* modulePath = "";             // the program file's own path, for an unquoted start
};

// Records the start-up state from the inputs, in the fixed order. A current directory that
// cannot be had, or a program folder that does not fit, is fatal: the message is shown and the
// answer is kFatal (the entry point ends the process with exit status 1).
Outcome RunStartup(Desktop& desktop, const StartupInputs& inputs, StartupState* startup);

// The argument text: what follows the program name on the raw command line, with the bytes up
// to 0x20 after the name skipped. A quoted name ends at its closing quote, an unquoted one at the
// first blank.
const char* ArgumentText(const char* rawCommandLine);

// Reads StartupArgument; true for a plain file name, the manufacturing switch ("/M" or "/m") or
// the check-only switch ("/C" or "/c"), false for any other switch. Sets PlainArgument,
// ManufacturingMode, CheckOnly and ManufacturingFileName.
bool ParseStartupArgument(StartupState& startup);

}  // namespace ql
