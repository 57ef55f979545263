#include "skin/win32/skin.h"

namespace ql {
namespace {

// Asking the platform whether anything waits to be painted costs as much as a small drawing, and
// a flash asks thousands of times. The state items are drawn at once without asking; what closed
// boxes uncovered is repaired at most every kRepairIntervalMs, and always when the phase moves
// on, so every activity ends with the whole window painted.
constexpr ULONGLONG kRepairIntervalMs = 25;

// Makes `parent` draw the owner-drawn `control` at once, in the item state chosen by the caller.
void SendDrawItem(HWND parent, HWND control, UINT itemState) {
  DRAWITEMSTRUCT record{};
  record.CtlType = ODT_BUTTON;
  record.itemAction = ODA_DRAWENTIRE;
  record.itemState = itemState;
  record.hwndItem = control;
  record.hDC = GetDC(control);
  GetWindowRect(control, &record.rcItem);
  SendMessageA(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&record));
  // The request is synchronous: the context is no longer in use once it returns.
  ReleaseDC(control, record.hDC);
}

template <typename T>
T* UserData(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

Skin::Skin(const Progress& progress)
    : progress_(progress), blockMap_(shown_, palette_), percentBar_(shown_, palette_) {
  shown_.Take(progress_);
}

Skin::~Skin() {
  Release();
}

LRESULT CALLBACK Skin::ButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = UserData<SkinnedButton>(button);
  if (self == nullptr) return DefWindowProcA(button, message, wParam, lParam);
  WNDPROC previous = self->previous;
  switch (message) {
    case WM_GETDLGCODE: {
      // The dialog manager asks before it handles a key: Return arriving here means the key is
      // down on this button. Auto-repeat asks again while it is held; only the first draws.
      LRESULT answer = CallWindowProcA(previous, button, message, wParam, lParam);
      if (wParam == VK_RETURN && !self->returnHeld) {
        self->returnHeld = true;
        self->skin->RedrawButton(button, ODS_SELECTED);
      }
      return answer;
    }
    case WM_KEYUP: {
      LRESULT answer = CallWindowProcA(previous, button, message, wParam, lParam);
      // A release whose press this button never saw (the focus arrived meanwhile) is no click.
      if (wParam == VK_RETURN && self->returnHeld) {
        SendMessageA(GetParent(button), WM_COMMAND, 0, reinterpret_cast<LPARAM>(button));
        self->returnHeld = false;
        if (IsWindow(button)) self->skin->RedrawButton(button, ODS_FOCUS);
      }
      return answer;
    }
    default:
      return CallWindowProcA(previous, button, message, wParam, lParam);
  }
}

// The background is a button under every other child, and none of them clips its siblings: the
// standard button would erase its whole face in the dialog colour, over the children, before
// drawing. The bitmap covers it all, so it is never erased.
LRESULT CALLBACK Skin::BackgroundProcedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  Skin* skin = UserData<Skin>(window);
  if (skin == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return CallWindowProcA(skin->backgroundPrevious_, window, message, wParam, lParam);
}

HWND Skin::CreateChild(SkinItem item) {
  const SkinChildSpec& spec = SkinChild(item);
  void* view = item == SkinItem::kBlockMap    ? static_cast<void*>(&blockMap_)
               : item == SkinItem::kStatusBar ? static_cast<void*>(&percentBar_)
                                              : nullptr;
  HWND window = CreateWindowExA(
      spec.exStyle, spec.className, "", spec.style, spec.x, spec.y, spec.width, spec.height, main_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), GetModuleHandleA(nullptr), view);
  windows_[static_cast<int>(item)] = window;
  return window;
}

