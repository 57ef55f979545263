#include "app/win32/main_window.h"

#include "app/win32/aux_windows.h"
#include "app/win32/dialogs.h"
#include "resources/resource_ids.h"

namespace ql {

static_assert(kWmPaint == WM_PAINT && kWmClose == WM_CLOSE &&
              kWmQueryEndSession == WM_QUERYENDSESSION && kWmCommand == WM_COMMAND &&
              kWmSysCommand == WM_SYSCOMMAND && kWmLButtonDown == WM_LBUTTONDOWN &&
              kWmPowerBroadcast == WM_POWERBROADCAST && kWmDropFiles == WM_DROPFILES &&
              kWmApp == WM_APP && kScClose == SC_CLOSE &&
              kPbtApmQuerySuspend == PBT_APMQUERYSUSPEND &&
              kPbtApmQueryStandby == PBT_APMQUERYSTANDBY &&
              kBroadcastQueryDeny == BROADCAST_QUERY_DENY);
static_assert(kWmClosedBySystem != kWmDesktopCall && kWmClosedBySystem != kWmJobEnded &&
              kWmDesktopCall != kWmJobEnded);

namespace {

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

}  // namespace

MainWindow::MainWindow(Program& program, Win32Desktop& desktop)
    : program_(program), desktop_(desktop), skin_(program.progress()) {
  desktop_.Show(&skin_);
}

MainWindow::~MainWindow() {
  desktop_.CarryTo(nullptr);
  desktop_.Show(nullptr);
}

INT_PTR MainWindow::Run() {
  return DialogBoxParamA(desktop_.Resources(), "QUORRELITE_BOX", GetDesktopWindow(), &Procedure,
                         reinterpret_cast<LPARAM>(this));
}

bool MainWindow::CloseBySystem() {
  if (window_ == nullptr || !IsWindow(window_)) return false;
  PostMessageA(window_, kWmClosedBySystem, 0, 0);
  return true;
}

INT_PTR CALLBACK MainWindow::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<MainWindow*>(lParam);
    self->window_ = dialog;
    self->desktop_.CarryTo(dialog);
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (self == nullptr) return FALSE;  // the messages before WM_INITDIALOG
  return self->Handle(message, wParam, lParam);
}

CommandSource MainWindow::SourceOf(HWND control) const {
  if (control == nullptr) return CommandSource::kOther;
  constexpr Control kButtons[] = {Control::kLoad, Control::kBackup, Control::kOption,
                                  Control::kHelp, Control::kFlash,  Control::kExit};
  constexpr CommandSource kSources[] = {CommandSource::kLoad,   CommandSource::kBackup,
                                        CommandSource::kOption, CommandSource::kHelp,
                                        CommandSource::kFlash,  CommandSource::kExit};
  for (int i = 0; i < kSkinButtonCount; ++i) {
    if (control == skin_.Button(kButtons[i])) return kSources[i];
  }
  return CommandSource::kOther;
}

FocusHolder MainWindow::HolderOf(HWND focus) const {
  if (focus == nullptr) return FocusHolder::kOther;
  if (focus == skin_.Window(SkinItem::kBlockMap)) return FocusHolder::kBlockMap;
  if (focus == skin_.Window(SkinItem::kPhaseItem)) return FocusHolder::kPhaseItem;
  return FocusHolder::kOther;
}

void MainWindow::SendButtonCommand(Control button, int id) {
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(skin_.Button(button)));
}

void MainWindow::Initialise() {
  StartSplash(window_, desktop_.Resources());
  char caption[kWindowCaptionSize];
  WindowCaption(program_.startup(), caption, sizeof caption);
  SetWindowTextA(window_, caption);
  skin_.Create(window_, desktop_.Resources());
  HDC screen = GetDC(GetDesktopWindow());
  const int screenWidth = GetDeviceCaps(screen, HORZRES);
  const int screenHeight = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(GetDesktopWindow(), screen);
  WindowPoint origin = MainWindowOrigin(screenWidth, screenHeight);
  MoveWindow(window_, origin.x, origin.y, kMainWindowSize, kMainWindowSize, TRUE);
  program_.Initialise(window_);
  // The empty cell grid shows before anything is loaded.
  SendMessageA(skin_.Window(SkinItem::kBlockMap), WM_PAINT, 0, 0);
  DragAcceptFiles(window_, TRUE);
  SetFocus(skin_.Button(Control::kLoad));
}

void MainWindow::StartJob(CommandAction action) {
  jobRunning_ = true;
  jobAction_ = action;
  desktop_.HoldSystem(true);
  HANDLE thread = CreateThread(nullptr, 0, &JobThread, this, 0, nullptr);
  if (thread != nullptr) {
    // The thread tells its end by kWmJobEnded; nothing waits on its handle.
    CloseHandle(thread);
    return;
  }
  // No thread to be had: the job runs here, as the program always could, and the window does
  // not answer until it ends.
  RunJob();
  EndJob();
}

