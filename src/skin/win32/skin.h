// The skinned children of the main window: background, block map, percent bar, phase item and
// the six bitmap buttons, drawn from the progress display they are given.
#pragma once

#include <cstdint>
#include <optional>

#include "flash/progress.h"
#include "platform/desktop.h"
#include "platform/win32/win.h"
#include "skin/skin_layout.h"
#include "skin/win32/progress_windows.h"

namespace ql {

class Skin {
 public:
  explicit Skin(const Progress& progress);
  // The bitmaps and drawing objects go; the windows belong to the main window, which must be gone
  // by then.
  ~Skin();
  Skin(const Skin&) = delete;
  Skin& operator=(const Skin&) = delete;

  // Loads the skin's bitmaps from `resources` and creates every child of `mainWindow` (which it
  // moves to (10, 10) at 450 x 450). Backup and Flash start disabled.
  void Create(HWND mainWindow, HINSTANCE resources);

  // The main window's answer to WM_DRAWITEM: true when the item is the skin's and was drawn.
  bool DrawItem(const DRAWITEMSTRUCT* record);

  // Deletes the skin's bitmaps: nothing is drawn any more. Safe to call twice.
  void Release();

  // The window of an item, or null before Create.
  HWND Window(SkinItem item) const { return windows_[static_cast<int>(item)]; }
  HWND Button(Control control) const {
    return windows_[kFirstSkinButton + static_cast<int>(control)];
  }

  // Makes the main window draw `button` at once in the given item state (ODS_ bits).
  void RedrawButton(HWND button, UINT state);

  // Brings one progress item on the screen up to date before returning, drawing only what changed
  // since it was last shown: the route of Desktop::Repaint in the real program.
  void Repaint(ProgressItem item);

 private:
  // A button's own state: a Return key held down on it.
  struct SkinnedButton {
    Skin* skin = nullptr;
    WNDPROC previous = nullptr;
    bool returnHeld = false;
  };
  static LRESULT CALLBACK ButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK BackgroundProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);
  HWND CreateChild(SkinItem item);
  bool FindItem(HWND window, SkinItem* found) const;
  void RepairUncovered();

  const Progress& progress_;
  ShownProgress shown_;
  CellPalette palette_;
  BlockMapView blockMap_;
  PercentBar percentBar_;
  HWND main_ = nullptr;
  HWND windows_[kSkinItemCount] = {};
  HBITMAP bitmaps_[kSkinBitmapCount] = {};
  // One memory context holds each picture while it is copied: making one per draw costs more
  // than the copy itself.
  HDC pictureDc_ = nullptr;
  SkinnedButton buttons_[kSkinButtonCount];
  WNDPROC backgroundPrevious_ = nullptr;
  // The phase whose bitmap the phase item shows; a repaint with the same phase draws nothing.
  std::optional<ProgressPhase> shownPhase_;
  DWORD lastRepair_ = 0;
  std::optional<ProgressPhase> repairPhase_;
};

}  // namespace ql
