// The real dialogs and the main window under the platform (Wine here): the option dialog's file,
// the DMI settings' modes and red caption, the password dialog's empty entry, the shutdown
// countdown, and the main window's focus wrap, dragging, dropped files, Esc and Alt+F4.
// The templates come from quorrelite.exe beside this program.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/main_controller.h"
#include "app/options.h"
#include "app/process_state.h"
#include "app/startup.h"
#include "app/win32/aux_windows.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "dmi/dmi_settings.h"
#include "driver/bios_call.h"
#include "flash/power.h"
#include "platform/platform.h"
#include "platform/testing/recording_machine.h"
#include "platform/testing/scripted_desktop.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "bios/bios_session.h"
#include <shlobj.h>
#include "rom/rom_image.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "skin/win32/skin.h"
#include <commctrl.h>

#include "win32/win32_support.h"

namespace ql::testing {
namespace {

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    ASSERT_NE(ProgramModule(), nullptr);
    Startup.InstanceHandle = ProgramModule();
    previous_ = InstallPlatform(PlatformSeam{&desktop, &machine_, &files, &allocator});
    folder = TempFolderNamed("ql-dialogs-test");
    std::strcpy(Startup.ProgramDirectory, folder.c_str());
    std::strcpy(Startup.CurrentDirectory, folder.c_str());
  }
  void TearDown() override {
    ResetProcessState();
    InstallPlatform(previous_);
  }

  ScriptedDesktop desktop;
  Win32Desktop real;
  Win32Files files;
  Win32Allocator allocator;
  std::string folder;

 private:
  RecordingMachine machine_;  // no test here reaches the driver
  PlatformSeam previous_;
};

TEST_F(DialogsTest, TheOptionDialogShowsTheOptionsAndOkWritesTheSettingsFile) {
  DeleteFileA((folder + "\\brimlet.ini").c_str());
  LoadOptions(nullptr);  // creates the file with the defaults
  auto seen = WhileDialog("Quorrelite Option", [&](HWND dialog) {
    EXPECT_EQ(SendDlgItemMessageA(dialog, kIdcAutoVerify, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Text(dialog, kIdcDmiSettings), "DMI strings...");
    Click(dialog, kIdcAutoVerify);
    Click(dialog, IDOK);
  });
  RunOptionDialog(nullptr);
  ASSERT_TRUE(*seen);
  std::ifstream in(folder + "\\brimlet.ini", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, std::string("\1\0\1\1", 4));
}

TEST_F(DialogsTest, TheDmiSettingsShowEachModeWithItsCaptionFieldsAndFlags) {
  DmiStrings.SystemDmi.SystemDmiPresent = 1;
  DmiStrings.SystemDmi.Manufacturer.Bytes[0] = 5;
  std::memcpy(DmiStrings.SystemDmi.Manufacturer.Bytes + 1, "Maker", 5);
  DmiStrings.DmiMode = DmiModeValue::KeepCurrent;
  auto seen = WhileDialog("Quorrelite DMI Strings Setting", [&](HWND dialog) {
    EXPECT_EQ(Text(dialog, kIdcDmiModeCaption), "DMI strings in current BIOS ");
    EXPECT_EQ(Text(dialog, kIdcDmiManufacturer), "Maker");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kIdcDmiManufacturer)));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kIdcDmiKeepCurrent, BM_GETCHECK, 0, 0), BST_CHECKED);

    // Red on a white brush for the caption; the default colours for every other label.
    HDC dc = GetDC(dialog);
    LRESULT brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kIdcDmiModeCaption)));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    LOGBRUSH colour{};
    ASSERT_NE(GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof colour, &colour), 0);
    EXPECT_EQ(colour.lbColor, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kIdcDmiLabelManufacturer)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    ReleaseDC(dialog, dc);

    Click(dialog, kIdcDmiDontKeep);
    EXPECT_EQ(Text(dialog, kIdcDmiModeCaption), "DMI strings in loaded rom file ");
    EXPECT_EQ(Text(dialog, kIdcDmiUuid), "File didn't read!!");
    EXPECT_EQ(RomImage.FlashEnabled, 0u);

    Click(dialog, kIdcDmiNewStrings);
    EXPECT_EQ(Text(dialog, kIdcDmiModeCaption), "New DMI strings ");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kIdcDmiManufacturer)));
    EXPECT_EQ(RomImage.FlashEnabled, 1u);
    SetDlgItemTextA(dialog, kIdcDmiManufacturer, "NewMakerName");  // cut at 5 by the limit
    Click(dialog, IDOK);
  });
  INT_PTR end = DialogBoxParamA(ProgramModule(), "DMI_SET_BOX", nullptr, DmiSettingsDialog, 0);
  ASSERT_TRUE(*seen);
  EXPECT_EQ(end, 1);
  EXPECT_EQ(DmiStrings.DmiMode, DmiModeValue::NewStrings);
  EXPECT_STREQ(DmiStrings.EnteredDmi.Manufacturer, "NewMa");
  EXPECT_TRUE(desktop.enabled[Control::kFlash]);
  EXPECT_TRUE(desktop.enabled[Control::kBackup]);
}

