// The skinned main window and its auxiliary windows on the real platform: the children as
// created, the picture of each button state read back from the screen, the Return-key click,
// block map and percent bar pixels, and what a repaint costs. The pictures come from
// quorrelite.exe itself, so these tests also prove that its resources were linked in.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/aux_windows.h"
#include "app/process_state.h"
#include "app/startup.h"
#include "app/win32/aux_windows.h"
#include "flash/progress.h"
#include "platform/win32/win.h"
#include "resources/resource_ids.h"
#include "rom/rom_image.h"
#include "skin/win32/skin.h"
#include "win32/win32_support.h"

namespace ql {
namespace {

using testing::FindThreadWindow;
using testing::ProgramModule;

static_assert(kStyleChild == WS_CHILD && kStyleVisible == WS_VISIBLE &&
              kStyleTabStop == WS_TABSTOP && kStyleOwnerDraw == BS_OWNERDRAW &&
              kStyleNotify == BS_NOTIFY && kExStyleClientEdge == WS_EX_CLIENTEDGE);
static_assert(kItemSelected == ODS_SELECTED && kItemDisabled == ODS_DISABLED &&
              kItemFocus == ODS_FOCUS && kItemDefault == ODS_DEFAULT);

using Pixels = std::vector<COLORREF>;

// Copies `width` x `height` pixels of a device context into memory, as 0x00BBGGRR values.
Pixels Grab(HDC source, int x, int y, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  Pixels out(static_cast<size_t>(width) * height);
  const auto* p = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < out.size(); ++i) {
    uint32_t v = p[i];
    out[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  return out;
}

Pixels GrabClient(HWND window, int width, int height) {
  HDC dc = GetDC(window);
  Pixels p = Grab(dc, 0, 0, width, height);
  ReleaseDC(window, dc);
  return p;
}

// The named bitmap of the program's resources as it would be drawn.
Pixels Picture(const char* name, int width, int height) {
  HBITMAP bitmap = LoadBitmapA(ProgramModule(), name);
  EXPECT_NE(bitmap, nullptr) << name;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  Pixels p = Grab(memory, 0, 0, width, height);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  return p;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A stand-in for the main window controller: a modeless dialog from the program's own template
// that creates the skin, draws through DrawSkinItem and records the commands it receives.
struct Host {
  static inline std::vector<LPARAM> commands;
  static inline std::vector<WPARAM> fromNoControl;
  static inline int drawRequests = 0;

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        CreateSkin(dialog);
        return TRUE;
      case WM_DRAWITEM:
        ++drawRequests;
        return DrawSkinItem(dialog, wParam, lParam);
      case WM_COMMAND:
        if (lParam == 0) fromNoControl.push_back(wParam);
        // Focus notifications of Load and Exit are no clicks.
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(lParam);
        return FALSE;
      default:
        return FALSE;
    }
  }
};

class SkinWin32Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterAuxWindowClasses(GetModuleHandleA(nullptr)); }

  void SetUp() override {
    ResetProcessState();
    ASSERT_NE(ProgramModule(), nullptr) << "quorrelite.exe must sit beside the tests";
    Startup.InstanceHandle = ProgramModule();
    RomImage.FlashEnabled = 1;
    RomImage.BackupEnabled = 1;
    Host::commands.clear();
    Host::fromNoControl.clear();
    Host::drawRequests = 0;
    HRSRC found = FindResourceA(ProgramModule(), "QUORRELITE_BOX", MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    auto* tmpl = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(ProgramModule(), found)));
    main =
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), tmpl, nullptr, &Host::Procedure, 0);
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_SHOW);
    SetForegroundWindow(main);
    UpdateWindow(main);
    Pump();
  }

  void TearDown() override {
    ReleaseSkin();
    DestroyWindow(main);
    Pump();
    ResetProcessState();
  }

  // Makes every child paint itself afresh, as after the window was uncovered.
  void RepaintAll() {
    RedrawWindow(main, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
  }

  HWND main = nullptr;
};

