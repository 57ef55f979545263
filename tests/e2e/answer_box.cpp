// A person at the screen and the system around the program, for the end-to-end runs, acting from
// outside the program; each step prints what it found and exits 0 when it went as described.
//   answer_box option ID [SECONDS]  exit 0 when the option dialog came and went with box ID clicked
//   answer_box box TEXT [SECONDS]   exit 0 when the box was found and answered (TEXT ending in
//                                   '*': a box whose text starts with what comes before it)
//   answer_box close [SECONDS]      exit 0 when the main window was found and told to close; prints
//                                   its caption
//   answer_box guard PART [SECONDS]
//                                   exit 0 when the main window answered WM_NULL within 1 s every
//                                   100 ms until it was gone, and, once PART (the flash part's
//                                   file) was written, refused a shutdown and a suspend and let
//                                   neither Alt+F4 nor its Exit button end it, while the part was
//                                   written again afterwards
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/resource_ids.h"

namespace {

struct Search {
  const char* text = nullptr;     // null: the main window (a dialog without a message text)
  const char* caption = nullptr;  // a dialog with this caption, whatever its text
  HWND found = nullptr;
};

std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// A text ending in '*' matches every text that starts with what comes before it: a line's end
// cannot be handed over on a command line.
bool Matches(const std::string& text, const std::string& wanted) {
  if (wanted.empty() || wanted.back() != '*') return text == wanted;
  return text.rfind(wanted.substr(0, wanted.size() - 1), 0) == 0;
}

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  HWND message = GetDlgItem(window, 0xFFFF);
  if (search->caption != nullptr) {
    if (TextOf(window) == search->caption) search->found = window;
  } else if (search->text == nullptr) {
    RECT r;
    GetWindowRect(window, &r);
    const bool mainSize = r.right - r.left == 450 && r.bottom - r.top == 450;
    // The caption starts with the program's name; on a simulated machine it goes on to say so.
    if (message == nullptr && mainSize && TextOf(window).rfind("Quorrelite", 0) == 0) {
      search->found = window;
    }
  } else if (message != nullptr && Matches(TextOf(message), search->text)) {
    search->found = window;
  }
  return search->found == nullptr;
}

// Says why the step failed; its exit status.
int Fail(const std::string& why) {
  std::printf("%s\n", why.c_str());
  return 1;
}

HWND WaitFor(const char* text, int seconds, const char* caption = nullptr) {
  for (int i = 0; i < seconds * 10; ++i) {
    Search search;
    search.text = text;
    search.caption = caption;
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

// When the file was last written. Asked without opening it: the program opens the part's file
// for itself alone to write it through, and a reader holding it open would make that write fail.
ULONGLONG LastWritten(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// One question with a 1 s limit, as the system asks it; false when it went unanswered.
bool Ask(HWND window, UINT message, WPARAM wParam, DWORD_PTR* answer, DWORD* took) {
  const DWORD start = GetTickCount();
  const LRESULT done =
      SendMessageTimeoutA(window, message, wParam, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 1000, answer);
  *took = GetTickCount() - start;
  return done != 0;
}

int Guard(const char* partPath, int seconds) {
  HWND main = WaitFor(nullptr, seconds);
  if (main == nullptr) return Fail("no main window");
  const ULONGLONG before = LastWritten(partPath);
  ULONGLONG whenAsked = 0;  // the part's last write when the questions were asked; 0 before
  int failures = 0, pings = 0, pingsWhileFlashing = 0;
  DWORD slowest = 0;
  bool changedAfterAsking = false;
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
  while (IsWindow(main)) {
    if (GetTickCount() > deadline) {
      return Fail("the main window was still there after " + std::to_string(seconds) + " s");
    }
    DWORD_PTR answer = 0;
    DWORD took = 0;
    const bool answered = Ask(main, WM_NULL, 0, &answer, &took);
    if (!IsWindow(main)) break;  // it ended while being asked
    ++pings;
    if (!answered && ++failures <= 5) {
      std::printf("WM_NULL unanswered after %lu ms (ping %d)\n", took, pings);
    }
    if (took > slowest) slowest = took;
    const ULONGLONG part = LastWritten(partPath);
    if (whenAsked != 0) {
      ++pingsWhileFlashing;
      changedAfterAsking = changedAfterAsking || part != whenAsked;
    } else if (part != 0 && part != before) {
      whenAsked = part;
      if (!Ask(main, WM_QUERYENDSESSION, 0, &answer, &took) || answer != FALSE) {
        ++failures;
        std::printf("WM_QUERYENDSESSION during the flash: not refused (answer %lu)\n",
                    static_cast<unsigned long>(answer));
      }
      if (!Ask(main, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, &answer, &took) ||
          answer != BROADCAST_QUERY_DENY) {
        ++failures;
        std::printf("PBT_APMQUERYSUSPEND during the flash: not refused (answer 0x%lx)\n",
                    static_cast<unsigned long>(answer));
      }
      // Alt+F4 and the Exit button, as a person would press them mid-flash.
      PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
      PostMessageA(GetDlgItem(main, IDC_EXIT_BUTTON), BM_CLICK, 0, 0);
      std::printf(
          "asked for a shutdown and a suspend and pressed Alt+F4 and Exit during the flash\n");
    }
    Sleep(100);
  }
  if (whenAsked == 0) return Fail("the part never changed: nothing was asked during a flash");
  if (!changedAfterAsking) {
    return Fail("the part did not change after the questions: they came too late to tell");
  }
  std::printf("%d pings answered or not, %d after the flash began, slowest %lu ms, %d failures\n",
              pings, pingsWhileFlashing, slowest, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "box") == 0) {
    HWND box = WaitFor(argv[2], argc > 3 ? std::atoi(argv[3]) : 60);
    if (box == nullptr) return Fail("no box \"" + std::string(argv[2]) + "\"");
    std::printf("box caption \"%s\" text \"%s\"\n", TextOf(box).c_str(),
                TextOf(GetDlgItem(box, 0xFFFF)).c_str());
    PostMessageA(
        GetDlgItem(box, IDOK) != nullptr ? GetDlgItem(box, IDOK) : GetDlgItem(box, IDCANCEL),
        BM_CLICK, 0, 0);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    HWND main = WaitFor(nullptr, argc > 2 ? std::atoi(argv[2]) : 60);
    if (main == nullptr) return Fail("no main window");
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::printf("main window \"%s\" told to close\n", TextOf(main).c_str());
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "option") == 0) {
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    HWND main = WaitFor(nullptr, seconds);
    if (main == nullptr) return Fail("no main window");
    PostMessageA(GetDlgItem(main, IDC_OPTION_BUTTON), BM_CLICK, 0, 0);
    HWND dialog = WaitFor(nullptr, seconds, "Quorrelite Option");
    if (dialog == nullptr) return Fail("no option dialog");
    PostMessageA(GetDlgItem(dialog, std::atoi(argv[2])), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < seconds * 10 && IsWindow(dialog); ++i) Sleep(100);
    if (IsWindow(dialog)) return Fail("the option dialog stayed open");
    std::printf("option dialog: box %s clicked, OK pressed\n", argv[2]);
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "guard") == 0) {
    return Guard(argv[2], argc > 3 ? std::atoi(argv[3]) : 60);
  }
  std::printf(
      "usage: answer_box box TEXT [SECONDS] | option ID [SECONDS] | close [SECONDS] | guard PART "
      "[SECONDS]\n");
  return 2;
}
