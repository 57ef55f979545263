// For the display benchmark: waits for the window titled TITLE, prints when it was found (seconds
// since 1970) and presses its button ID.
//   click_button TITLE ID
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: click_button TITLE ID\n");
    return 2;
  }
  // The window by its title; the button by its id.
  for (int i = 0; i < 6000; ++i) {
    HWND window = FindWindowA(nullptr, argv[1]);
    HWND button = window != nullptr ? GetDlgItem(window, std::atoi(argv[2])) : nullptr;
    if (button != nullptr) {
      // When the window was found, in seconds since 1970, for timing runs from outside.
      FILETIME now;
      GetSystemTimePreciseAsFileTime(&now);
      const unsigned long long ticks =
          (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
      std::printf("found at %.3f\n", (ticks - 116444736000000000ULL) / 1e7);
      PostMessageA(button, BM_CLICK, 0, 0);
      return 0;
    }
    Sleep(5);
  }
  std::printf("no button %s in \"%s\"\n", argv[2], argv[1]);
  return 1;
}
