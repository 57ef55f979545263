#include "app/win32/dialogs.h"

#include <commctrl.h>

#include <cstring>
#include <initializer_list>

#include "app/options.h"
#include "app/win32/aux_windows.h"
#include "bios/bios_session.h"
#include "dmi/dmi_settings.h"
#include "flash/power.h"
#include "resources/dialog_ids.h"

namespace ql {

static_assert(IDC_AUTO_BACKUP == kIdcAutoBackup && IDC_AUTO_VERIFY == kIdcAutoVerify &&
              IDC_AUTO_BLANK_CHECK == kIdcAutoBlankCheck && IDC_DMI_SETTINGS == kIdcDmiSettings &&
              IDC_WRITE_RECORDS == kIdcWriteRecords);
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

// How the shutdown box ended. None is 0 or -1, the answers of a dialog that could not be made,
// so a failure to show the box never reads as a countdown that ran out.
constexpr INT_PTR kShutdownEndElapsed = 0x51;
constexpr INT_PTR kShutdownEndNow = 0x52;
constexpr INT_PTR kShutdownEndClosed = 0x53;

// The password dialog's fixed size in pixels.
constexpr int kPasswordWidth = 240, kPasswordHeight = 120;

// What a dialog procedure works on: the record its runner handed over as the creation parameter,
// kept in the dialog's user data from WM_INITDIALOG on. Null for the messages before it.
template <typename Record>
Record* RecordOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  return reinterpret_cast<Record*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void CentreDialog(HWND dialog) {
  RECT placed;
  CentreWindow(dialog, &placed);
}

struct OptionDialog {
  HINSTANCE resources;
  Program& program;
};

INT_PTR CALLBACK OptionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  OptionDialog* self = RecordOf<OptionDialog>(dialog, message, lParam);
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      OptionChecks checks = self->program.OptionDialogChecks();
      auto tick = [dialog](int id, bool on) {
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
      };
      tick(kIdcAutoBackup, checks.AutoBackup);
      tick(kIdcAutoVerify, checks.AutoVerify);
      tick(kIdcAutoBlankCheck, checks.AutoBlankCheck);
      tick(kIdcWriteRecords, checks.WriteRecords);
      CentreDialog(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          auto ticked = [dialog](int id) {
            return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
          };
          self->program.ConfirmOptionDialog(
              OptionChecks{ticked(kIdcAutoBackup), ticked(kIdcAutoVerify),
                           ticked(kIdcAutoBlankCheck), ticked(kIdcWriteRecords)});
          EndDialog(dialog, kOptionDialogConfirmed);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, kOptionDialogCancelled);
          return TRUE;
        case kIdcDmiSettings:
          ShowDmiSettingsDialog(self->resources, dialog, self->program);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

struct DmiDialog {
  Program& program;
  // One white brush for the caption, kept while the dialog is open: a brush per
  // WM_CTLCOLORSTATIC would leak one GDI object every time the caption is drawn.
  HBRUSH captionBrush;
};

void SelectDmiMode(HWND dialog, Program& program, DmiModeValue mode) {
  SetDlgItemTextA(dialog, kIdcDmiModeCaption, DmiModeCaption(mode));
  DmiFieldTexts shown;
  program.ShowDmiForMode(mode, &shown);
  for (int i = 0; i < kDmiEntryFieldCount; ++i) {
    SetDlgItemTextA(dialog, kDmiEntryFieldIds[i], shown.Field(i));
  }
  const BOOL enabled = DmiEntryFieldsEnabled(mode) ? TRUE : FALSE;
  for (int id : kDmiEntryFieldIds) EnableWindow(GetDlgItem(dialog, id), enabled);
}

INT_PTR CALLBACK DmiSettingsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DmiDialog* self = RecordOf<DmiDialog>(dialog, message, lParam);
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      CentreDialog(dialog);
      const int current = DmiRadioOfMode(self->program.DmiMode());
      for (int id : {kIdcDmiKeepCurrent, kIdcDmiDontKeep, kIdcDmiNewStrings}) {
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, id == current ? BST_CHECKED : BST_UNCHECKED,
                            0);
      }
      // As if the current mode's radio had been clicked: caption, fields and flags follow it.
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(current, BN_CLICKED), 0);
      uint32_t limits[kDmiEntryFieldCount];
      self->program.DmiEntryFieldLimits(limits);
      for (int i = 0; i < kDmiEntryFieldCount; ++i) {
        SendDlgItemMessageA(dialog, kDmiEntryFieldIds[i], EM_LIMITTEXT, limits[i], 0);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      DmiModeValue mode;
      if (DmiModeOfRadio(id, &mode)) {
        SelectDmiMode(dialog, self->program, mode);
        return TRUE;
      }
      if (id == IDOK) {
        DmiFieldTexts typed;
        for (int i = 0; i < kDmiEntryFieldCount; ++i) {
          GetDlgItemTextA(dialog, kDmiEntryFieldIds[i], typed.Field(i), kDmiCopySize);
        }
        self->program.ConfirmDmiSettings(typed);
        EndDialog(dialog, 1);
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
      return reinterpret_cast<INT_PTR>(self->captionBrush);
    default:
      return FALSE;
  }
}

