#include "skin/win32/skin.h"

#include "app/aux_windows.h"
#include "app/startup.h"
#include "app/win32/aux_windows.h"
#include "flash/progress.h"
#include "rom/rom_image.h"

namespace ql {

SkinWindows Skin;

namespace {

struct SkinnedButton {
  HWND window = nullptr;
  WNDPROC PreviousProcedure = nullptr;
  uint32_t ReturnHeld = 0;
};

HBITMAP gBitmaps[kSkinBitmapCount] = {};
SkinnedButton gButtons[kSkinButtonCount];
WNDPROC gBackgroundProcedure = nullptr;
// The phase whose bitmap the phase item shows; a repaint with the same phase draws nothing.
uint32_t gShownPhase = 0xFFFFFFFF;
// One memory context holds each picture while it is copied: making one per draw costs more
// than the copy itself.
HDC gPictureDc = nullptr;

// Asking the platform whether anything waits to be painted costs as much as a small drawing, and
// a flash asks thousands of times. The state items are drawn at once without asking; what closed
// boxes uncovered is repaired at most every kRepairIntervalMs, and always when the phase moves
// on, so every activity ends with the whole window painted.
constexpr ULONGLONG kRepairIntervalMs = 25;
ULONGLONG gLastRepair = 0;
uint32_t gRepairPhase = 0xFFFFFFFF;

void RepairUncovered() {
  ULONGLONG now = GetTickCount64();
  bool phaseMoved = Progress.ProgressPhase != gRepairPhase;
  if (!phaseMoved && now - gLastRepair < kRepairIntervalMs) return;
  gLastRepair = now;
  gRepairPhase = Progress.ProgressPhase;
  RedrawWindow(Skin.main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

HWND* ItemSlot(SkinItem item) {
  switch (item) {
    case SkinItem::kBackground:
      return &Skin.background;
    case SkinItem::kBlockMap:
      return &Skin.blockMap;
    case SkinItem::kStatusBar:
      return &Skin.statusBar;
    case SkinItem::kPhaseItem:
      return &Skin.phaseItem;
    case SkinItem::kLoad:
    case SkinItem::kBackup:
    case SkinItem::kOption:
    case SkinItem::kHelp:
    case SkinItem::kFlash:
    case SkinItem::kExit:
      break;
  }
  return &Skin.button[static_cast<int>(item) - kFirstSkinButton];
}

bool FindItem(HWND window, SkinItem* found) {
  if (window == nullptr) return false;
  for (int i = 0; i < kSkinItemCount; ++i) {
    SkinItem item = static_cast<SkinItem>(i);
    if (*ItemSlot(item) == window) {
      *found = item;
      return true;
    }
  }
  return false;
}

SkinnedButton* ButtonRecord(HWND window) {
  for (SkinnedButton& b : gButtons) {
    if (b.window == window) return &b;
  }
  return nullptr;
}

LRESULT CALLBACK SkinnedButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  SkinnedButton* self = ButtonRecord(button);
  if (self == nullptr) return DefWindowProcA(button, message, wParam, lParam);
  WNDPROC previous = self->PreviousProcedure;
  switch (message) {
    case WM_GETDLGCODE: {
      // The dialog manager asks before it handles a key: Return arriving here means the key is
      // down on this button. Auto-repeat asks again while it is held; only the first draws.
      LRESULT answer = CallWindowProcA(previous, button, message, wParam, lParam);
      if (wParam == VK_RETURN && self->ReturnHeld == 0) {
        self->ReturnHeld = 1;
        RedrawSkinnedButton(GetParent(button), button, ODS_SELECTED);
      }
      return answer;
    }
    case WM_KEYUP: {
      LRESULT answer = CallWindowProcA(previous, button, message, wParam, lParam);
      // A release whose press this button never saw (the focus arrived meanwhile) is no click.
      if (wParam == VK_RETURN && self->ReturnHeld == 1) {
        HWND parent = GetParent(button);
        SendMessageA(parent, WM_COMMAND, 0, reinterpret_cast<LPARAM>(button));
        self->ReturnHeld = 0;
        if (IsWindow(button)) RedrawSkinnedButton(parent, button, ODS_FOCUS);
      }
      return answer;
    }
    case WM_NCDESTROY:
      self->window = nullptr;
      break;
    default:
      break;
  }
  return CallWindowProcA(previous, button, message, wParam, lParam);
}

// The background is a button under every other child, and none of them clips its siblings: the
// standard button would erase its whole face in the dialog colour, over the children, before
// drawing. The bitmap covers it all, so it is never erased.
LRESULT CALLBACK BackgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  return CallWindowProcA(gBackgroundProcedure, window, message, wParam, lParam);
}

HWND CreateChild(HWND main, SkinItem item) {
  const SkinChildSpec& spec = SkinChild(item);
  HWND window = CreateWindowExA(
      spec.exStyle, spec.className, "", spec.style, spec.x, spec.y, spec.width, spec.height, main,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), GetModuleHandleA(nullptr), nullptr);
  *ItemSlot(item) = window;
  return window;
}

// The background's picture is drawn around the other children, never over them.
void ExcludeChildren(HDC dc) {
  for (int i = static_cast<int>(SkinItem::kBlockMap); i < kSkinItemCount; ++i) {
    const SkinChildSpec& spec = SkinChild(static_cast<SkinItem>(i));
    ExcludeClipRect(dc, spec.x, spec.y, spec.x + spec.width, spec.y + spec.height);
  }
}

}  // namespace

