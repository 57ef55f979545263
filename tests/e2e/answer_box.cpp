// A person at the screen, for the end-to-end runs: from outside the program, waits for a message
// box with the given text, prints its caption, text and style and presses its OK button; or
// opens the option dialog, ticks or unticks one box and presses OK; or closes the main window the
// way Alt+F4 does.
//   answer_box box TEXT [SECONDS]   exit 0 when the box was found and answered
//   answer_box option ID [SECONDS]  exit 0 when the option dialog came and went with box ID clicked
//   answer_box close [SECONDS]      exit 0 when the main window was found and told to close; prints
//                                   its caption
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kOptionButton = 2002;
constexpr const char* kOptionCaption = "Quorrelite Option";

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
  } else if (message != nullptr && TextOf(message) == search->text) {
    search->found = window;
  }
  return search->found == nullptr;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "box") == 0) {
    HWND box = WaitFor(argv[2], argc > 3 ? std::atoi(argv[3]) : 60);
    if (box == nullptr) {
      std::printf("no box \"%s\"\n", argv[2]);
      return 1;
    }
    std::printf("box caption \"%s\" text \"%s\"\n", TextOf(box).c_str(),
                TextOf(GetDlgItem(box, 0xFFFF)).c_str());
    PostMessageA(
        GetDlgItem(box, IDOK) != nullptr ? GetDlgItem(box, IDOK) : GetDlgItem(box, IDCANCEL),
        BM_CLICK, 0, 0);
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "option") == 0) {
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    HWND main = WaitFor(nullptr, seconds);
    if (main == nullptr) {
      std::printf("no main window\n");
      return 1;
    }
    PostMessageA(GetDlgItem(main, kOptionButton), BM_CLICK, 0, 0);
    HWND dialog = WaitFor(nullptr, seconds, kOptionCaption);
    if (dialog == nullptr) {
      std::printf("no option dialog\n");
      return 1;
    }
    PostMessageA(GetDlgItem(dialog, std::atoi(argv[2])), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < seconds * 10 && IsWindow(dialog); ++i) Sleep(100);
    if (IsWindow(dialog)) {
      std::printf("the option dialog stayed open\n");
      return 1;
    }
    std::printf("option dialog: box %s clicked, OK pressed\n", argv[2]);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    HWND main = WaitFor(nullptr, argc > 2 ? std::atoi(argv[2]) : 60);
    if (main == nullptr) {
      std::printf("no main window\n");
      return 1;
    }
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::printf("main window \"%s\" told to close\n", TextOf(main).c_str());
    return 0;
  }
  std::printf("usage: answer_box box TEXT [SECONDS] | option ID [SECONDS] | close [SECONDS]\n");
  return 2;
}
