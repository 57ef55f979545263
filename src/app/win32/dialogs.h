// The modal dialogs of the program other than the main window: options, DMI strings settings,
// password and the shutdown countdown. Each is one function that runs it; its procedure moves
// data between the controls and what decides (the program, the shutdown countdown). `resources`
// is the module that holds the templates.
#pragma once

#include <cstdint>

#include "app/program.h"
#include "platform/desktop.h"
#include "platform/win32/win.h"

namespace ql {

// The option dialog as the Option button opens it; its "DMI strings..." button opens the DMI
// strings settings over it.
void ShowOptionDialog(HINSTANCE resources, HWND owner, Program& program);

// The DMI strings settings; answers 1 after OK, 0 after Cancel.
INT_PTR ShowDmiSettingsDialog(HINSTANCE resources, HWND owner, Program& program);

// The password dialog: true with the typed text in `entry` (at most entrySize - 1 characters,
// NUL-terminated) after OK, false after EXIT or when the dialog could not be made. OK on an empty
// entry tells so through `desktop`, over the dialog, which stays open.
bool ShowPasswordDialog(HINSTANCE resources, HWND owner, Desktop& desktop, char* entry,
                        uint32_t entrySize);

// The shutdown box, counting down once a second from `seconds`. A box that could not be shown
// counts as closed: nothing is shut down behind a person's back.
ShutdownBoxEnd ShowShutdownBox(HINSTANCE resources, HWND owner, int seconds);

}  // namespace ql