HWND SkinButton(Control control) {
  return Skin.button[static_cast<int>(control)];
}

HWND SkinItemWindow(SkinItem item) {
  return *ItemSlot(item);
}

void CreateSkin(HWND mainWindow) {
  HINSTANCE resources = static_cast<HINSTANCE>(Startup.InstanceHandle);
  for (int i = 0; i < kSkinBitmapCount; ++i) {
    gBitmaps[i] = LoadBitmapA(resources, SkinBitmapInfo(static_cast<SkinBitmap>(i)).name);
  }
  if (gPictureDc == nullptr) gPictureDc = CreateCompatibleDC(nullptr);
  Skin = SkinWindows{};
  Skin.main = mainWindow;
  gShownPhase = 0xFFFFFFFF;
  gRepairPhase = 0xFFFFFFFF;

  HWND background = CreateChild(mainWindow, SkinItem::kBackground);
  MoveWindow(mainWindow, 10, 10, kMainWindowSize, kMainWindowSize, TRUE);
  EnableWindow(background, FALSE);
  gBackgroundProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      background, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BackgroundProcedure)));

  CreateChild(mainWindow, SkinItem::kBlockMap);
  CreateChild(mainWindow, SkinItem::kStatusBar);
  CreateChild(mainWindow, SkinItem::kPhaseItem);

  for (int i = 0; i < kSkinButtonCount; ++i) {
    SkinItem item = static_cast<SkinItem>(kFirstSkinButton + i);
    HWND button = CreateChild(mainWindow, item);
    if (item == SkinItem::kBackup) {
      EnableWindow(button, FALSE);
      RomImage.BackupEnabled = 0;
    } else if (item == SkinItem::kFlash) {
      EnableWindow(button, FALSE);
      RomImage.FlashEnabled = 0;
    }
    gButtons[i].window = button;
    gButtons[i].ReturnHeld = 0;
    gButtons[i].PreviousProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinnedButtonProcedure)));
  }
}

UINT DrawSkinItem(HWND, WPARAM, LPARAM drawItem) {
  const auto* record = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
  SkinItem item;
  if (record == nullptr || !FindItem(record->hwndItem, &item)) return 0;
  if (item == SkinItem::kBlockMap || item == SkinItem::kStatusBar) return 0;

  uint32_t phase = Progress.ProgressPhase;
  SkinBitmap bitmap = ItemBitmap(item, record->itemState, phase);
  HBITMAP picture = gBitmaps[static_cast<int>(bitmap)];
  if (picture == nullptr || gPictureDc == nullptr) return 0;  // released, or not in the resources
  const SkinBitmapSpec& size = SkinBitmapInfo(bitmap);

  HGDIOBJ previous = SelectObject(gPictureDc, picture);
  if (item == SkinItem::kBackground) ExcludeChildren(record->hDC);
  StretchBlt(record->hDC, 0, 0, size.width, size.height, gPictureDc, 0, 0, size.width, size.height,
             SRCCOPY);
  SelectObject(gPictureDc, previous);
  if (item == SkinItem::kPhaseItem) gShownPhase = phase;
  return 1;
}

void ReleaseSkin() {
  for (HBITMAP& bitmap : gBitmaps) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (gPictureDc != nullptr) DeleteDC(gPictureDc);
  gPictureDc = nullptr;
}

void RedrawSkinnedButton(HWND parent, HWND button, UINT state) {
  SendDrawItem(parent, button, state);
}

void RepaintProgressItem(ProgressItem item) {
  switch (item) {
    case ProgressItem::kBackground:
      // Its picture never changes: only a part uncovered since it was drawn needs painting.
      if (Skin.main != nullptr) RepairUncovered();
      return;
    case ProgressItem::kBlockMap:
      if (Skin.blockMap != nullptr) ShowBlockMapChanges(Skin.blockMap);
      return;
    case ProgressItem::kPhaseItem:
      if (Skin.phaseItem != nullptr && Progress.ProgressPhase != gShownPhase) {
        RedrawOwnerDrawnControl(Skin.main, Skin.phaseItem);
      }
      return;
    case ProgressItem::kStatusBar:
      if (Skin.statusBar != nullptr) ShowStatusBarChange(Skin.statusBar);
      return;
    case ProgressItem::kMainWindow:
      if (Skin.main != nullptr) RepairUncovered();
      return;
  }
}

}  // namespace ql
