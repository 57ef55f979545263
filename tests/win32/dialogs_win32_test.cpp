// The real dialogs and the main window on the platform (Wine here), over a program on a simulated
// machine. The templates come from quorrelite.exe.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "app/win32/win32_desktop.h"
#include "bios/bios_session.h"
#include "flash/power.h"
#include "platform/testing/scripted_desktop.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "win32/win32_support.h"

// After platform/win32/win.h, which undoes the Windows macros that clash with the program's names.
#include <commctrl.h>
#include <shlobj.h>

namespace ql::testing {
namespace {

// The real desktop, except that message boxes are recorded and answered with OK.
class RecordingDesktop final : public Win32Desktop {
 public:
  using Win32Desktop::Win32Desktop;
  int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                     uint32_t style) override {
    messages.push_back({text, caption, style, owner});
    return kIdOk;
  }
  std::vector<MessageRecord> messages;
};

// The program on a simulated machine running a freshly built image, with the real desktop and
// files; the program's and current folders are a temporary folder of their own.
class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ProgramModule(), nullptr) << "quorrelite.exe must sit beside the tests";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder = std::string(temp) + "ql-win32-test";
    // An earlier run's settings (records.ini included) would decide what the dialogs start from.
    std::filesystem::remove_all(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    sim::RomSpec spec;
    spec.dmi[1] = "Maker";  // the manufacturer: its length limits the typed one
    std::string error;
    ASSERT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
    machine = sim::SimMachine::Create(sim::SimProfile{}, image, &error);
    ASSERT_TRUE(machine) << error;
    StartupState startup;
    startup.OsFamily = kWin2000;
    std::snprintf(startup.ProgramDirectory, sizeof startup.ProgramDirectory, "%s", folder.c_str());
    std::snprintf(startup.CurrentDirectory, sizeof startup.CurrentDirectory, "%s", folder.c_str());
    program = std::make_unique<Program>(desktop, *machine, files, allocator, startup);
  }

  std::string folder;
  std::vector<uint8_t> image;
  RecordingDesktop desktop{ProgramModule()};
  Win32Files files;
  Win32Allocator allocator;
  std::unique_ptr<sim::SimMachine> machine;
  std::unique_ptr<Program> program;
};

TEST_F(DialogsTest, TheOptionDialogShowsTheOptionsAndOkWritesTheSettingsFile) {
  program->Initialise(nullptr);  // creates the settings file with every option on
  auto seen = WhileDialog("Quorrelite Option", [&](HWND dialog) {
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_AUTO_VERIFY, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Text(dialog, IDC_DMI_SETTINGS), "DMI strings...");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_WRITE_RECORDS, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    Click(dialog, IDC_AUTO_VERIFY);
    Click(dialog, IDC_WRITE_RECORDS);
    Click(dialog, IDOK);
  });
  ShowOptionDialog(ProgramModule(), nullptr, *program);
  ASSERT_TRUE(*seen);
  auto stored = [&](const char* name) {
    std::ifstream in(folder + "\\" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(stored("brimlet.ini"), std::string("\1\0\1\1", 4));
  EXPECT_EQ(stored("records.ini"), "\1") << "the records tick keeps a file of its own";
}

TEST_F(DialogsTest, TheDmiSettingsShowEachModeWithItsRedCaptionFieldsAndButtons) {
  program->Initialise(nullptr);
  auto seen = WhileDialog("Quorrelite DMI Strings Setting", [&](HWND dialog) {
    EXPECT_EQ(Text(dialog, IDC_DMI_MODE_CAPTION), "DMI strings in current BIOS ");
    EXPECT_EQ(Text(dialog, IDC_DMI_MANUFACTURER), "Maker");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DMI_MANUFACTURER)));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_DMI_KEEP_CURRENT, BM_GETCHECK, 0, 0), BST_CHECKED);

    // Red on a white brush.
    HDC dc = GetDC(dialog);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DMI_MODE_CAPTION))));
    LOGBRUSH white{};
    ASSERT_NE(GetObjectA(brush, sizeof white, &white), 0);
    EXPECT_EQ(white.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    ReleaseDC(dialog, dc);

    Click(dialog, IDC_DMI_DONT_KEEP);
    EXPECT_EQ(Text(dialog, IDC_DMI_MODE_CAPTION), "DMI strings in loaded rom file ");
    EXPECT_EQ(Text(dialog, IDC_DMI_UUID), "File didn't read!!");
    EXPECT_FALSE(program->buttons().flash);

    Click(dialog, IDC_DMI_NEW_STRINGS);
    EXPECT_EQ(Text(dialog, IDC_DMI_MODE_CAPTION), "New DMI strings ");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_DMI_MANUFACTURER)));
    EXPECT_TRUE(program->buttons().flash);
    SetDlgItemTextA(dialog, IDC_DMI_MANUFACTURER, "NewMakerName");  // cut at 5 by the limit
    Click(dialog, IDOK);
  });
  EXPECT_EQ(ShowDmiSettingsDialog(ProgramModule(), nullptr, *program), 1);
  ASSERT_TRUE(*seen);
  EXPECT_EQ(program->dmi().DmiMode, DmiModeValue::NewStrings);
  EXPECT_STREQ(program->dmi().EnteredDmi.Manufacturer, "NewMa");
}

