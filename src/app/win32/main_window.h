// The main window: the dialog procedure of "QUORRELITE_BOX", which turns window messages into the
// controller's commands (app/main_controller.h).
#pragma once

#include "platform/win32/win.h"

namespace ql {

// Posted to the main window when the operating system closes the program after the restart the
// shutdown box asked for; it ends the main dialog as the system's close would.
inline constexpr UINT kWmClosedBySystem = WM_APP + 0x51;

INT_PTR CALLBACK MainWindowController(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the main dialog modally; answers DialogBoxParamA's result (-1 when it could not be made).
INT_PTR RunMainDialog();

// The operating system closes the program: the main dialog ends at its next message, or the
// process ends at once when there is no main window to end.
void CloseProgramBySystem();

}  // namespace ql
