#include "app/win32/dialogs.h"

#include <commctrl.h>

#include <cstring>
#include <initializer_list>

#include "app/aux_windows.h"
#include "app/options.h"
#include "app/startup.h"
#include "app/win32/aux_windows.h"
#include "bios/bios_session.h"
#include "dmi/dmi_settings.h"
#include "flash/power.h"
#include "resources/dialog_ids.h"

namespace ql {

static_assert(IDC_AUTO_BACKUP == kIdcAutoBackup && IDC_AUTO_VERIFY == kIdcAutoVerify &&
              IDC_AUTO_BLANK_CHECK == kIdcAutoBlankCheck && IDC_DMI_SETTINGS == kIdcDmiSettings);
static_assert(IDC_DMI_MANUFACTURER == kIdcDmiManufacturer && IDC_DMI_UUID == kIdcDmiUuid &&
              IDC_DMI_KEEP_CURRENT == kIdcDmiKeepCurrent && IDC_DMI_DONT_KEEP == kIdcDmiDontKeep &&
              IDC_DMI_NEW_STRINGS == kIdcDmiNewStrings &&
              IDC_DMI_MODE_CAPTION == kIdcDmiModeCaption);

namespace {

constexpr COLORREF kCaptionRed = RGB(255, 0, 0);
constexpr COLORREF kCaptionWhite = RGB(255, 255, 255);

// The progress bar of the shutdown box, in pixels.
constexpr int kShutdownBarX = 10, kShutdownBarY = 50, kShutdownBarWidth = 380;
constexpr int kShutdownBarHeight = 15;
constexpr int kShutdownBarId = 1;  // never addressed by id; only its handle is kept

// The password dialog's fixed size in pixels.
constexpr int kPasswordWidth = 240, kPasswordHeight = 120;

// One white brush for the caption of the DMI dialog, made on first use and kept for the run:
// a brush per WM_CTLCOLORSTATIC would leak one GDI object every time the caption is drawn.
HBRUSH CaptionBrush() {
  static HBRUSH brush = CreateSolidBrush(kCaptionWhite);
  return brush;
}

void CentreDialog(HWND dialog) {
  RECT placed;
  CentreWindow(dialog, &placed);
}

void ShowFields(HWND dialog, const DmiFieldTexts& shown) {
  for (int i = 0; i < kDmiEntryFieldCount; ++i) {
    SetDlgItemTextA(dialog, kDmiEntryFieldIds[i], shown.Field(i));
  }
}

void EnableEntryFields(HWND dialog, bool on) {
  for (int id : kDmiEntryFieldIds) EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

void SelectDmiMode(HWND dialog, DmiModeValue mode) {
  SetDlgItemTextA(dialog, kIdcDmiModeCaption, DmiModeCaption(mode));
  DmiFieldTexts shown;
  ShowDmiForMode(mode, &shown);
  ShowFields(dialog, shown);
  EnableEntryFields(dialog, DmiEntryFieldsEnabled(mode));
}

}  // namespace

HINSTANCE ResourceInstance() {
  if (Startup.InstanceHandle != nullptr) return static_cast<HINSTANCE>(Startup.InstanceHandle);
  return GetModuleHandleA(nullptr);
}

INT_PTR CALLBACK OptionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      OptionChecks checks = OptionDialogChecks();
      SendDlgItemMessageA(dialog, kIdcAutoBackup, BM_SETCHECK, checks.AutoBackup, 0);
      SendDlgItemMessageA(dialog, kIdcAutoVerify, BM_SETCHECK, checks.AutoVerify, 0);
      SendDlgItemMessageA(dialog, kIdcAutoBlankCheck, BM_SETCHECK, checks.AutoBlankCheck, 0);
      CentreDialog(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          OptionChecks ticked;
          auto state = [dialog](int id) {
            return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1u : 0u;
          };
          ticked.AutoBackup = state(kIdcAutoBackup);
          ticked.AutoVerify = state(kIdcAutoVerify);
          ticked.AutoBlankCheck = state(kIdcAutoBlankCheck);
          EndDialog(dialog, ConfirmOptionDialog(ticked));
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, kOptionDialogCancelled);
          return TRUE;
        case kIdcDmiSettings:
          DialogBoxParamA(ResourceInstance(), "DMI_SET_BOX", dialog, DmiSettingsDialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void RunOptionDialog(HWND owner) {
  DialogBoxParamA(ResourceInstance(), "OPTION_BOX", owner, OptionDialog, 0);
}

INT_PTR CALLBACK DmiSettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      CentreDialog(dialog);
      const int current = DmiRadioOfMode(DmiStrings.DmiMode);
      for (int id : {kIdcDmiKeepCurrent, kIdcDmiDontKeep, kIdcDmiNewStrings}) {
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, id == current ? BST_CHECKED : BST_UNCHECKED,
                            0);
      }
      // As if the current mode's radio had been clicked: caption, fields and flags follow it.
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(current, BN_CLICKED), 0);
      uint32_t limits[kDmiEntryFieldCount];
      DmiEntryFieldLimits(limits);
      for (int i = 0; i < kDmiEntryFieldCount; ++i) {
        SendDlgItemMessageA(dialog, kDmiEntryFieldIds[i], EM_LIMITTEXT, limits[i], 0);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      DmiModeValue mode;
      if (DmiModeOfRadio(id, &mode)) {
        SelectDmiMode(dialog, mode);
        return TRUE;
      }
      if (id == IDOK) {
        DmiFieldTexts typed;
        for (int i = 0; i < kDmiEntryFieldCount; ++i) {
          GetDlgItemTextA(dialog, kDmiEntryFieldIds[i], typed.Field(i), kDmiCopySize);
        }
        EndDialog(dialog, ConfirmDmiSettings(typed));
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kIdcDmiModeCaption) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wParam), kCaptionRed);
      SetBkColor(reinterpret_cast<HDC>(wParam), kCaptionWhite);
      return reinterpret_cast<INT_PTR>(CaptionBrush());
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PasswordDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      HDC screen = GetDC(GetDesktopWindow());
      const int width = GetDeviceCaps(screen, HORZRES);
      const int height = GetDeviceCaps(screen, VERTRES);
      ReleaseDC(GetDesktopWindow(), screen);
      MoveWindow(dialog, (width - kPasswordWidth) / 2, (height - kPasswordHeight) / 2,
                 kPasswordWidth, kPasswordHeight, TRUE);
      SendDlgItemMessageA(dialog, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kPasswordMaxLength, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          char typed[kPasswordEntrySize] = {};
          GetDlgItemTextA(dialog, IDC_PASSWORD_EDIT, typed, sizeof typed);
          // An empty entry is told about here, over the dialog, which stays open.
          if (AcceptPasswordEntry(dialog, typed) != 1) return TRUE;
          auto* entry = reinterpret_cast<PasswordEntry*>(GetWindowLongPtrA(dialog, DWLP_USER));
          if (entry != nullptr && entry->size > 0) {
            std::memset(entry->text, 0, entry->size);
            std::memcpy(entry->text, typed, strnlen(typed, entry->size - 1));
          }
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK ShutdownDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
      InitCommonControlsEx(&classes);
      HWND bar =
          CreateWindowExA(0, PROGRESS_CLASSA, "Progress Bar", WS_CHILD | WS_VISIBLE | WS_BORDER,
                          kShutdownBarX, kShutdownBarY, kShutdownBarWidth, kShutdownBarHeight,
                          dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kShutdownBarId)),
                          ResourceInstance(), nullptr);
      SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SendMessageA(bar, PBM_SETSTEP, kShutdownBoxProgressStep, 0);
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(bar));
      SetTimer(dialog, IDT_SHUTDOWN, kShutdownBoxTimerMs, nullptr);
      return TRUE;
    }
    case WM_TIMER: {
      if (wParam != IDT_SHUTDOWN) return FALSE;
      if (ShutdownBoxTick() == 1) {
        KillTimer(dialog, IDT_SHUTDOWN);
        EndDialog(dialog, kShutdownEndElapsed);
        return TRUE;
      }
      char text[kShutdownBoxTextSize];
      ShutdownBoxText(text);
      SetDlgItemTextA(dialog, IDC_SHUTDOWN_TEXT, text);
      SendMessageA(reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER)), PBM_STEPIT, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          KillTimer(dialog, IDT_SHUTDOWN);
          EndDialog(dialog, kShutdownEndNow);
          return TRUE;
        case IDCANCEL:
          KillTimer(dialog, IDT_SHUTDOWN);
          EndDialog(dialog, kShutdownEndClosed);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace ql
