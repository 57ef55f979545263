// The skin on the real platform, drawing a progress display of its own through the real desktop.
// The pictures come from quorrelite.exe itself, so these tests also prove its resources linked in.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/win32/win32_desktop.h"
#include "flash/progress.h"
#include "skin/win32/skin.h"
#include "win32/win32_support.h"

namespace ql::testing {
namespace {

using Pixels = std::vector<COLORREF>;

// Copies `width` x `height` pixels of a device context, as RGB() values.
Pixels Grab(HDC source, int width, int height) {
  Pixels out(static_cast<size_t>(width) * height);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP copy = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  GetDIBits(memory, copy, 0, height, out.data(), &info, DIB_RGB_COLORS);
  for (COLORREF& c : out) c = RGB(GetBValue(c), GetGValue(c), GetRValue(c));  // stored as BGR
  DeleteObject(copy);
  DeleteDC(memory);
  return out;
}

Pixels GrabClient(HWND window, int width, int height) {
  HDC dc = GetDC(window);
  Pixels p = Grab(dc, width, height);
  ReleaseDC(window, dc);
  return p;
}

// The named bitmap of the program's resources as it would be drawn.
Pixels Picture(const char* name, int width, int height) {
  HBITMAP bitmap = LoadBitmapA(ProgramModule(), name);
  EXPECT_NE(bitmap, nullptr) << name;
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, bitmap);
  Pixels p = Grab(memory, width, height);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  return p;
}

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlack = RGB(0, 0, 0);
constexpr COLORREF kBorder = RGB(150, 150, 150);

// The colour of a cell in each state, as a person sees it.
COLORREF Fill(CellState state) {
  const COLORREF fills[] = {
      kWhite,        kRed, RGB(0, 0, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(100, 100, 100),
      RGB(0, 160, 0)};
  return fills[static_cast<int>(state)];
}

// The skin in a window made from the main window's own template.
class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ProgramModule(), nullptr) << "quorrelite.exe must sit beside the tests";
    desktop.Show(&skin);
    HRSRC found = FindResourceA(ProgramModule(), "QUORRELITE_BOX", MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    auto* dialog = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(ProgramModule(), found)));
    main = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), dialog, nullptr, &Procedure,
                                      reinterpret_cast<LPARAM>(this));
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    Pump();
    // One cell for each 4 KiB piece.
    ASSERT_EQ(progress.BuildBlockMap(nullptr, {}, kBlockMapSpan), Outcome::kDone);
  }
  void TearDown() override {
    DestroyWindow(main);
    Pump();
    desktop.Show(nullptr);
  }

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<SkinTest*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_INITDIALOG) self->skin.Create(dialog, ProgramModule());
    if (message == WM_DRAWITEM) {
      ++self->drawRequests;
      return self->skin.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      self->clicks.push_back(reinterpret_cast<HWND>(lParam));
    }
    return message == WM_INITDIALOG;  // the default focus
  }

  HWND Item(SkinItem item) const { return skin.Window(item); }

  void ExpectBlockMapShowsTheProgress(const char* when) {
    Pixels p = GrabClient(Item(SkinItem::kBlockMap), kBlockMapPixels, kBlockMapPixels);
    int wrong = 0;
    for (int y = 0; y < kBlockMapPixels; ++y) {
      for (int x = 0; x < kBlockMapPixels; ++x) {
        const bool edge = x % 8 == 0 || x % 8 == 7 || y % 8 == 0 || y % 8 == 7;
        const COLORREF want = edge ? kBorder : Fill(progress.BlockMap()[y / 8 * 32 + x / 8]);
        wrong += p[y * kBlockMapPixels + x] != want;
      }
    }
    EXPECT_EQ(wrong, 0) << "pixels wrong " << when;
  }

  Win32Desktop desktop{ProgramModule()};
  Progress progress{desktop};
  Skin skin{progress};
  HWND main = nullptr;
  std::vector<HWND> clicks;
  int drawRequests = 0;
};

