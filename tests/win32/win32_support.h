// What the Win32 tests share: the program's own module for its templates and pictures, a
// temporary folder of the platform's, and the windows of a thread found by caption.
#pragma once

#include <string>

#include "platform/win32/win.h"

namespace ql::testing {

// quorrelite.exe beside this program, loaded for its resources only.
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

// A folder named `name` in the platform's temporary folder, created when missing.
inline std::string TempFolderNamed(const char* name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  std::string folder = std::string(dir) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A window of this thread whose caption is `caption`, or null.
inline HWND FindThreadWindow(DWORD thread, const char* caption) {
  struct Search {
    const char* caption;
    HWND found;
  } search{caption, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        char text[64] = {};
        GetWindowTextA(w, text, sizeof(text));
        if (std::string(text) != s->caption) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace ql::testing