void Skin::Create(HWND mainWindow, HINSTANCE resources) {
  Release();
  for (int i = 0; i < kSkinBitmapCount; ++i) {
    bitmaps_[i] = LoadBitmapA(resources, SkinBitmapInfo(static_cast<SkinBitmap>(i)).name);
  }
  pictureDc_ = CreateCompatibleDC(nullptr);
  RegisterProgressWindowClasses(GetModuleHandleA(nullptr));
  main_ = mainWindow;
  for (HWND& window : windows_) window = nullptr;
  shownPhase_.reset();
  repairPhase_.reset();

  HWND background = CreateChild(SkinItem::kBackground);
  MoveWindow(mainWindow, 10, 10, kMainWindowSize, kMainWindowSize, TRUE);
  EnableWindow(background, FALSE);
  SetWindowLongPtrA(background, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  backgroundPrevious_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      background, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BackgroundProcedure)));

  CreateChild(SkinItem::kBlockMap);
  CreateChild(SkinItem::kStatusBar);
  CreateChild(SkinItem::kPhaseItem);

  for (int i = 0; i < kSkinButtonCount; ++i) {
    SkinItem item = static_cast<SkinItem>(kFirstSkinButton + i);
    HWND button = CreateChild(item);
    if (SkinChild(item).startsDisabled) EnableWindow(button, FALSE);
    buttons_[i] = SkinnedButton{this, nullptr, false};
    SetWindowLongPtrA(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&buttons_[i]));
    buttons_[i].previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProcedure)));
  }
}

bool Skin::FindItem(HWND window, SkinItem* found) const {
  if (window == nullptr) return false;
  for (int i = 0; i < kSkinItemCount; ++i) {
    if (windows_[i] == window) {
      *found = static_cast<SkinItem>(i);
      return true;
    }
  }
  return false;
}

bool Skin::DrawItem(const DRAWITEMSTRUCT* record) {
  SkinItem item;
  if (record == nullptr || !FindItem(record->hwndItem, &item)) return false;
  if (item == SkinItem::kBlockMap || item == SkinItem::kStatusBar) return false;

  const ProgressPhase phase = shown_.phase;
  SkinBitmap bitmap = ItemBitmap(item, record->itemState, static_cast<uint32_t>(phase));
  HBITMAP picture = bitmaps_[static_cast<int>(bitmap)];
  if (picture == nullptr || pictureDc_ == nullptr) return false;  // released, or not in resources
  const SkinBitmapSpec& size = SkinBitmapInfo(bitmap);

  HGDIOBJ previous = SelectObject(pictureDc_, picture);
  if (item == SkinItem::kBackground) {
    // The background's picture is drawn around the other children, never over them.
    for (int i = static_cast<int>(SkinItem::kBlockMap); i < kSkinItemCount; ++i) {
      const SkinChildSpec& spec = SkinChild(static_cast<SkinItem>(i));
      ExcludeClipRect(record->hDC, spec.x, spec.y, spec.x + spec.width, spec.y + spec.height);
    }
  }
  StretchBlt(record->hDC, 0, 0, size.width, size.height, pictureDc_, 0, 0, size.width, size.height,
             SRCCOPY);
  SelectObject(pictureDc_, previous);
  if (item == SkinItem::kPhaseItem) shownPhase_ = phase;
  return true;
}

void Skin::Release() {
  for (HBITMAP& bitmap : bitmaps_) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (pictureDc_ != nullptr) DeleteDC(pictureDc_);
  pictureDc_ = nullptr;
}

void Skin::RedrawButton(HWND button, UINT state) {
  SendDrawItem(GetParent(button), button, state);
}

void Skin::RepairUncovered() {
  // GetTickCount64 is missing from the systems the program is for; the 32-bit count wraps every
  // 49.7 days, and a difference taken in 32 bits stays right across the wrap.
  DWORD now = GetTickCount();
  DWORD elapsed = now - lastRepair_;
  bool phaseMoved = shown_.phase != repairPhase_;
  if (!phaseMoved && elapsed < kRepairIntervalMs) return;
  lastRepair_ = now;
  repairPhase_ = shown_.phase;
  RedrawWindow(main_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Skin::Repaint(ProgressItem item) {
  shown_.Take(progress_);
  switch (item) {
    case ProgressItem::kBackground:
      // Its picture never changes: only a part uncovered since it was drawn needs painting.
    case ProgressItem::kMainWindow:
      if (main_ != nullptr) RepairUncovered();
      return;
    case ProgressItem::kBlockMap:
      blockMap_.ShowChanges();
      return;
    case ProgressItem::kPhaseItem: {
      HWND phaseItem = Window(SkinItem::kPhaseItem);
      if (phaseItem != nullptr && shown_.phase != shownPhase_) {
        SendDrawItem(main_, phaseItem, ODS_DEFAULT);
      }
      return;
    }
    case ProgressItem::kStatusBar:
      percentBar_.ShowChange();
      return;
  }
}

}  // namespace ql