TEST_F(SkinTest, BackupAndFlashStartDisabledAndEachButtonStateDrawsItsOwnPicture) {
  EXPECT_TRUE(IsWindowEnabled(skin.Button(Control::kLoad)));
  EXPECT_FALSE(IsWindowEnabled(skin.Button(Control::kBackup)));
  EXPECT_FALSE(IsWindowEnabled(skin.Button(Control::kFlash)));

  struct Case {
    Control control;
    UINT state;
    const char* picture;
  };
  // The first of selected, disabled and focus decides; only Backup and Flash have a disabled face.
  const Case cases[] = {
      {Control::kLoad, 0, "LOAD_NORMAL"},
      {Control::kLoad, ODS_SELECTED | ODS_FOCUS, "LOAD_PRESS"},
      {Control::kLoad, ODS_DISABLED | ODS_FOCUS, "LOAD_FOCUS"},
      {Control::kBackup, ODS_DISABLED | ODS_FOCUS, "BACKUP_DIS"},
      {Control::kBackup, ODS_SELECTED | ODS_DISABLED, "BACKUP_PRESS"},
      {Control::kOption, ODS_FOCUS, "OPTION_FOCUS"},
      {Control::kHelp, ODS_SELECTED, "HELP_PRESS"},
      {Control::kFlash, ODS_DISABLED, "FLASH_DIS"},
      {Control::kFlash, ODS_DEFAULT, "FLASH_NORMAL"},
      {Control::kExit, ODS_DISABLED, "EXIT_NORMAL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    HWND button = skin.Button(c.control);
    RECT r;
    GetClientRect(button, &r);
    skin.RedrawButton(button, c.state);
    EXPECT_EQ(GrabClient(button, r.right, r.bottom), Picture(c.picture, r.right, r.bottom));
  }
}

TEST_F(SkinTest, ReturnHeldAndReleasedOnAButtonClicksItOnce) {
  HWND load = skin.Button(Control::kLoad), option = skin.Button(Control::kOption);
  auto feed = [&](HWND target, UINT message) {
    PostMessageA(target, message, VK_RETURN, message == WM_KEYUP ? 0xC01C0001 : 0x001C0001);
    Pump(main);
  };
  auto clicksOf = [&](HWND button) { return std::count(clicks.begin(), clicks.end(), button); };
  SetFocus(load);
  Pump();
  // Held down with auto-repeat: drawn pressed, no click yet.
  for (int i = 0; i < 3; ++i) feed(load, WM_KEYDOWN);
  EXPECT_EQ(clicksOf(load), 0);
  EXPECT_EQ(GrabClient(load, 110, 36), Picture("LOAD_PRESS", 110, 36));
  feed(load, WM_KEYUP);
  EXPECT_EQ(clicksOf(load), 1);
  EXPECT_EQ(GrabClient(load, 110, 36), Picture("LOAD_FOCUS", 110, 36));

  // A release whose press the button never saw is no click.
  SetFocus(option);
  Pump();
  feed(option, WM_KEYUP);
  EXPECT_EQ(clicksOf(option), 0);
}

TEST_F(SkinTest, ThePhaseItemShowsTheCurrentPhaseAndIsNotRedrawnWhileItStays) {
  HWND phase = Item(SkinItem::kPhaseItem);
  progress.SetPhase(ProgressPhase::kVerifying);
  EXPECT_EQ(GrabClient(phase, 108, 12), Picture("PROGRESS_VERIFYING", 108, 12));
  const int before = drawRequests;
  progress.SetPhase(ProgressPhase::kVerifying);
  EXPECT_EQ(drawRequests, before);
  progress.SetPhase(ProgressPhase::kErasing);
  EXPECT_EQ(GrabClient(phase, 108, 12), Picture("PROGRESS_ERASEING", 108, 12));
}

TEST_F(SkinTest, TheBlockMapShowsEachCellInItsStatesColourAndIsRepairedWhenThePhaseMovesOn) {
  ExpectBlockMapShowsTheProgress("before anything happened");
  const std::pair<uint32_t, CellState> marks[] = {
      {0, CellState::kErased},         {33, CellState::kProgrammed},
      {500, CellState::kLeftOut},      {700, CellState::kVerified},
      {1000, CellState::kAlreadyHeld}, {1023, CellState::kBlankChecked}};
  for (auto [cell, state] : marks) progress.Mark(cell * kCellUnit, kCellUnit, state);
  ExpectBlockMapShowsTheProgress("each change drawn at once");

  // A box closed over the window during a flash leaves stale pixels, and no message loop runs:
  // the next phase repairs them, however soon after the last repair it comes.
  progress.SetPhase(ProgressPhase::kErasing);
  HDC map = GetDC(Item(SkinItem::kBlockMap));
  RECT all{0, 0, kBlockMapPixels, kBlockMapPixels};
  FillRect(map, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(Item(SkinItem::kBlockMap), map);
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  progress.SetPhase(ProgressPhase::kPreparing);
  ExpectBlockMapShowsTheProgress("repaired");

  // The background is drawn around the children, never over them.
  Pixels window = GrabClient(main, kMainWindowSize, kMainWindowSize);
  auto at = [&](int x, int y) { return window[y * kMainWindowSize + x]; };
  EXPECT_EQ(at(5, 200), Picture("BACKGROUND", 450, 450)[200 * 450 + 5]);
  EXPECT_EQ(at(334 + 50, 392 + 25), Picture("EXIT_NORMAL", 100, 50)[25 * 100 + 50]);
  EXPECT_EQ(at(229 + 50, 393 + 25), Picture("FLASH_DIS", 100, 50)[25 * 100 + 50]);
  EXPECT_EQ(at(29 + 2 + 4, 90 + 2 + 4), kRed);  // inside the first cell, erased
}

TEST_F(SkinTest, ThePercentBarFillsItsWidthInRedByThePercent) {
  HWND bar = Item(SkinItem::kStatusBar);
  // The red part is percent * 98 / 100 pixels wide, on the 98 pixels the bar is drawn on.
  for (auto [percent, fill] : {std::pair{25u, 24}, {100u, 98}, {50u, 49}, {1u, 0}}) {
    SCOPED_TRACE(percent);
    progress.SetPercent(percent, 100);
    // The sunken edge leaves the drawing's top-left 94 x 3 pixels in view.
    Pixels p = GrabClient(bar, 94, 3);
    for (int x = 0; x < 94; ++x) {
      const bool red = x < fill;
      const bool outline = red ? (x == 0 || x == fill - 1) : x == fill;
      ASSERT_EQ(p[x], kBlack) << "top outline at x=" << x;
      ASSERT_EQ(p[94 + x], outline ? kBlack : red ? kRed : kWhite) << "x=" << x;
    }
  }
}

}  // namespace
}  // namespace ql::testing