TEST(PasswordDialogTest, AnEmptyEntryIsRefusedOverTheOpenDialogAndTwelveCharactersAreKept) {
  ScriptedDesktop desktop;
  auto seen = WhileDialog("Quorrelite Password", [&](HWND dialog) {
    Click(dialog, IDOK);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              (MessageRecord{"You need to enter a password!!", "Quorrelite", kMbIconHand}));
    EXPECT_EQ(desktop.messages[0].owner, dialog);
    EXPECT_TRUE(IsWindow(dialog));
    SetDlgItemTextA(dialog, IDC_PASSWORD_EDIT, "0123456789012345");
    Click(dialog, IDOK);
  });
  char entry[kPasswordEntrySize] = {};
  EXPECT_TRUE(ShowPasswordDialog(ProgramModule(), nullptr, desktop, entry, sizeof entry));
  ASSERT_TRUE(*seen);
  EXPECT_STREQ(entry, "012345678901");
}

TEST(ShutdownBoxTest, CountsDownToTheEndOnTheEleventhTickAndTheCloseBoxShutsNothingDown) {
  std::vector<std::string> texts;
  std::vector<LRESULT> bar;
  auto seen = WhileDialog("Quorrelite Shutdown Box", [&](HWND dialog) {
    HWND progress = FindWindowExA(dialog, nullptr, PROGRESS_CLASSA, "Progress Bar");
    ASSERT_NE(progress, nullptr);
    for (int tick = 1; tick <= 11 && IsWindow(dialog); ++tick) {
      SendMessageA(dialog, WM_TIMER, IDT_SHUTDOWN, 0);
      if (!IsWindowVisible(dialog)) break;
      texts.push_back(Text(dialog, IDC_SHUTDOWN_TEXT));
      bar.push_back(SendMessageA(progress, PBM_GETPOS, 0, 0));
    }
  });
  EXPECT_EQ(ShowShutdownBox(ProgramModule(), nullptr, kShutdownSeconds),
            ShutdownBoxEnd::kCountdownElapsed);
  ASSERT_TRUE(*seen);
  ASSERT_EQ(texts.size(), 10u) << "the eleventh tick ends the box";
  EXPECT_EQ(texts[0], "System preparing to shutdown at 9 seconds.....");
  EXPECT_EQ(texts[9], "System preparing to shutdown at 0 seconds.....");
  EXPECT_EQ(bar[0], 10);
  EXPECT_EQ(bar[9], 100);

  WhileDialog("Quorrelite Shutdown Box",
              [](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  EXPECT_EQ(ShowShutdownBox(ProgramModule(), nullptr, kShutdownSeconds), ShutdownBoxEnd::kClosed);
}

// A drop of these files, as the shell hands it over.
HDROP Drop(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& name : names) list += name + '\0';
  list += '\0';
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
  auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(block);
  return static_cast<HDROP>(block);
}

TEST_F(DialogsTest, TheMainWindowWrapsFocusDragsLoadsOneDroppedFileIgnoresEscAndExitsOnAltF4) {
  const std::string rom = folder + "\\image.rom";
  std::ofstream(rom, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  MainWindow window(*program, desktop);
  HWND main = nullptr;
  WhileModal([&] {
    main = static_cast<HWND>(program->MainWindow());
    ASSERT_NE(main, nullptr);
    const Skin& skin = window.skin();
    HWND load = skin.Button(Control::kLoad), exitButton = skin.Button(Control::kExit);

    // The focus wraps round at both ends of the button row.
    SetFocus(exitButton);
    SetFocus(skin.Window(SkinItem::kBlockMap));
    EXPECT_EQ(GetFocus(), load);
    SetFocus(skin.Window(SkinItem::kPhaseItem));
    EXPECT_EQ(GetFocus(), exitButton);

    // Dragging moves the window by the mouse's way, with the mouse captured.
    RECT before, after;
    GetWindowRect(main, &before);
    SendMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 30));
    EXPECT_EQ(GetCapture(), main);
    SendMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(65, 12));
    GetWindowRect(main, &after);
    EXPECT_EQ(after.left - before.left, 25);
    EXPECT_EQ(after.top - before.top, -18);
    EXPECT_EQ(after.right - after.left, kMainWindowSize);
    SendMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(65, 12));
    EXPECT_EQ(GetCapture(), nullptr);

    // Two dropped files load nothing; one loads, and Flash and Backup can be pressed.
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom, rom})), 0);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (MessageRecord{"You can't drop files to Quorrelite!!",
                                                  "Quorrelite", kMbIconAsterisk}));
    EXPECT_FALSE(IsWindowEnabled(skin.Button(Control::kFlash)));
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom})), 0);
    EXPECT_TRUE(IsWindowEnabled(skin.Button(Control::kFlash)));
    EXPECT_TRUE(IsWindowEnabled(skin.Button(Control::kBackup)));

    // Esc reaches the dialog manager as a cancel from no control: nothing happens.
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(main));

    // Alt+F4: the system's close runs the Exit command.
    PostMessageA(main, WM_SYSKEYDOWN, VK_F4, 1 << 29);
  });
  EXPECT_EQ(window.Run(), 1);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(machine->Memory().KernelBytesInUse(), 0u) << "Exit gives the BIOS call buffers back";
}

