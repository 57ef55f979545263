// The main window controller's decisions and command sequences: the initialisation order, the
// first paint (start-up file and the factory line's automatic flash), the Load, Flash and Exit
// commands, dropped files, the command dispatch, the focus wrap, window dragging, and the exit
// status of a manufacturing run. The dialog procedure moves messages to these functions and
// carries out their answers on the windows.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "skin/skin_layout.h"

namespace ql {

inline constexpr uint32_t kSelectedFileNameSize = 200;

inline constexpr const char* kMsgBiosNotSupported = " Your BIOS didn't support Quorrelite!!";
inline constexpr const char* kMsgCannotDropFiles = "You can't drop files to Quorrelite!!";
inline constexpr const char* kMsgDropNoMemory = "Memory allocated failed for dropping file!!";

// The open-file dialog of the Load command.
inline constexpr const char* kLoadDialogTitle = "Load Rom File";
// NUL-separated pairs, ended by an empty string.
inline constexpr char kRomFileFilter[] =
    "Rom File (*.Rom;*.Bak;*.Bin)\0*.rom;*.bak;*.Bin\0All types (*.*)\0*.*\0";

// Button notification codes the dispatch looks at.
inline constexpr uint32_t kBnClicked = 0;
inline constexpr uint32_t kBnSetFocus = 6;
inline constexpr uint32_t kBnKillFocus = 7;

// What a factory line reads from the program's exit status. A run without "/M" ends with
// kExitNormal; a fatal end anywhere is kExitFatal. Zero after "/M" means exactly: the named image
// was flashed, every programmed piece was verified, and nothing failed afterwards.
enum class ManufacturingOutcome : int {
  kFlashedAndVerified = 0,
  kFatal = 1,               // driver, BIOS interface, session or memory: the program stopped
  kLoadFailed = 2,          // the named file could not be loaded; nothing was flashed
  kFlashFailed = 3,         // the flash job ran and did not succeed (or was abandoned)
  kFlashedNotVerified = 4,  // the flash job succeeded with verification switched off
  kNotFlashed = 5,          // the program ended before the flash job ran
};
inline constexpr int kExitNormal = 0;

// The source of a command, told by the handle of the control that sent it.
enum class CommandSource { kLoad, kBackup, kOption, kHelp, kFlash, kExit, kOther };

enum class CommandAction {
  kNone,       // ignored: focus notifications, Esc, the splash's end, unknown sources
  kFocusWrap,  // BN_KILLFOCUS: see FocusWrapTarget
  kLoad,
  kBackup,
  kOption,
  kHelp,
  kFlash,
  kExit,
};

// The window that holds the focus after a button lost it, as the focus wrap sees it.
enum class FocusHolder { kBlockMap, kPhaseItem, kOther };

struct MainControllerState {
  WindowHandle MainWindow = nullptr;
  uint32_t FirstPaintDone = 0;
  uint32_t Dragging = 0;
  int32_t GrabX = 0;
  int32_t GrabY = 0;
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  char SelectedFileName[kSelectedFileNameSize] = {};
  // The run was started with "/M"; kept after ManufacturingMode ends so the exit status still
  // tells the line what became of the image it named.
  uint32_t ManufacturingRun = 0;
  ManufacturingOutcome Outcome = ManufacturingOutcome::kNotFlashed;
  // The operating system closes the program after a restart was asked for.
  uint32_t ClosedBySystem = 0;
};

extern MainControllerState MainController;

struct WindowPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// The main window's top-left corner, centred on a screen of this size (halves truncated toward
// zero, so a screen smaller than the window gives a negative corner).
WindowPoint MainWindowOrigin(int32_t screenWidth, int32_t screenHeight);

// Initialisation after the skin exists and the window is placed: the manufacturing log, the
// driver, the BIOS interface, the options with the manufacturing overrides and the BIOS call
// buffers, in that order. The driver or the BIOS interface missing ends the process with exit
// status 1 (the driver's message is its own; the interface's is kMsgBiosNotSupported).
void InitialiseMainWindow(WindowHandle mainWindow);

// The first paint: loads the start-up file once. True when the manufacturing flash is to run
// now (the caller sends the Flash command to the main window); a manufacturing file that did not
// load ends manufacturing mode instead.
bool FirstPaint(WindowHandle mainWindow);

// The Flash and Backup buttons follow the ROM image's flags after every load attempt.
void ApplyLoadFlags();

// The open-file dialog for a ROM file; 1 when a name was chosen (left in SelectedFileName).
int ChooseRomFile(WindowHandle owner);
void LoadCommand(WindowHandle owner);
void FlashCommand(WindowHandle owner);
// Closes the BIOS session and releases everything; the caller then ends the dialog with 1.
void ExitCommand(WindowHandle owner);

// The files of one drop, as the platform hands them over.
class DroppedFiles {
 public:
  virtual ~DroppedFiles() = default;
  virtual uint32_t Count() = 0;
  // The length of the first file's name, without terminator.
  virtual uint32_t FirstNameLength() = 0;
  // Copies the first name into `name` (room for `size` bytes); answers the characters copied.
  virtual uint32_t CopyFirstName(char* name, uint32_t size) = 0;
  // Gives the drop back to the platform; called once on every path.
  virtual void Finish() = 0;
};
// One dropped file is loaded; more than one is refused whole. No log line.
void DropFilesCommand(WindowHandle owner, DroppedFiles& drop);

// The command a WM_COMMAND means: the notification code first, then the source.
CommandAction DispatchCommand(uint32_t notification, CommandSource source);

// Where the focus goes after `from` lost it to `now`: the ends of the button row wrap round
// instead of resting on the block map or the phase item. kOther = leave it.
CommandSource FocusWrapTarget(CommandSource from, FocusHolder now);

// Dragging: the press keeps the grab point; a move while dragging answers the window's new
// top-left corner (the rectangle's size is kept by the caller); the release ends it.
void BeginDrag(int32_t x, int32_t y);
bool DragMove(int32_t left, int32_t top, int32_t x, int32_t y, WindowPoint* origin);
bool EndDrag();
// A mouse position word of a message, read as signed: positions left of or above a captured
// window are negative.
int32_t SignedWord(uint32_t word);

// The operating system closes the program after the restart the shutdown box asked for.
void ProgramClosedBySystem();

// The process's exit status once the main dialog has ended.
int ExitStatusAfterMainDialog();

}  // namespace ql
