// The program: one object that owns every piece of state a run has (the driver link, the BIOS
// call buffers and interface, the flash part and session, the loaded image, the DMI record, the
// options, the progress display, the manufacturing log) and carries out the main window's commands
// on them. The Win32 entry point builds it from the real seams, a test from doubles or the
// simulated machine. The process is ended here and nowhere below.
#pragma once

#include <cstdint>

#include <optional>
#include <string>

#include "app/flash_journal.h"
#include "app/main_controller.h"
#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/run_record.h"
#include "app/startup.h"
#include "bios/bios_interface.h"
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "dmi/dmi_settings.h"
#include "dmi/dmi_strings.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "flash/block_passes.h"
#include "flash/flash_services.h"
#include "flash/progress.h"
#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/outcome.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"

namespace ql {

inline constexpr const char* kMsgBiosNotSupported = " Your BIOS didn't support Quorrelite!!";
inline constexpr const char* kMsgCannotDropFiles = "You can't drop files to Quorrelite!!";
inline constexpr const char* kMsgDropNoMemory = "Memory allocated failed for dropping file!!";

// The open-file dialog of the Load command.
inline constexpr const char* kLoadDialogTitle = "Load Rom File";
// NUL-separated pairs, ended by an empty string.
inline constexpr char kRomFileFilter[] =
    "Rom File (*.Rom;*.Bak;*.Bin)\0*.rom;*.bak;*.Bin\0All types (*.*)\0*.*\0";
inline constexpr uint32_t kSelectedFileNameSize = 200;

// The flash job's own messages.
inline constexpr const char* kMsgBackupFailedQuestion =
    "Backup BIOS Failed!!\n Do you still want to flash the BIOS ??";
inline constexpr const char* kMsgFlashNotProcessed = "Flash didn't process!!\n";
inline constexpr const char* kMsgFlashSucceeded =
    "Flash Successed !! \n It is strongly recommand to shutdown your computer to make BIOS "
    "changed effect!!";
inline constexpr const char* kMsgFlashFailed =
    "Flash Failed !! \n Please try again or contact your customer service!!";

// The events the manufacturing log records for the commands.
inline constexpr const char* kLogRomFileLoaded = "Rom file loaded!!";
inline constexpr const char* kLogStartingToFlash = "Starting to flash!!";
inline constexpr const char* kLogFlashFinished = "Flash finished!!";
inline constexpr const char* kLogShutdownAfter10Seconds = "Shutdown after 10 seconds!!";

// What a failed flash left in the part, told before "Flash Failed": in a box to a person, in the
// log at the line.
inline constexpr const char* kMsgInstalledPutBack =
    "The BIOS that was installed has been put back and verified!!\nThe computer can be restarted!!";
inline constexpr const char* kMsgHoldsNeither =
    "The BIOS that was installed could not be put back!!\nThe flash part holds neither BIOS!!\n"
    "Do not switch the computer off, and flash again now!!";
inline constexpr const char* kLogInstalledPutBack = "Installed BIOS put back and verified!!";
inline constexpr const char* kLogHoldsNeither =
    "The flash part holds neither BIOS!! Do not switch off, flash again!!";

// What a factory line reads from the program's exit status. A run without "/M" ends with
// kExitNormal; a fatal end anywhere is kExitFatal. Zero after "/M" means exactly: the named image
// was flashed, every programmed piece was verified, and nothing failed afterwards.
enum class ManufacturingOutcome : int {
  kFlashedAndVerified = 0,
  kFatal = 1,               // driver, BIOS interface, session or memory: the program stopped
  kLoadFailed = 2,          // the named file could not be loaded; nothing was flashed
  kFlashFailed = 3,         // the flash job did not succeed, and the installed BIOS is in place
                            // (never touched, or put back and verified)
  kFlashedNotVerified = 4,  // the flash job succeeded with verification switched off
  kNotFlashed = 5,          // the program ended before the flash job ran
  kHoldsNeither = 6,        // the flash job failed, and the part holds neither BIOS
  // A check-only run ("/C") compared every block: 0 when the part already holds the image, 7 when
  // a flash would rewrite blocks (the record lists them). A check that could not be made is 3.
  kImageAlreadyHeld = 0,
  kWouldRewrite = 7,
};
inline constexpr int kExitNormal = 0;
inline constexpr int kExitFatal = 1;

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

class Program final : private ChangeWatch {
 public:
  // `startup` is what RunStartup recorded before any window existed.
  Program(Desktop& desktop, Machine& machine, Files& files, Allocator& allocator,
          const StartupState& startup);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Initialisation after the skin exists and the window is placed: the manufacturing log, the
  // driver, the BIOS interface (the running BCPSYS block and DMI strings with it), the options
  // with the manufacturing overrides and the BIOS call buffers, in that order. The driver or the
  // BIOS interface missing ends the process with exit status 1 (the driver's message is its own;
  // the interface's is kMsgBiosNotSupported); so does missing memory, after its message.
  void Initialise(WindowHandle mainWindow);

