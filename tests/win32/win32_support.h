// What the Win32 tests share: the program's own module for its templates and pictures, and
// scripts run inside the modal loop a dialog under test enters.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win.h"

namespace ql::testing {

// quorrelite.exe beside this program, loaded once for its resources only.
inline HMODULE ProgramModule() {
  static HMODULE module = [] {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    dir.resize(dir.find_last_of('\\') + 1);
    return LoadLibraryExA((dir + "quorrelite.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }();
  return module;
}

// Dispatches what is queued; with a dialog, its keys go through the dialog manager first.
inline void Pump(HWND dialog = nullptr) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Runs `script` from a thread timer, inside whatever loop runs then, once `ready` answers true
// (asked every 50 ms; without `ready`, at the first tick). The timer's procedure cannot carry a
// closure: the script waits in one slot of the test thread, emptied before it runs so that the
// script can set the next one. A named procedure, not a lambda: the i686 build's timer procedures
// are stdcall, which a lambda does not convert to.
struct PendingScript {
  std::function<bool()> ready;
  std::function<void()> script;
};
inline PendingScript& Pending() {
  static PendingScript pending;
  return pending;
}
inline void CALLBACK RunWhenReady(HWND, UINT, UINT_PTR id, DWORD) {
  PendingScript& pending = Pending();
  if (pending.ready && !pending.ready()) return;
  KillTimer(nullptr, id);
  auto run = std::move(pending.script);
  pending = PendingScript{};
  if (run) run();
}
inline void WhenReady(std::function<bool()> ready, std::function<void()> script) {
  Pending() = {std::move(ready), std::move(script)};
  SetTimer(nullptr, 0, 50, RunWhenReady);
}
inline void WhileModal(std::function<void()> script) {
  WhenReady(nullptr, std::move(script));
}

// Hands the top-level window captioned `caption` to `script` inside the next modal loop. The
// answer says afterwards whether the window was there: a dialog that never opened fails the test
// instead of passing for want of checks.
inline std::shared_ptr<bool> WhileDialog(const char* caption, std::function<void(HWND)> script) {
  auto seen = std::make_shared<bool>(false);
  WhileModal([=] {
    HWND window = FindWindowA(nullptr, caption);
    *seen = window != nullptr;
    if (window == nullptr) {
      ADD_FAILURE() << "no window \"" << caption << "\"";
      return;
    }
    script(window);
  });
  return seen;
}

inline std::string Text(HWND window, int id) {
  char text[256] = {};
  GetDlgItemTextA(window, id, text, sizeof text);
  return text;
}

inline void Click(HWND window, int id) {
  SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

}  // namespace ql::testing