TEST_F(DialogsTest,
       AFlashRunsWhileTheWindowRefusesShutdownSuspendAndEveryCloseUntilItsShutdownBox) {
  sim::RomSpec spec;
  spec.dmi[1] = "Maker";
  spec.buildDate = "06/01/06";
  spec.fillSeed = 9;  // no block holds it yet: every one is erased and programmed
  std::vector<uint8_t> newer;
  std::string error;
  ASSERT_TRUE(sim::BuildRom(spec, &newer, &error)) << error;
  const std::string rom = folder + "\\newer.rom";
  std::ofstream(rom, std::ios::binary)
      .write(reinterpret_cast<const char*>(newer.data()),
             static_cast<std::streamsize>(newer.size()));
  std::ofstream(folder + "\\brimlet.ini", std::ios::binary).write("\0\1\1\1", 4);  // no backup
  // The machine's own close would end this process and pass for a success.
  machine->closeProgram = [] { ADD_FAILURE() << "the shutdown box was not closed"; };
  MainWindow window(*program, desktop);
  HWND main = nullptr;
  bool boxSeen = false;
  WhileModal([&] {
    main = static_cast<HWND>(program->MainWindow());
    const Skin& skin = window.skin();
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom})), 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_FLASH_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(skin.Button(Control::kFlash)));
    // The job waits for this thread to draw its first step: it has begun, and holds the part.
    EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), FALSE);
    EXPECT_EQ(SendMessageA(main, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), BROADCAST_QUERY_DENY);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_EXIT_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(skin.Button(Control::kExit)));
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom, rom})), 0);
    PostMessageA(main, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    // The system closes the program, as after a restart: the window ends, but after the job.
    PostMessageA(main, kWmClosedBySystem, 0, 0);
    WhenReady(
        [] { return FindWindowA(nullptr, "Quorrelite Shutdown Box") != nullptr; },
        [&] {
          boxSeen = true;
          EXPECT_TRUE(IsWindow(main)) << "a close ended the window under the job";
          const std::vector<uint8_t> meant(program->image().Buffer(),
                                           program->image().Buffer() + program->image().Bytes());
          EXPECT_TRUE(machine->FlashContents() == meant) << "the part is not the image flashed";
          EXPECT_EQ(machine->Bios().Tally().erases, newer.size() / 0x10000);
          // Done with the part: the system may go down, as the box itself offers.
          EXPECT_NE(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), FALSE);
          SendMessageA(FindWindowA(nullptr, "Quorrelite Shutdown Box"), WM_COMMAND, IDCANCEL, 0);
        });
  });
  EXPECT_EQ(window.Run(), 1);
  EXPECT_TRUE(boxSeen);
  // Nothing said a word mid-flash (the drop of two files included); the job told its success.
  std::vector<std::string> texts;
  for (const MessageRecord& m : desktop.messages) texts.push_back(m.text);
  EXPECT_EQ(texts, std::vector<std::string>{kMsgFlashSucceeded});
  EXPECT_EQ(machine->Memory().KernelBytesInUse(), 0u) << "the close after the job gave all back";
}

}  // namespace
}  // namespace ql::testing