  // The first paint: loads the start-up file once. True when the manufacturing flash is to run now
  // (the caller sends the Flash command to the main window); a manufacturing file that did not load
  // ends manufacturing mode instead.
  bool FirstPaint(WindowHandle mainWindow);

  // The main window's commands. A fatal outcome anywhere inside ends the process with status 1
  // after releasing what the run holds.
  void LoadCommand(WindowHandle owner);
  void BackupCommand(WindowHandle owner);
  void FlashCommand(WindowHandle owner);
  // Closes the BIOS session and releases everything; the caller then ends the main dialog.
  void ExitCommand(WindowHandle owner);
  // One dropped file is loaded; more than one is refused whole. No log line.
  void DropFilesCommand(WindowHandle owner, DroppedFiles& drop);

  // The option dialog.
  OptionChecks OptionDialogChecks() const;
  // OK: the ticks become the options and all four are saved (a failed save shows nothing).
  void ConfirmOptionDialog(const OptionChecks& ticked);

  // The DMI strings settings dialog.
  DmiModeValue DmiMode() const { return dmi_.DmiMode; }
  void ShowDmiForMode(DmiModeValue mode, DmiFieldTexts* shown);
  void DmiEntryFieldLimits(uint32_t (&limits)[kDmiEntryFieldCount]) const;
  void ConfirmDmiSettings(const DmiFieldTexts& typed);

  // The process's exit status once the main dialog has ended.
  int ExitStatus() const;
  // True once a factory run has nothing left to do but end: its restart was refused, and no one
  // stands at the line to close the program. The main window then ends as the system's close would.
  bool RunOver() const { return runOver_; }

  // Ends the process with status 1 after a fatal outcome whose message has been shown: the run's
  // resources and the skin are released first. The BIOS session is not closed.
  [[noreturn]] void EndFatally();

  // What the windows show.
  const Progress& progress() const { return progress_; }
  const ButtonFlags& buttons() const { return image_.buttons; }
  const StartupState& startup() const { return startup_; }
  WindowHandle MainWindow() const { return mainWindow_; }

  // For tests and the simulated machine's demo: the state a run has reached.
  const RomImage& image() const { return image_; }
  const DmiStrings& dmi() const { return dmi_; }
  const Options& options() const { return options_; }
  const FlashPart& part() const { return part_; }
  const BiosSession& session() const { return session_; }
  const BcpSysBlock& systemBcpSys() const { return systemBcpSys_; }
  const FlashReport& report() const { return report_; }