TEST_F(SkinWin32Test, CreateSkinMakesEveryChildWithItsClassPlaceIdStyleAndState) {
  struct Expected {
    HWND window;
    const char* className;
    int x, y, w, h, id;
    DWORD style, exStyle;
    bool enabled;
  };
  const DWORD owner = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
  const DWORD button = owner | WS_TABSTOP;
  const Expected expected[] = {
      {Skin.background, "Button", 0, 0, 450, 450, 0, owner, 0, false},
      {Skin.blockMap, "Flash dialog", 29, 90, 260, 260, 0, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE,
       true},
      {Skin.statusBar, " Status Bar", 333, 117, 98, 7, 0, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE,
       true},
      {Skin.phaseItem, "Button", 328, 98, 108, 12, 0, owner, 0, true},
      {SkinButton(Control::kLoad), "Button", 327, 130, 110, 36, 2000, button | BS_NOTIFY, 0, true},
      {SkinButton(Control::kBackup), "Button", 327, 168, 110, 36, 2001, button, 0, false},
      {SkinButton(Control::kOption), "Button", 327, 208, 110, 36, 2002, button, 0, true},
      {SkinButton(Control::kHelp), "Button", 327, 249, 110, 36, 2003, button, 0, true},
      {SkinButton(Control::kFlash), "Button", 229, 393, 100, 50, 2004, button, 0, false},
      {SkinButton(Control::kExit), "Button", 334, 392, 100, 50, 2005, button | BS_NOTIFY, 0, true},
  };
  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.right - frame.left, 450);
  EXPECT_EQ(frame.bottom - frame.top, 450);

  std::vector<HWND> order;
  for (HWND c = GetWindow(main, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    order.push_back(c);
  }
  ASSERT_EQ(order.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    const Expected& e = expected[i];
    SCOPED_TRACE(e.className + std::string(" #") + std::to_string(i));
    ASSERT_NE(e.window, nullptr);
    // Creation order is z-order, which is the dialog manager's tab order.
    EXPECT_EQ(order[i], e.window);
    char name[64] = {};
    GetClassNameA(e.window, name, sizeof(name));
    EXPECT_STRCASEEQ(name, e.className);
    RECT r;
    GetWindowRect(e.window, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, e.x);
    EXPECT_EQ(r.top, e.y);
    EXPECT_EQ(r.right - r.left, e.w);
    EXPECT_EQ(r.bottom - r.top, e.h);
    EXPECT_EQ(GetDlgCtrlID(e.window), e.id);
    DWORD style = static_cast<DWORD>(GetWindowLongA(e.window, GWL_STYLE));
    EXPECT_EQ(style & ~WS_DISABLED & 0xFFFF00FFu, e.style & 0xFFFF00FFu) << std::hex << style;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(e.window, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE,
              e.exStyle);
    EXPECT_EQ(IsWindowEnabled(e.window) != 0, e.enabled);
    EXPECT_EQ(GetWindowTextLengthA(e.window), 0);
  }
  EXPECT_EQ(RomImage.FlashEnabled, 0u);
  EXPECT_EQ(RomImage.BackupEnabled, 0u);
}

