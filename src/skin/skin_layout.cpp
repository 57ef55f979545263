#include "skin/skin_layout.h"

#include "resources/resource_ids.h"

namespace ql {
namespace {

constexpr uint32_t kPlain = kStyleChild | kStyleVisible;
constexpr uint32_t kButton = kPlain | kStyleTabStop | kStyleOwnerDraw;

constexpr SkinChildSpec kChildren[kSkinItemCount] = {
    {kButtonClass, kPlain | kStyleOwnerDraw, 0, 0, 0, 450, 450, 0, true},
    {kBlockMapClass, kPlain, kExStyleClientEdge, 29, 90, 260, 260, 0, false},
    {kStatusBarClass, kPlain, kExStyleClientEdge, 333, 117, 98, 7, 0, false},
    {kButtonClass, kPlain | kStyleOwnerDraw, 0, 328, 98, 108, 12, 0, false},
    {kButtonClass, kButton | kStyleNotify, 0, 327, 130, 110, 36, IDC_LOAD_BUTTON, false},
    {kButtonClass, kButton, 0, 327, 168, 110, 36, IDC_BACKUP_BUTTON, true},
    {kButtonClass, kButton, 0, 327, 208, 110, 36, IDC_OPTION_BUTTON, false},
    {kButtonClass, kButton, 0, 327, 249, 110, 36, IDC_HELP_BUTTON, false},
    {kButtonClass, kButton, 0, 229, 393, 100, 50, IDC_FLASH_BUTTON, true},
    {kButtonClass, kButton | kStyleNotify, 0, 334, 392, 100, 50, IDC_EXIT_BUTTON, false},
};

constexpr SkinBitmapSpec kBitmaps[kSkinBitmapCount] = {
    {"BACKGROUND", 450, 450},        {"LOAD_NORMAL", 110, 36},
    {"LOAD_PRESS", 110, 36},         {"LOAD_FOCUS", 110, 36},
    {"BACKUP_NORMAL", 110, 36},      {"BACKUP_PRESS", 110, 36},
    {"BACKUP_FOCUS", 110, 36},       {"BACKUP_DIS", 110, 36},
    {"OPTION_NORMAL", 110, 36},      {"OPTION_PRESS", 110, 36},
    {"OPTION_FOCUS", 110, 36},       {"HELP_NORMAL", 110, 36},
    {"HELP_PRESS", 110, 36},         {"HELP_FOCUS", 110, 36},
    {"FLASH_NORMAL", 100, 50},       {"FLASH_PRESS", 100, 50},
    {"FLASH_FOCUS", 100, 50},        {"FLASH_DIS", 100, 50},
    {"EXIT_NORMAL", 100, 50},        {"EXIT_PRESS", 100, 50},
    {"EXIT_FOCUS", 100, 50},         {"PROGRESS_STATUS", 108, 12},
    {"PROGRESS_READ_FILE", 108, 12}, {"PROGRESS_ERASEING", 108, 12},
    {"PROGRESS_FLASHING", 108, 12},  {"PROGRESS_BACKUP", 108, 12},
    {"PROGRESS_VERIFYING", 108, 12}, {"PROGRESS_BLANKCHECK", 108, 12},
    {"PROGRESS_PREPARING", 108, 12},
};

// Each button's faces: normal, pressed, focus, and disabled where it has one (else normal).
struct ButtonFaces {
  SkinBitmap normal, press, focus, disabled;
  bool hasDisabled;
};

ButtonFaces FacesOf(SkinItem item) {
  using B = SkinBitmap;
  switch (item) {
    case SkinItem::kLoad:
      return {B::kLoadNormal, B::kLoadPress, B::kLoadFocus, B::kLoadNormal, false};
    case SkinItem::kBackup:
      return {B::kBackupNormal, B::kBackupPress, B::kBackupFocus, B::kBackupDis, true};
    case SkinItem::kOption:
      return {B::kOptionNormal, B::kOptionPress, B::kOptionFocus, B::kOptionNormal, false};
    case SkinItem::kHelp:
      return {B::kHelpNormal, B::kHelpPress, B::kHelpFocus, B::kHelpNormal, false};
    case SkinItem::kFlash:
      return {B::kFlashNormal, B::kFlashPress, B::kFlashFocus, B::kFlashDis, true};
    case SkinItem::kExit:
    case SkinItem::kBackground:
    case SkinItem::kBlockMap:
    case SkinItem::kStatusBar:
    case SkinItem::kPhaseItem:
      break;
  }
  return {B::kExitNormal, B::kExitPress, B::kExitFocus, B::kExitNormal, false};
}

}  // namespace

const SkinChildSpec& SkinChild(SkinItem item) {
  return kChildren[static_cast<int>(item)];
}

const SkinBitmapSpec& SkinBitmapInfo(SkinBitmap bitmap) {
  return kBitmaps[static_cast<int>(bitmap)];
}

SkinBitmap ButtonBitmap(SkinItem item, uint32_t itemState) {
  ButtonFaces faces = FacesOf(item);
  if ((itemState & kItemSelected) != 0) return faces.press;
  // A button without a disabled face says nothing about being disabled: focus or normal decide.
  if (faces.hasDisabled && (itemState & kItemDisabled) != 0) return faces.disabled;
  if ((itemState & kItemFocus) != 0) return faces.focus;
  return faces.normal;
}

SkinBitmap PhaseBitmap(uint32_t phase) {
  if (phase > 7) return SkinBitmap::kPhaseStatus;
  return static_cast<SkinBitmap>(static_cast<uint32_t>(SkinBitmap::kPhaseStatus) + phase);
}

SkinBitmap ItemBitmap(SkinItem item, uint32_t itemState, uint32_t phase) {
  if (item == SkinItem::kBackground) return SkinBitmap::kBackground;
  if (item == SkinItem::kPhaseItem) return PhaseBitmap(phase);
  return ButtonBitmap(item, itemState);
}

}  // namespace ql
