// The auxiliary windows of the main window: the splash, the help, and centring on the screen.
#pragma once

#include "platform/win32/win.h"

namespace ql {

// The splash shows on a thread of its own while the main window initialises; when it ends, the
// main window gets the command kSplashEndCommand from no control. The thread is left to finish by
// itself.
void StartSplash(HWND mainWindow, HINSTANCE resources);
inline constexpr WPARAM kSplashEndCommand = 0x8000042D;

// Opens the help file "QuorrelHp" of `programDirectory` with the platform's help viewer; where the
// viewer cannot show it, the help shipped in `resources` is shown in a window of its own.
void ShowHelp(HWND owner, HINSTANCE resources, const char* programDirectory);

// Centres `window` on the screen without repainting; `out` receives its new rectangle.
void CentreWindow(HWND window, RECT* out);

}  // namespace ql