TEST_F(DialogsTest, ThePasswordDialogRefusesAnEmptyEntryAndStaysOpen) {
  auto seen = WhileDialog("Quorrelite Password", [&](HWND dialog) {
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.right - r.left, 240);
    EXPECT_EQ(r.bottom - r.top, 120);
    Click(dialog, IDOK);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              (MessageRecord{"You need to enter a password!!", "Quorrelite", kMbIconHand}));
    EXPECT_EQ(desktop.messages[0].owner, dialog);
    EXPECT_TRUE(IsWindow(dialog));
    SetDlgItemTextA(dialog, 1064, "0123456789012345");  // 12 characters kept
    Click(dialog, IDOK);
  });
  char entry[kPasswordEntrySize] = {};
  EXPECT_EQ(real.AskPassword(nullptr, entry, sizeof entry), 1);
  ASSERT_TRUE(*seen);
  EXPECT_STREQ(entry, "012345678901");
}

TEST_F(DialogsTest, TheShutdownBoxCountsDownAndEndsOnTheEleventhTick) {
  std::vector<std::string> texts;
  std::vector<LRESULT> bar;
  auto seen = WhileDialog("Quorrelite Shutdown Box", [&](HWND dialog) {
    HWND progress = FindWindowExA(dialog, nullptr, "msctls_progress32", "Progress Bar");
    ASSERT_NE(progress, nullptr);
    for (int tick = 1; tick <= 11 && IsWindow(dialog); ++tick) {
      SendMessageA(dialog, WM_TIMER, 1072, 0);
      if (IsWindowVisible(dialog)) {
        texts.push_back(Text(dialog, 1071));
        bar.push_back(SendMessageA(progress, PBM_GETPOS, 0, 0));
      }
    }
  });
  EXPECT_EQ(real.RunShutdownBox(nullptr, kShutdownSeconds), ShutdownBoxEnd::kCountdownElapsed);
  ASSERT_TRUE(*seen);
  ASSERT_EQ(texts.size(), 10u) << "the eleventh tick ends the box";
  EXPECT_EQ(texts[0], "System preparing to shutdown at 9 seconds.....");
  EXPECT_EQ(texts[9], "System preparing to shutdown at 0 seconds.....");
  EXPECT_EQ(bar[0], 10);
  EXPECT_EQ(bar[9], 100);

  // The close box.
  WhileDialog("Quorrelite Shutdown Box",
              [](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  EXPECT_EQ(real.RunShutdownBox(nullptr, kShutdownSeconds), ShutdownBoxEnd::kClosed);
}

// The main window on a simulated machine in this process.
class MainWindowTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    sim::RomSpec spec;
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(sim::BuildRom(spec, &image, &error)) << error;
    rom = folder + "\\image.rom";
    std::ofstream(rom, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    sim_ = sim::SimMachine::Create(sim::SimProfile{}, image, &error);
    ASSERT_TRUE(sim_) << error;
    InstallPlatform(PlatformSeam{&desktop, sim_.get(), &files, &allocator});
    RegisterAuxWindowClasses(GetModuleHandleA(nullptr));
  }

  // A drop of these files, as the shell hands it over.
  static HDROP Drop(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) list += n + '\0';
    list += '\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
  }

  std::unique_ptr<sim::SimMachine> sim_;
  std::string rom;
};

TEST_F(MainWindowTest, FocusWrapsDragMovesDropsLoadEscIsIgnoredAndAltF4Exits) {
  bool ran = false;
  WhileModal([&] {
    HWND main = static_cast<HWND>(MainController.MainWindow);
    ASSERT_NE(main, nullptr);
    ran = true;
    HWND load = SkinButton(Control::kLoad), exitButton = SkinButton(Control::kExit);

    // Focus wrap at both ends of the button row.
    SetFocus(exitButton);
    SetFocus(Skin.blockMap);
    EXPECT_EQ(GetFocus(), load);
    SetFocus(Skin.phaseItem);
    EXPECT_EQ(GetFocus(), exitButton);

    // Dragging moves by the mouse delta, with the mouse captured.
    RECT before, after;
    GetWindowRect(main, &before);
    SendMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 30));
    EXPECT_EQ(GetCapture(), main);
    SendMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(65, 12));
    GetWindowRect(main, &after);
    EXPECT_EQ(after.left - before.left, 25);
    EXPECT_EQ(after.top - before.top, -18);
    EXPECT_EQ(after.right - after.left, 450);
    SendMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(65, 12));
    EXPECT_EQ(GetCapture(), nullptr);

    // Two dropped files load nothing; one loads.
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom, rom})), 0);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(), (MessageRecord{"You can't drop files to Quorrelite!!",
                                                      "Quorrelite", kMbIconAsterisk}));
    EXPECT_EQ(RomImage.ImageLoaded, 0u);
    SendMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({rom})), 0);
    EXPECT_EQ(RomImage.ImageLoaded, 1u);
    EXPECT_TRUE(desktop.enabled[Control::kFlash]);

    // Esc reaches the dialog manager as a cancel from no control: nothing happens.
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(desktop.skinReleases, 0);

    // Alt+F4: the system close runs the Exit sequence.
    PostMessageA(main, WM_SYSKEYDOWN, VK_F4, 1 << 29);
  });
  EXPECT_EQ(RunMainDialog(), 1);
  ASSERT_TRUE(ran);
  EXPECT_EQ(desktop.skinReleases, 1);
  EXPECT_EQ(BiosCalls.BuffersReady, 0u);
  EXPECT_EQ(sim_->Memory().KernelBytesInUse(), 0u);
}

}  // namespace
}  // namespace ql::testing
