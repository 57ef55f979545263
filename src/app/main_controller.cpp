#include "app/main_controller.h"

#include <cstdlib>
#include <cstring>

#include "app/program_message.h"
#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/startup.h"
#include "bios/bios_interface.h"
#include "bios/bios_session.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "flash/flash_job.h"
#include "platform/platform.h"
#include "rom/rom_image.h"

namespace ql {

MainControllerState MainController;

namespace {

// Before the BIOS call buffers exist there is nothing for FatalExit to give back: the controller
// ends the process itself.
[[noreturn]] void EndAtInitialisation() {
  TheMachine().ExitProcess(static_cast<int>(ManufacturingOutcome::kFatal));
  std::abort();  // a platform exit that returned must not let the initialisation run on
}

}  // namespace

WindowPoint MainWindowOrigin(int32_t screenWidth, int32_t screenHeight) {
  return WindowPoint{(screenWidth - kMainWindowSize) / 2, (screenHeight - kMainWindowSize) / 2};
}

void InitialiseMainWindow(WindowHandle mainWindow) {
  MainController.MainWindow = mainWindow;
  MainController.ManufacturingRun = Startup.ManufacturingMode;
  if (Startup.ManufacturingMode) OpenManufacturingLog(mainWindow);
  if (OpenDriver(mainWindow) != 0) EndAtInitialisation();
  if (DiscoverBiosInterface(mainWindow) != 0) {
    ProgramMessage(mainWindow, kMsgBiosNotSupported, kMbIconHand);
    EndAtInitialisation();
  }
  LoadOptions(mainWindow);
  if (Startup.ManufacturingMode) {
    // Nobody is at the keyboard to answer a backup's save dialog; memory only, the file keeps
    // what the people at the line chose.
    Options.ReservedOption = 1;
    Options.AutoBackup = 0;
  }
  SetUpBiosCallBuffers(mainWindow);
  MainController.FirstPaintDone = 0;
  RomImage.ImageLoaded = 0;
}

void ApplyLoadFlags() {
  TheDesktop().EnableControl(Control::kFlash, RomImage.FlashEnabled != 0);
  TheDesktop().EnableControl(Control::kBackup, RomImage.BackupEnabled != 0);
}

bool FirstPaint(WindowHandle mainWindow) {
  if (MainController.FirstPaintDone) return false;
  MainController.FirstPaintDone = 1;
  if (!Startup.StartupFilePending) return false;
  int loaded = LoadRomFile(mainWindow, Startup.StartupArgument);
  ApplyLoadFlags();
  if (!Startup.ManufacturingMode) return false;
  if (loaded == 1) return true;
  MainController.Outcome = ManufacturingOutcome::kLoadFailed;
  Startup.ManufacturingMode = 0;
  Startup.StartupFilePending = 0;
  return false;
}

int ChooseRomFile(WindowHandle owner) {
  FileDialogRequest request;
  request.owner = owner;
  request.title = kLoadDialogTitle;
  request.filter = kRomFileFilter;
  request.fileName = MainController.SelectedFileName;
  request.fileNameSize = kSelectedFileNameSize;
  request.initialDirectory = Startup.CurrentDirectory;
  return TheDesktop().ChooseOpenFile(request) != 0 ? 1 : 0;
}

void LoadCommand(WindowHandle owner) {
  if (ChooseRomFile(owner) != 1) return;
  LoadRomFile(owner, MainController.SelectedFileName);
  ApplyLoadFlags();
  AppendLogLine(kLogRomFileLoaded);
}

void FlashCommand(WindowHandle owner) {
  AppendLogLine(kLogStartingToFlash);
  if (ShowMessageById(MSG_CLOSE_OTHER_APPS, owner) != 1) return;
  // The verify option in force while the job runs is what the line is told about.
  const bool verifying = Options.AutoVerify == 1;
  const bool flashed = RunFlashJob(owner) == 1;
  if (Startup.ManufacturingMode) {
    MainController.Outcome = !flashed    ? ManufacturingOutcome::kFlashFailed
                             : verifying ? ManufacturingOutcome::kFlashedAndVerified
                                         : ManufacturingOutcome::kFlashedNotVerified;
  }
  AppendLogLine(kLogFlashFinished);
}

void ExitCommand(WindowHandle owner) {
  DisconnectBios(owner);
  ReleaseBiosCallResources();
  TheDesktop().ReleaseSkin();
}

void DropFilesCommand(WindowHandle owner, DroppedFiles& drop) {
  if (drop.Count() > 1) {
    ProgramMessage(owner, kMsgCannotDropFiles, kMbIconAsterisk);
    drop.Finish();
    return;
  }
  const uint32_t length = drop.FirstNameLength();
  char* name = static_cast<char*>(HeapAllocZeroed(length + 1));
  if (name == nullptr) {
    ProgramMessage(owner, kMsgDropNoMemory, kMbIconAsterisk);
    drop.Finish();
    return;
  }
  uint32_t copied = drop.CopyFirstName(name, length + 1);
  name[copied <= length ? copied : length] = '\0';
  LoadRomFile(owner, name);
  ApplyLoadFlags();
  HeapFreeIfSet(name);
  drop.Finish();
}

CommandAction DispatchCommand(uint32_t notification, CommandSource source) {
  if (notification == kBnSetFocus) return CommandAction::kNone;
  if (notification == kBnKillFocus) return CommandAction::kFocusWrap;
  switch (source) {
    case CommandSource::kLoad:
      return CommandAction::kLoad;
    case CommandSource::kBackup:
      return CommandAction::kBackup;
    case CommandSource::kOption:
      return CommandAction::kOption;
    case CommandSource::kHelp:
      return CommandAction::kHelp;
    case CommandSource::kFlash:
      return CommandAction::kFlash;
    case CommandSource::kExit:
      return CommandAction::kExit;
    case CommandSource::kOther:
      return CommandAction::kNone;
  }
  return CommandAction::kNone;
}

CommandSource FocusWrapTarget(CommandSource from, FocusHolder now) {
  if (from == CommandSource::kExit && now == FocusHolder::kBlockMap) return CommandSource::kLoad;
  if (from == CommandSource::kLoad && now == FocusHolder::kPhaseItem) return CommandSource::kExit;
  return CommandSource::kOther;
}

void BeginDrag(int32_t x, int32_t y) {
  MainController.GrabX = x;
  MainController.GrabY = y;
  MainController.Dragging = 1;
}

bool DragMove(int32_t left, int32_t top, int32_t x, int32_t y, WindowPoint* origin) {
  if (!MainController.Dragging) return false;
  *origin = WindowPoint{left + x - MainController.GrabX, top + y - MainController.GrabY};
  return true;
}

bool EndDrag() {
  if (!MainController.Dragging) return false;
  MainController.Dragging = 0;
  return true;
}

int32_t SignedWord(uint32_t word) {
  return static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFF));
}

void ProgramClosedBySystem() {
  MainController.ClosedBySystem = 1;
}

int ExitStatusAfterMainDialog() {
  if (!MainController.ManufacturingRun) return kExitNormal;
  return static_cast<int>(MainController.Outcome);
}

}  // namespace ql
