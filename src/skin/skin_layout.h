// The main window's children and the bitmaps that draw them: what the skin creates, where, and
// which picture each state shows. The Win32 skin only carries these decisions out.
#pragma once

#include <cstdint>

namespace ql {

// The children in creation order. The six buttons keep the order of the Control enum.
enum class SkinItem : uint8_t {
  kBackground,
  kBlockMap,
  kStatusBar,
  kPhaseItem,
  kLoad,
  kBackup,
  kOption,
  kHelp,
  kFlash,
  kExit,
};
inline constexpr int kSkinItemCount = 10;
inline constexpr int kSkinButtonCount = 6;
inline constexpr int kFirstSkinButton = static_cast<int>(SkinItem::kLoad);

// Window styles with the platform's values, so that the layout can be checked without Windows.
inline constexpr uint32_t kStyleChild = 0x40000000;
inline constexpr uint32_t kStyleVisible = 0x10000000;
inline constexpr uint32_t kStyleTabStop = 0x00010000;
inline constexpr uint32_t kStyleOwnerDraw = 0x0000000B;  // BS_OWNERDRAW
inline constexpr uint32_t kStyleNotify = 0x00004000;     // BS_NOTIFY
inline constexpr uint32_t kExStyleClientEdge = 0x00000200;

inline constexpr const char* kButtonClass = "BUTTON";
inline constexpr const char* kBlockMapClass = "Flash dialog";
inline constexpr const char* kStatusBarClass = " Status Bar";  // the leading blank is the name's

inline constexpr int kMainWindowSize = 450;

struct SkinChildSpec {
  const char* className;
  uint32_t style;
  uint32_t exStyle;
  int x, y, width, height;
  int id;
  bool startsDisabled;
};

const SkinChildSpec& SkinChild(SkinItem item);
inline bool IsSkinButton(SkinItem item) {
  return static_cast<int>(item) >= kFirstSkinButton;
}

// Item state bits of an owner-draw request.
inline constexpr uint32_t kItemSelected = 0x0001;
inline constexpr uint32_t kItemDisabled = 0x0004;
inline constexpr uint32_t kItemFocus = 0x0010;
inline constexpr uint32_t kItemDefault = 0x0020;

// Every bitmap of the skin and of the progress phases, in the order CreateSkin loads them.
enum class SkinBitmap : uint8_t {
  kBackground,
  kLoadNormal,
  kLoadPress,
  kLoadFocus,
  kBackupNormal,
  kBackupPress,
  kBackupFocus,
  kBackupDis,
  kOptionNormal,
  kOptionPress,
  kOptionFocus,
  kHelpNormal,
  kHelpPress,
  kHelpFocus,
  kFlashNormal,
  kFlashPress,
  kFlashFocus,
  kFlashDis,
  kExitNormal,
  kExitPress,
  kExitFocus,
  kPhaseStatus,
  kPhaseReadFile,
  kPhaseErasing,
  kPhaseFlashing,
  kPhaseBackup,
  kPhaseVerifying,
  kPhaseBlankCheck,
  kPhasePreparing,
};
inline constexpr int kSkinBitmapCount = 29;

struct SkinBitmapSpec {
  const char* name;  // the resource name
  int width, height;
};
const SkinBitmapSpec& SkinBitmapInfo(SkinBitmap bitmap);

// The picture of a button for an item state; the first match of selected, disabled, focus wins,
// and only Backup and Flash have a disabled picture. `item` must be one of the six buttons.
SkinBitmap ButtonBitmap(SkinItem item, uint32_t itemState);

// The picture of a progress phase; a phase outside 0..7 shows the resting one.
SkinBitmap PhaseBitmap(uint32_t phase);

// The bitmap an item draws whatever its state, or the phase item's at `phase`.
SkinBitmap ItemBitmap(SkinItem item, uint32_t itemState, uint32_t phase);

inline constexpr const char* kSplashBitmap = "SPLASHBMP";
inline constexpr int kSplashWidth = 300;
inline constexpr int kSplashHeight = 136;
inline constexpr const char* kAtOnceCursor = "ATONCE_CURSOR";

}  // namespace ql
