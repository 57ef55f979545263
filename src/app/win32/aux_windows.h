// The auxiliary windows of the main window: the block map and the percent bar (their classes and
// procedures), the splash, the help, and two drawing helpers used by dialogs and the progress
// display.
#pragma once

#include "platform/win32/win.h"

namespace ql {

// Registers "Flash dialog" and " Status Bar"; the entry point calls it before the main dialog.
void RegisterAuxWindowClasses(HINSTANCE instance);

LRESULT CALLBACK BlockMapWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StatusBarWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draw on the screen, at once and without a paint message, whatever changed in the block map or
// the percent since they were last shown. Nothing is drawn when nothing changed.
void ShowBlockMapChanges(HWND blockMap);
void ShowStatusBarChange(HWND statusBar);

// Thread routine of the splash: `mainWindow` is the main window's handle.
DWORD WINAPI SplashThread(LPVOID mainWindow);
INT_PTR CALLBACK SplashDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the help file "QuorrelHp" of the program's folder with the platform's help viewer; where
// the viewer cannot show it, the same help is shown in a window of its own.
void ShowHelp(HWND owner);

// Centres `window` on the screen without repainting; `out` receives its new rectangle.
void CentreWindow(HWND window, RECT* out);

// Makes `parent` draw the owner-drawn `control` at once (WM_DRAWITEM with state 0x20).
void RedrawOwnerDrawnControl(HWND parent, HWND control);
// The same draw request with the item state chosen by the caller.
void SendDrawItem(HWND parent, HWND control, UINT itemState);

}  // namespace ql