TEST_F(SkinWin32Test, EachButtonStateDrawsItsOwnPicture) {
  struct Case {
    Control control;
    UINT state;
    const char* picture;
  };
  // First match of selected, disabled, focus wins; only Backup and Flash have a disabled face.
  const Case cases[] = {
      {Control::kLoad, 0, "LOAD_NORMAL"},
      {Control::kLoad, ODS_SELECTED | ODS_FOCUS, "LOAD_PRESS"},
      {Control::kLoad, ODS_FOCUS, "LOAD_FOCUS"},
      {Control::kLoad, ODS_DISABLED, "LOAD_NORMAL"},
      {Control::kLoad, ODS_DISABLED | ODS_FOCUS, "LOAD_FOCUS"},
      {Control::kBackup, ODS_DISABLED | ODS_FOCUS, "BACKUP_DIS"},
      {Control::kBackup, ODS_SELECTED | ODS_DISABLED, "BACKUP_PRESS"},
      {Control::kBackup, ODS_DEFAULT, "BACKUP_NORMAL"},
      {Control::kOption, ODS_FOCUS, "OPTION_FOCUS"},
      {Control::kOption, ODS_DISABLED, "OPTION_NORMAL"},
      {Control::kHelp, ODS_SELECTED, "HELP_PRESS"},
      {Control::kHelp, 0, "HELP_NORMAL"},
      {Control::kFlash, ODS_DISABLED, "FLASH_DIS"},
      {Control::kFlash, ODS_FOCUS, "FLASH_FOCUS"},
      {Control::kFlash, ODS_SELECTED, "FLASH_PRESS"},
      {Control::kExit, ODS_FOCUS, "EXIT_FOCUS"},
      {Control::kExit, ODS_DISABLED, "EXIT_NORMAL"},
      {Control::kExit, ODS_SELECTED, "EXIT_PRESS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    HWND button = SkinButton(c.control);
    RECT r;
    GetClientRect(button, &r);
    RedrawSkinnedButton(main, button, c.state);
    EXPECT_EQ(GrabClient(button, r.right, r.bottom), Picture(c.picture, r.right, r.bottom));
  }
}

TEST_F(SkinWin32Test, PhaseItemShowsTheCurrentPhaseAndIsNotRedrawnWhenItDidNotChange) {
  Progress.ProgressPhase = kPhaseVerifying;
  RepaintProgressItem(ProgressItem::kPhaseItem);
  EXPECT_EQ(GrabClient(Skin.phaseItem, 108, 12), Picture("PROGRESS_VERIFYING", 108, 12));
  int before = Host::drawRequests;
  RepaintProgressItem(ProgressItem::kPhaseItem);
  EXPECT_EQ(Host::drawRequests, before);
  Progress.ProgressPhase = kPhaseErasing;
  RepaintProgressItem(ProgressItem::kPhaseItem);
  EXPECT_EQ(GrabClient(Skin.phaseItem, 108, 12), Picture("PROGRESS_ERASEING", 108, 12));
}

TEST_F(SkinWin32Test, DrawRequestsForWindowsOutsideTheSkinAreRefused) {
  DRAWITEMSTRUCT record{};
  record.CtlType = ODT_BUTTON;
  record.hwndItem = main;
  record.hDC = GetDC(main);
  EXPECT_EQ(DrawSkinItem(main, 0, reinterpret_cast<LPARAM>(&record)), 0u);
  record.hwndItem = Skin.blockMap;
  EXPECT_EQ(DrawSkinItem(main, 0, reinterpret_cast<LPARAM>(&record)), 0u);
  ReleaseDC(main, record.hDC);
}

TEST_F(SkinWin32Test, ReturnHeldAndReleasedOnAButtonSendsExactlyOneClick) {
  HWND load = SkinButton(Control::kLoad);
  HWND option = SkinButton(Control::kOption);
  SetFocus(load);
  Pump();
  auto feed = [&](HWND target, UINT message) {
    PostMessageA(target, message, VK_RETURN, message == WM_KEYUP ? 0xC01C0001 : 0x001C0001);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageA(main, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  };
  auto clicksOf = [](HWND button) {
    int n = 0;
    for (LPARAM l : Host::commands) n += l == reinterpret_cast<LPARAM>(button);
    return n;
  };
  // Held down with auto-repeat: drawn pressed, no click yet.
  for (int i = 0; i < 3; ++i) feed(load, WM_KEYDOWN);
  EXPECT_EQ(clicksOf(load), 0);
  EXPECT_EQ(GrabClient(load, 110, 36), Picture("LOAD_PRESS", 110, 36));
  feed(load, WM_KEYUP);
  EXPECT_EQ(clicksOf(load), 1);
  EXPECT_EQ(GrabClient(load, 110, 36), Picture("LOAD_FOCUS", 110, 36));

  // A release whose press the button never saw is not a click.
  SetFocus(option);
  Pump();
  feed(option, WM_KEYUP);
  EXPECT_EQ(clicksOf(option), 0);
  // Pressed again later, the same button clicks again, once.
  feed(option, WM_KEYDOWN);
  feed(option, WM_KEYUP);
  EXPECT_EQ(clicksOf(option), 1);
  EXPECT_EQ(clicksOf(load), 1);
}

TEST_F(SkinWin32Test, BackgroundNeverCoversTheOtherChildren) {
  RepaintAll();
  HDC dc = GetDC(main);
  Pixels window = Grab(dc, 0, 0, 450, 450);
  ReleaseDC(main, dc);
  Pixels background = Picture("BACKGROUND", 450, 450);
  Pixels exitFace = Picture("EXIT_NORMAL", 100, 50);
  Pixels flashFace = Picture("FLASH_DIS", 100, 50);
  auto at = [&](int x, int y) { return window[y * 450 + x]; };
  // Outside the children the background shows; inside them, each child's own picture.
  EXPECT_EQ(at(5, 200), background[200 * 450 + 5]);
  EXPECT_EQ(at(334 + 50, 392 + 25), exitFace[25 * 100 + 50]);
  EXPECT_EQ(at(229 + 50, 393 + 25), flashFace[25 * 100 + 50]);
  EXPECT_EQ(at(29 + 2 + 4, 90 + 2 + 4), RGB(255, 255, 255));  // inside the first cell
  EXPECT_EQ(at(29 + 2, 90 + 2), RGB(150, 150, 150));          // its border
}

TEST_F(SkinWin32Test, BlockMapShowsEightPixelCellsInTheirColoursWithGreyBorders) {
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    Pixels p = GrabClient(Skin.blockMap, 256, 256);
    int wrong = 0;
    for (uint32_t cell = 0; cell < kBlockMapCells; ++cell) {
      int x0 = static_cast<int>(cell % 32) * 8, y0 = static_cast<int>(cell / 32) * 8;
      uint8_t v = Progress.BlockMap[cell];
      const COLORREF fill[] = {RGB(255, 255, 255), RGB(255, 0, 0),   RGB(0, 0, 255),
                               RGB(255, 255, 0),   RGB(0, 255, 255), RGB(100, 100, 100)};
      COLORREF inside = v < 6 ? fill[v] : RGB(255, 255, 255);
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          bool edge = x == 0 || y == 0 || x == 7 || y == 7;
          COLORREF want = edge ? RGB(150, 150, 150) : inside;
          if (p[(y0 + y) * 256 + x0 + x] != want && wrong++ < 5) {
            ADD_FAILURE() << "cell " << cell << " pixel " << x << "," << y;
          }
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  };
  check("new window: all white");

  Progress.BlockMap[0] = kCellErased;
  Progress.BlockMap[33] = kCellProgrammed;
  Progress.BlockMap[500] = kCellLeftOut;
  Progress.BlockMap[700] = kCellVerified;
  Progress.BlockMap[1023] = kCellBlankChecked;
  Progress.BlockMap[64] = 9;  // no such state: shown as untouched
  RepaintProgressItem(ProgressItem::kBlockMap);
  check("changes shown at once");
  RepaintAll();
  check("after a full repaint");
}

TEST_F(SkinWin32Test, PercentBarFillsNinetyEightPixelsForAHundredPercent) {
  // A bar without the sunken edge shows all 98 pixels the bar is drawn on.
  HWND bare = CreateWindowExA(0, " Status Bar", "", WS_CHILD | WS_VISIBLE, 0, 0, 98, 7, main,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  const COLORREF red = RGB(255, 0, 0), white = RGB(255, 255, 255), black = RGB(0, 0, 0);
  struct Case {
    uint32_t percent;
    int fill;
  };
  for (Case c : {Case{100, 98}, Case{50, 49}, Case{99, 97}, Case{1, 0}, Case{0, 0}}) {
    SCOPED_TRACE(c.percent);
    Progress.ProgressPercent = c.percent;
    ShowStatusBarChange(bare);
    Pixels p = GrabClient(bare, 98, 7);
    // Middle row: the red part's outline at 0 and fill-1, red between; then the white part.
    const COLORREF* row = &p[2 * 98];
    for (int x = 0; x < 98; ++x) {
      bool inRed = x < c.fill;
      bool outline = inRed ? (x == 0 || x == c.fill - 1) : (x == c.fill || x == 97);
      ASSERT_EQ(row[x], outline ? black : inRed ? red : white) << "x=" << x;
    }
  }
  // The skin's bar: the same drawing inside its sunken edge.
  Progress.ProgressPercent = 50;
  RepaintProgressItem(ProgressItem::kStatusBar);
  Pixels p = GrabClient(Skin.statusBar, 94, 3);
  EXPECT_EQ(p[98 * 0 + 0], black);
  EXPECT_EQ(p[94 * 1 + 20], red);
  EXPECT_EQ(p[94 * 1 + 48], black);
  EXPECT_EQ(p[94 * 1 + 60], white);
  DestroyWindow(bare);
}

TEST_F(SkinWin32Test, CentreWindowPutsAWindowInTheMiddleOfTheScreen) {
  if (GetSystemMetrics(SM_CXSCREEN) != 1024 || GetSystemMetrics(SM_CYSCREEN) != 768) {
    GTEST_SKIP() << "needs the 1024 x 768 screen of the test display";
  }
  HWND box = CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 5, 200, 100, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  RECT out{};
  CentreWindow(box, &out);
  EXPECT_EQ(out.left, 412);
  EXPECT_EQ(out.top, 334);
  EXPECT_EQ(out.right, 612);
  EXPECT_EQ(out.bottom, 434);
  RECT now;
  GetWindowRect(box, &now);
  EXPECT_TRUE(EqualRect(&now, &out));
  DestroyWindow(box);
}

// A 4 MiB flash makes thousands of progress calls; what the display adds must stay small. This
// replays the repaints of one: per 4096-byte piece, a mark of the block map and a percent step
// with its five repaints, over three passes.
TEST_F(SkinWin32Test, RepaintsOfAWholeFlashCostWellUnderASecond) {
  constexpr int kPieces = 1024;
  auto start = std::chrono::steady_clock::now();
  for (int pass = 0; pass < 3; ++pass) {
    Progress.ProgressPhase = pass == 0   ? kPhaseErasing
                             : pass == 1 ? kPhaseFlashing
                                         : kPhaseVerifying;
    RepaintProgressItem(ProgressItem::kPhaseItem);
    for (int piece = 0; piece < kPieces; ++piece) {
      Progress.BlockMap[piece] = static_cast<uint8_t>(pass + 1);
      RepaintProgressItem(ProgressItem::kBlockMap);
      Progress.ProgressPercent = static_cast<uint32_t>(piece * 100 / kPieces);
      for (ProgressItem item :
           {ProgressItem::kBackground, ProgressItem::kBlockMap, ProgressItem::kPhaseItem,
            ProgressItem::kStatusBar, ProgressItem::kMainWindow}) {
        RepaintProgressItem(item);
      }
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ info     ] %d progress steps repainted in %.3f s (%.1f us per step)\n",
              3 * kPieces, seconds, seconds * 1e6 / (3 * kPieces));
  EXPECT_LT(seconds, 1.0);
  // The screen ends as the state does: every cell of the last pass in its colour.
  Pixels p = GrabClient(Skin.blockMap, 256, 256);
  EXPECT_EQ(p[4 * 256 + 4], RGB(255, 255, 0));
  EXPECT_EQ(p[252 * 256 + 252], RGB(255, 255, 0));
  EXPECT_EQ(GrabClient(Skin.phaseItem, 108, 12), Picture("PROGRESS_VERIFYING", 108, 12));
}

TEST_F(SkinWin32Test, WhatABoxUncoveredDuringAFlashIsRepairedWhenThePhaseMovesOn) {
  // A box closed over the block map leaves it invalid with stale pixels; no message loop runs.
  HDC dc = GetDC(Skin.blockMap);
  RECT all{0, 0, 256, 256};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(Skin.blockMap, dc);
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  Progress.ProgressPhase = kPhaseStatus;
  RepaintProgressItem(ProgressItem::kMainWindow);  // first repair of a new skin is never late
  Pixels p = GrabClient(Skin.blockMap, 256, 256);
  EXPECT_EQ(p[4 * 256 + 4], RGB(255, 255, 255));
  EXPECT_EQ(p[0], RGB(150, 150, 150));
}

TEST_F(SkinWin32Test, SplashIsCentredAtItsPictureSizeAndAClickEndsItAndTellsTheMainWindow) {
  DWORD thread = 0;
  HANDLE splash = CreateThread(nullptr, 0, &SplashThread, main, 0, &thread);
  ASSERT_NE(splash, nullptr);
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && dialog == nullptr; ++i) {
    Sleep(5);
    dialog = FindThreadWindow(thread, "");
  }
  ASSERT_NE(dialog, nullptr);
  RECT r;
  GetWindowRect(dialog, &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 136);
  if (GetSystemMetrics(SM_CXSCREEN) == 1024 && GetSystemMetrics(SM_CYSCREEN) == 768) {
    EXPECT_EQ(r.left, 362);
    EXPECT_EQ(r.top, 316);
  }
  auto start = std::chrono::steady_clock::now();
  PostMessageA(GetWindow(dialog, GW_CHILD), BM_CLICK, 0, 0);
  // The end notice is sent to the main window: this thread must keep answering.
  while (WaitForSingleObject(splash, 0) == WAIT_TIMEOUT) Pump();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 2.0) << "a click must not wait for the timer";
  DWORD result = 0;
  GetExitCodeThread(splash, &result);
  EXPECT_EQ(result, 1u);
  CloseHandle(splash);
  // The notice is a command from no control with notification 0x8000 and id 1069.
  ASSERT_EQ(Host::fromNoControl.size(), 1u);
  EXPECT_EQ(Host::fromNoControl[0], static_cast<WPARAM>(0x8000042D));
  EXPECT_TRUE(Host::commands.empty());
}

TEST_F(SkinWin32Test, HelpWithoutTheViewersFileShowsTheShippedHelpInAWindow) {
  std::string folder = testing::TempFolderNamed("ql-help-test");
  DeleteFileA((folder + "\\QuorrelHp").c_str());
  std::snprintf(Startup.ProgramDirectory, sizeof(Startup.ProgramDirectory), "%s", folder.c_str());

  std::string shown;
  auto seen = testing::WhileDialog("Quorrelite Help", [&](HWND help) {
    HWND edit = GetDlgItem(help, IDC_HELP_TEXT);
    shown.resize(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1);
    GetWindowTextA(edit, shown.data(), static_cast<int>(shown.size()));
    PostMessageA(help, WM_COMMAND, IDOK, 0);
  });
  ShowHelp(main);
  ASSERT_TRUE(*seen);
  EXPECT_NE(shown.find("QUORRELITE - BIOS FLASH UTILITY"), std::string::npos);
  EXPECT_NE(shown.find("THE BUTTONS\r\n"), std::string::npos);
  EXPECT_EQ(shown.find("\n\n"), std::string::npos) << "line ends must be CR LF";
}

}  // namespace
}  // namespace ql
