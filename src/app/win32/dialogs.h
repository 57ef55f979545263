// The modal dialogs of the program other than the main window: options, DMI strings settings,
// password and the shutdown countdown. Each procedure moves data between its controls and the
// portable functions that decide.
#pragma once

#include "platform/desktop.h"
#include "platform/win32/win.h"

namespace ql {

// The module whose resources hold the dialog templates: the program's instance, or this module
// when start-up has not recorded one.
HINSTANCE ResourceInstance();

INT_PTR CALLBACK OptionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DmiSettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// lParam of the password dialog: where OK leaves the typed text.
struct PasswordEntry {
  char* text = nullptr;
  uint32_t size = 0;
};
INT_PTR CALLBACK PasswordDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// How the shutdown box ended. None is 0 or -1, the answers of a dialog that could not be made,
// so a failure to show the box never reads as a countdown that ran out.
inline constexpr INT_PTR kShutdownEndElapsed = 0x51;
inline constexpr INT_PTR kShutdownEndNow = 0x52;
inline constexpr INT_PTR kShutdownEndClosed = 0x53;
// Counts Power.ShutdownCountdown down once a second.
INT_PTR CALLBACK ShutdownDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The option dialog as the Option button opens it.
void RunOptionDialog(HWND owner);

}  // namespace ql
