#include "app/win32/main_window.h"

#include "app/main_controller.h"
#include "app/win32/aux_windows.h"
#include "app/win32/dialogs.h"
#include "flash/backup.h"
#include "platform/platform.h"
#include "resources/resource_ids.h"
#include "skin/win32/skin.h"

namespace ql {
namespace {

CommandSource SourceOf(HWND control) {
  if (control == nullptr) return CommandSource::kOther;
  const Control buttons[] = {Control::kLoad, Control::kBackup, Control::kOption,
                             Control::kHelp, Control::kFlash,  Control::kExit};
  const CommandSource sources[] = {CommandSource::kLoad,   CommandSource::kBackup,
                                   CommandSource::kOption, CommandSource::kHelp,
                                   CommandSource::kFlash,  CommandSource::kExit};
  for (int i = 0; i < 6; ++i) {
    if (control == SkinButton(buttons[i])) return sources[i];
  }
  return CommandSource::kOther;
}

FocusHolder HolderOf(HWND focus) {
  if (focus != nullptr && focus == Skin.blockMap) return FocusHolder::kBlockMap;
  if (focus != nullptr && focus == Skin.phaseItem) return FocusHolder::kPhaseItem;
  return FocusHolder::kOther;
}

// A command "as if the button had sent it": the same message the button's click sends.
void SendButtonCommand(HWND dialog, Control button, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(SkinButton(button)));
}

class Win32DroppedFiles final : public DroppedFiles {
 public:
  explicit Win32DroppedFiles(HDROP drop) : drop_(drop) {}
  uint32_t Count() override { return DragQueryFileA(drop_, 0xFFFFFFFF, nullptr, 0); }
  uint32_t FirstNameLength() override { return DragQueryFileA(drop_, 0, nullptr, 0); }
  uint32_t CopyFirstName(char* name, uint32_t size) override {
    return DragQueryFileA(drop_, 0, name, size);
  }
  void Finish() override { DragFinish(drop_); }

 private:
  HDROP drop_;
};

void Initialise(HWND dialog) {
  HANDLE splash = CreateThread(nullptr, 0, SplashThread, dialog, 0, nullptr);
  if (splash != nullptr) CloseHandle(splash);
  MainController.FirstPaintDone = 0;
  SetWindowTextA(dialog, "Quorrelite");
  CreateSkin(dialog);
  HDC screen = GetDC(GetDesktopWindow());
  MainController.ScreenWidth = GetDeviceCaps(screen, HORZRES);
  MainController.ScreenHeight = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(GetDesktopWindow(), screen);
  WindowPoint origin = MainWindowOrigin(MainController.ScreenWidth, MainController.ScreenHeight);
  MoveWindow(dialog, origin.x, origin.y, kMainWindowSize, kMainWindowSize, TRUE);
  InitialiseMainWindow(dialog);
  // The empty cell grid shows before anything is loaded.
  SendMessageA(Skin.blockMap, WM_PAINT, 0, 0);
  DragAcceptFiles(dialog, TRUE);
  SetFocus(SkinButton(Control::kLoad));
}

void Command(HWND dialog, WPARAM wParam, LPARAM lParam) {
  const CommandSource source = SourceOf(reinterpret_cast<HWND>(lParam));
  switch (DispatchCommand(HIWORD(wParam), source)) {
    case CommandAction::kNone:
      return;
    case CommandAction::kFocusWrap:
      switch (FocusWrapTarget(source, HolderOf(GetFocus()))) {
        case CommandSource::kLoad:
          SetFocus(SkinButton(Control::kLoad));
          return;
        case CommandSource::kExit:
          SetFocus(SkinButton(Control::kExit));
          return;
        default:
          return;
      }
    case CommandAction::kLoad:
      LoadCommand(dialog);
      return;
    case CommandAction::kBackup:
      BackupBios(dialog);
      return;
    case CommandAction::kOption:
      RunOptionDialog(dialog);
      return;
    case CommandAction::kHelp:
      ShowHelp(dialog);
      return;
    case CommandAction::kFlash:
      FlashCommand(dialog);
      return;
    case CommandAction::kExit:
      ExitCommand(dialog);
      EndDialog(dialog, 1);
      return;
  }
}

}  // namespace

INT_PTR CALLBACK MainWindowController(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  MainController.MainWindow = dialog;
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog);
      return TRUE;
    case WM_PAINT:
      if (FirstPaint(dialog)) SendButtonCommand(dialog, Control::kFlash, IDC_FLASH_BUTTON);
      return FALSE;
    case WM_DRAWITEM:
      return DrawSkinItem(dialog, wParam, lParam);
    case WM_COMMAND:
      Command(dialog, wParam, lParam);
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendButtonCommand(dialog, Control::kExit, IDC_EXIT_BUTTON);
      return FALSE;
    case WM_LBUTTONDOWN:
      BeginDrag(SignedWord(LOWORD(lParam)), SignedWord(HIWORD(lParam)));
      SetCapture(dialog);
      return FALSE;
    case WM_MOUSEMOVE: {
      RECT r;
      GetWindowRect(dialog, &r);
      WindowPoint origin;
      if (DragMove(r.left, r.top, SignedWord(LOWORD(lParam)), SignedWord(HIWORD(lParam)),
                   &origin)) {
        MoveWindow(dialog, origin.x, origin.y, r.right - r.left, r.bottom - r.top, TRUE);
      }
      return FALSE;
    }
    case WM_LBUTTONUP:
      if (EndDrag()) ReleaseCapture();
      return FALSE;
    case WM_DROPFILES: {
      Win32DroppedFiles drop(reinterpret_cast<HDROP>(wParam));
      DropFilesCommand(dialog, drop);
      return FALSE;
    }
    case kWmClosedBySystem:
      // The system's close after a restart request: the run's resources go back as at Exit.
      ExitCommand(dialog);
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR RunMainDialog() {
  return DialogBoxParamA(ResourceInstance(), "QUORRELITE_BOX", GetDesktopWindow(),
                         MainWindowController, 0);
}

void CloseProgramBySystem() {
  ProgramClosedBySystem();
  HWND main = static_cast<HWND>(MainController.MainWindow);
  if (main != nullptr && IsWindow(main)) {
    PostMessageA(main, kWmClosedBySystem, 0, 0);
    return;
  }
  TheMachine().ExitProcess(ExitStatusAfterMainDialog());
}

}  // namespace ql