DWORD WINAPI MainWindow::JobThread(LPVOID self) {
  auto* window = static_cast<MainWindow*>(self);
  window->RunJob();
  // Sent, not posted: it cannot be lost, and once it returns the job touches nothing more.
  SendMessageA(window->window_, kWmJobEnded, 0, 0);
  return 0;
}

void MainWindow::RunJob() {
  if (jobAction_ == CommandAction::kFlash) {
    program_.FlashCommand(window_);
  } else {
    program_.BackupCommand(window_);
  }
}

void MainWindow::EndJob() {
  jobRunning_ = false;
  desktop_.HoldSystem(false);
  if (program_.RunOver() || closeAfterJob_) {
    closeAfterJob_ = false;
    CloseBySystem();
  }
}

INT_PTR MainWindow::HandleDuringJob(const JobAnswer& answer, WPARAM wParam) {
  switch (answer.action) {
    case JobMessage::kAsUsual:
    case JobMessage::kDefaultOnly:
      return FALSE;
    case JobMessage::kAnswered:
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, answer.result);
      return TRUE;
    case JobMessage::kDropRefused:
      DragFinish(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case JobMessage::kCloseAfterJob:
      closeAfterJob_ = true;
      return TRUE;
  }
  return FALSE;
}

void MainWindow::Exit() {
  program_.ExitCommand(window_);
  EndDialog(window_, 1);
}

void MainWindow::Command(WPARAM wParam, LPARAM lParam) {
  const CommandSource source = SourceOf(reinterpret_cast<HWND>(lParam));
  switch (DispatchCommand(HIWORD(wParam), source)) {
    case CommandAction::kNone:
      return;
    case CommandAction::kFocusWrap:
      switch (FocusWrapTarget(source, HolderOf(GetFocus()))) {
        case CommandSource::kLoad:
          SetFocus(skin_.Button(Control::kLoad));
          return;
        case CommandSource::kExit:
          SetFocus(skin_.Button(Control::kExit));
          return;
        default:
          return;
      }
    case CommandAction::kLoad:
      program_.LoadCommand(window_);
      return;
    case CommandAction::kBackup:
      StartJob(CommandAction::kBackup);
      return;
    case CommandAction::kOption:
      ShowOptionDialog(desktop_.Resources(), window_, program_);
      return;
    case CommandAction::kHelp:
      ShowHelp(window_, desktop_.Resources(), program_.startup().ProgramDirectory);
      return;
    case CommandAction::kFlash:
      StartJob(CommandAction::kFlash);
      return;
    case CommandAction::kExit:
      Exit();
      return;
  }
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (jobRunning_) {
    const JobAnswer answer = AnswerDuringJob(message, wParam, desktop_.SystemHeld());
    if (answer.action != JobMessage::kAsUsual) return HandleDuringJob(answer, wParam);
  }
  switch (message) {
    case WM_INITDIALOG:
      Initialise();
      return TRUE;
    case WM_PAINT:
      if (program_.FirstPaint(window_)) SendButtonCommand(Control::kFlash, IDC_FLASH_BUTTON);
      return FALSE;
    case WM_DRAWITEM:
      return skin_.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_COMMAND:
      Command(wParam, lParam);
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendButtonCommand(Control::kExit, IDC_EXIT_BUTTON);
      return FALSE;
    case WM_LBUTTONDOWN:
      drag_.Begin(SignedWord(LOWORD(lParam)), SignedWord(HIWORD(lParam)));
      SetCapture(window_);
      return FALSE;
    case WM_MOUSEMOVE: {
      RECT r;
      GetWindowRect(window_, &r);
      WindowPoint origin;
      if (drag_.Move(r.left, r.top, SignedWord(LOWORD(lParam)), SignedWord(HIWORD(lParam)),
                     &origin)) {
        MoveWindow(window_, origin.x, origin.y, r.right - r.left, r.bottom - r.top, TRUE);
      }
      return FALSE;
    }
    case WM_LBUTTONUP:
      if (drag_.End()) ReleaseCapture();
      return FALSE;
    case WM_DROPFILES: {
      Win32DroppedFiles drop(reinterpret_cast<HDROP>(wParam));
      program_.DropFilesCommand(window_, drop);
      return FALSE;
    }
    case kWmClosedBySystem:
      // The system's close after a restart request: the run's resources go back as at Exit.
      Exit();
      return TRUE;
    case kWmDesktopCall:
      Win32Desktop::RunCarriedCall(lParam);
      return TRUE;
    case kWmJobEnded:
      EndJob();
      return TRUE;
    case WM_SETCURSOR:
      if (!desktop_.ShowChosenCursor()) return FALSE;
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace ql
