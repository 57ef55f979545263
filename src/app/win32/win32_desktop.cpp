#include "app/win32/win32_desktop.h"

#include <utility>

#include "app/win32/dialogs.h"

namespace ql {
namespace {

// One desktop call carried to the window's thread.
class WindowThreadCall {
 public:
  virtual void Run() = 0;

 protected:
  ~WindowThreadCall() = default;
};

template <typename Call>
class CarriedCall final : public WindowThreadCall {
 public:
  explicit CarriedCall(Call& call) : call_(call) {}
  void Run() override {
    result_ = call_();
    ran_ = true;
  }
  bool ran() const { return ran_; }
  decltype(std::declval<Call&>()()) result() const { return result_; }

 private:
  Call& call_;
  decltype(std::declval<Call&>()()) result_{};
  bool ran_ = false;
};

// SetThreadExecutionState came with Windows 98 and 2000; 95 and NT 4 lack it, and a program that
// imported it would not start there. Looked up where it runs; without it the system has no idle
// sleep to hold off.
void KeepSystemAwake(bool awake) {
  using SetExecutionState = DWORD(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetThreadExecutionState") : nullptr;
  if (found == nullptr) return;
  auto set = reinterpret_cast<SetExecutionState>(reinterpret_cast<void*>(found));
  // The display stays on too: a dark screen mid-flash invites a press of the power button.
  set(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED : ES_CONTINUOUS);
}

OPENFILENAMEA ToOpenFileName(const FileDialogRequest& r) {
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = static_cast<HWND>(r.owner);
  ofn.lpstrFilter = r.filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = r.fileName;
  ofn.nMaxFile = r.fileNameSize;
  ofn.lpstrInitialDir = r.initialDirectory;
  ofn.lpstrTitle = r.title;
  ofn.lpstrDefExt = r.defaultExtension;
  ofn.Flags = r.flags;
  return ofn;
}

}  // namespace

Win32Desktop::~Win32Desktop() {
  HoldSystem(false);
}

void Win32Desktop::CarryTo(HWND window) {
  carrier_ = window;
  carrierThread_ = window != nullptr ? GetWindowThreadProcessId(window, nullptr) : 0;
}

void Win32Desktop::RunCarriedCall(LPARAM call) {
  reinterpret_cast<WindowThreadCall*>(call)->Run();
}

template <typename Call>
auto Win32Desktop::OnWindowThread(Call call) -> decltype(call()) {
  if (carrier_ == nullptr || GetCurrentThreadId() == carrierThread_) return call();
  // The caller waits while the window's thread runs the call; its own thread owns no window, so
  // nothing else is asked of it meanwhile.
  CarriedCall<Call> carried(call);
  SendMessageA(carrier_, kWmDesktopCall, 0,
               reinterpret_cast<LPARAM>(static_cast<WindowThreadCall*>(&carried)));
  if (carried.ran()) return carried.result();
  // Not reached while the window waits for every job it starts; a call that found no window to
  // run on is made here rather than lost.
  return call();
}

bool Win32Desktop::ShowChosenCursor() const {
  if (cursor_ == CursorShape::kArrow) return false;
  HCURSOR cursor = LoadCursorA(resources_, kAtOnceCursor);
  if (cursor == nullptr) return false;
  ::SetCursor(cursor);
  return true;
}

void Win32Desktop::HoldSystem(bool held) {
  if (held == held_) return;
  held_ = held;
  KeepSystemAwake(held);
}

int Win32Desktop::ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                 uint32_t style) {
  return OnWindowThread(
      [&] { return MessageBoxA(static_cast<HWND>(owner), text, caption, style); });
}

bool Win32Desktop::ChooseOpenFile(const FileDialogRequest& request) {
  return OnWindowThread([&] {
    OPENFILENAMEA ofn = ToOpenFileName(request);
    return GetOpenFileNameA(&ofn) != FALSE;
  });
}

bool Win32Desktop::ChooseSaveFile(const FileDialogRequest& request) {
  return OnWindowThread([&] {
    OPENFILENAMEA ofn = ToOpenFileName(request);
    return GetSaveFileNameA(&ofn) != FALSE;
  });
}

bool Win32Desktop::AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) {
  return OnWindowThread([&] {
    return ShowPasswordDialog(resources_, static_cast<HWND>(owner), *this, entry, entrySize);
  });
}

ShutdownBoxEnd Win32Desktop::RunShutdownBox(WindowHandle owner, int seconds) {
  return OnWindowThread([&] {
    HoldSystem(false);
    return ShowShutdownBox(resources_, static_cast<HWND>(owner), seconds);
  });
}

void Win32Desktop::EnableControl(Control control, bool enabled) {
  OnWindowThread([&] {
    if (skin_ == nullptr) return false;
    HWND button = skin_->Button(control);
    return button != nullptr && EnableWindow(button, enabled ? TRUE : FALSE) != FALSE;
  });
}

void Win32Desktop::Repaint(ProgressItem item) {
  OnWindowThread([&] {
    if (skin_ != nullptr) skin_->Repaint(item);
    return skin_ != nullptr;
  });
}

CursorShape Win32Desktop::SetCursor(CursorShape shape) {
  return OnWindowThread([&] {
    HCURSOR cursor = shape == CursorShape::kAtOnce
                         ? LoadCursorA(resources_, kAtOnceCursor)
                         : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    if (cursor != nullptr) ::SetCursor(cursor);
    CursorShape previous = cursor_;
    cursor_ = shape;
    return previous;
  });
}

void Win32Desktop::ReleaseSkin() {
  OnWindowThread([&] {
    if (skin_ != nullptr) skin_->Release();
    return skin_ != nullptr;
  });
}

}  // namespace ql