struct PasswordDialog {
  Desktop& desktop;
  char* entry;
  uint32_t entrySize;
};

INT_PTR CALLBACK PasswordProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PasswordDialog* self = RecordOf<PasswordDialog>(dialog, message, lParam);
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
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
          // An empty entry is told about here, over the dialog, which stays open. The session
          // makes the same check for an entry that reaches it.
          if (typed[0] == '\0') {
            ProgramMessage(self->desktop, dialog, kMsgEnterPassword, kMbIconHand);
            return TRUE;
          }
          if (self->entrySize > 0) {
            std::memset(self->entry, 0, self->entrySize);
            std::memcpy(self->entry, typed, strnlen(typed, self->entrySize - 1));
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

struct ShutdownBox {
  HINSTANCE resources;
  ShutdownCountdown countdown;
  HWND bar = nullptr;
};

INT_PTR CALLBACK ShutdownProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ShutdownBox* self = RecordOf<ShutdownBox>(dialog, message, lParam);
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
      InitCommonControlsEx(&classes);
      self->bar = CreateWindowExA(
          0, PROGRESS_CLASSA, "Progress Bar", WS_CHILD | WS_VISIBLE | WS_BORDER, kShutdownBarX,
          kShutdownBarY, kShutdownBarWidth, kShutdownBarHeight, dialog,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kShutdownBarId)), self->resources, nullptr);
      SendMessageA(self->bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SendMessageA(self->bar, PBM_SETSTEP, kShutdownBoxProgressStep, 0);
      SetTimer(dialog, IDT_SHUTDOWN, kShutdownBoxTimerMs, nullptr);
      return TRUE;
    }
    case WM_TIMER: {
      if (wParam != IDT_SHUTDOWN) return FALSE;
      if (self->countdown.Tick()) {
        KillTimer(dialog, IDT_SHUTDOWN);
        EndDialog(dialog, kShutdownEndElapsed);
        return TRUE;
      }
      char text[kShutdownBoxTextSize];
      self->countdown.Text(text);
      SetDlgItemTextA(dialog, IDC_SHUTDOWN_TEXT, text);
      SendMessageA(self->bar, PBM_STEPIT, 0, 0);
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

}  // namespace

void ShowOptionDialog(HINSTANCE resources, HWND owner, Program& program) {
  OptionDialog dialog{resources, program};
  DialogBoxParamA(resources, "OPTION_BOX", owner, OptionProcedure,
                  reinterpret_cast<LPARAM>(&dialog));
}

INT_PTR ShowDmiSettingsDialog(HINSTANCE resources, HWND owner, Program& program) {
  DmiDialog dialog{program, CreateSolidBrush(kCaptionWhite)};
  INT_PTR end = DialogBoxParamA(resources, "DMI_SET_BOX", owner, DmiSettingsProcedure,
                                reinterpret_cast<LPARAM>(&dialog));
  DeleteObject(dialog.captionBrush);
  return end;
}

bool ShowPasswordDialog(HINSTANCE resources, HWND owner, Desktop& desktop, char* entry,
                        uint32_t entrySize) {
  PasswordDialog dialog{desktop, entry, entrySize};
  INT_PTR end = DialogBoxParamA(resources, "PASSWORD_BOX", owner, PasswordProcedure,
                                reinterpret_cast<LPARAM>(&dialog));
  // A dialog that could not be made is no password: the session ends as after EXIT.
  return end == 1;
}

ShutdownBoxEnd ShowShutdownBox(HINSTANCE resources, HWND owner, int seconds) {
  ShutdownBox box{resources, ShutdownCountdown(seconds)};
  INT_PTR end = DialogBoxParamA(resources, "SHUTDOWN_BOX", owner, ShutdownProcedure,
                                reinterpret_cast<LPARAM>(&box));
  switch (end) {
    case kShutdownEndElapsed:
      return ShutdownBoxEnd::kCountdownElapsed;
    case kShutdownEndNow:
      return ShutdownBoxEnd::kShutdownNow;
    case -1:  // the template or the window could not be made
    case 0:   // no owner to show it over
      return ShutdownBoxEnd::kNotShown;
    default:
      return ShutdownBoxEnd::kClosed;
  }
}

}  // namespace ql