 private:
  // Loads a ROM file and, when accepted, reads its DMI strings; the buttons follow the result.
  Outcome LoadImage(WindowHandle owner, const char* path);
  // Everything between a press of Flash and the end of a flash: the backup offer, the power
  // check, what becomes of the DMI strings, the flash, the result and the shutdown offer. kDone
  // when the flash ran and every pass it made succeeded.
  Outcome RunFlashJob(WindowHandle owner);
  FlashServices Services();
  // The services of a job that changes the part: the journal is written before its first change.
  FlashServices ChangingServices(const std::string& imageName, const std::string& imageSha256);
  // ChangeWatch.
  void BeforeFirstChange(std::span<const TreatedBlock> treated, const uint8_t* installed) override;
  // The check-only run: the image compared with every block a flash would write, nothing changed;
  // the run is then over.
  void RunCheck(WindowHandle owner);
  // What the line is told of a flash job, and what its record says.
  ManufacturingOutcome LineOutcome(bool flashed) const;
  RunOutcome JobOutcome(bool flashed) const;
  // The run's record, when the line runs the program or a person ticked it; the boxes and log
  // lines since the last record go with it. `exitStatus` -1: not known yet.
  // `image` null: the image loaded, if any.
  void WriteRecord(RunOutcome outcome, int exitStatus, const LoadedImage* image = nullptr);
  void RecordJob(bool flashed);
  // Once, before a fatal end gives back the block table and the image.
  void RecordFatalEnd();
  bool RecordsWanted() const;
  // The failed job left the part holding neither BIOS, as far as the program can tell.
  bool HoldsNeither() const;
  void TellHoldsNeither(WindowHandle owner);
  // Ends the process on kFatal; otherwise answers the outcome.
  Outcome Check(Outcome outcome);
  void ReleaseResources();
  // The running BIOS cannot be flashed by this program: told, and the process ends with status 1.
  [[noreturn]] void EndUnsupported(WindowHandle owner);
  [[noreturn]] void ExitNow(int status);
  // The steps of the flash job. True from the two guards when the job goes on to the flash.
  bool OfferBackup(WindowHandle owner);
  bool PowerChecked(WindowHandle owner);
  Outcome FlashImage(WindowHandle owner);
  PassOptions PassesToRun() const;
  void ShowResult(WindowHandle owner, bool flashed);

  NotingDesktop noting_;  // every box the program shows goes through it, for the records
  Desktop& desktop_;
  Machine& machine_;
  Files& files_;
  Allocator& allocator_;
  StartupState startup_;
  ManufacturingLog log_;
  Options options_;
  DriverLink link_;
  BiosInterface bios_;
  BiosCaller caller_;
  BcpSysBlock systemBcpSys_;
  FlashPart part_;
  BiosSession session_;
  Progress progress_;
  RomImage image_;
  DmiStrings dmi_;
  FlashReport report_;
  std::optional<FlashJournal> journal_;
  JournalEntry journalEntry_;
  bool journalWritten_ = false;
  // The last flash of this machine was cut short: the part read as "installed" may hold neither
  // BIOS, so putting it back mends nothing, and the journal stays until a flash succeeds.
  bool cutFound_ = false;

  WindowHandle mainWindow_ = nullptr;
  bool firstPaintDone_ = false;
  char selectedFileName_[kSelectedFileNameSize] = {};
  // A flash succeeded in this run: the part no longer holds the BIOS that is running, so no backup
  // is offered any more.
  bool flashDone_ = false;
  bool runOver_ = false;
  // The run was started with "/M"; kept after manufacturing mode ends so the exit status still
  // tells the line what became of the image it named.
  bool manufacturingRun_ = false;
  ManufacturingOutcome outcome_ = ManufacturingOutcome::kNotFlashed;

  // For the run's record.
  UtcTime started_;
  uint32_t startTick_ = 0;
  RunTimes times_;
  LoadedImage loaded_;
  bool imageKnown_ = false;   // loaded_ describes the image accepted last
  bool verifying_ = false;    // the verify option in force while the last job ran
  bool jobRecorded_ = false;  // the last flash job's record is written
  bool fatalRecorded_ = false;
};

}  // namespace ql
