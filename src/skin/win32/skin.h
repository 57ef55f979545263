// The skinned children of the main window: background, block map, percent bar, phase item and
// the six bitmap buttons.
#pragma once

#include "platform/desktop.h"
#include "platform/win32/win.h"
#include "skin/skin_layout.h"

namespace ql {

// The children's handles, kept for the main window controller and the desktop; zero until
// CreateSkin. `button` is indexed by Control (Load, Backup, Option, Help, Flash, Exit).
struct SkinWindows {
  HWND main = nullptr;
  HWND background = nullptr;
  HWND blockMap = nullptr;
  HWND statusBar = nullptr;
  HWND phaseItem = nullptr;
  HWND button[kSkinButtonCount] = {};
};
extern SkinWindows Skin;

HWND SkinButton(Control control);
// The window of an item, or null before CreateSkin.
HWND SkinItemWindow(SkinItem item);

// Loads the skin's bitmaps from Startup.InstanceHandle and creates every child of `mainWindow`
// (which it moves to (10, 10) at 450 x 450). Clears FlashEnabled and BackupEnabled, whose buttons
// start disabled.
void CreateSkin(HWND mainWindow);

// The main window's answer to WM_DRAWITEM: 1 when the item is the skin's and was drawn.
UINT DrawSkinItem(HWND mainWindow, WPARAM controlId, LPARAM drawItem);

// Deletes the skin's bitmaps; the windows go with the main window. Safe to call twice.
void ReleaseSkin();

// Makes the parent draw `button` at once in the given item state (ODS_ bits).
void RedrawSkinnedButton(HWND parent, HWND button, UINT state);

// Brings one progress item on the screen up to date before returning, drawing only what changed
// since it was last shown: the route of Desktop::Repaint in the real program.
void RepaintProgressItem(ProgressItem item);

}  // namespace ql
