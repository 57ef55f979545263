#include "app/program.h"

#include <cstdlib>

#include "dmi/carry_over.h"
#include "dmi/dmi_flash.h"
#include "dmi/image_dmi.h"
#include "dmi/system_dmi.h"
#include "flash/backup.h"
#include "flash/block_passes.h"
#include "flash/power.h"
#include "platform/message_table.h"
#include "platform/sha256.h"

namespace ql {

Program::Program(Desktop& desktop, Machine& machine, Files& files, Allocator& allocator,
                 const StartupState& startup)
    : noting_(desktop),
      desktop_(noting_),
      machine_(machine),
      files_(files),
      allocator_(allocator),
      startup_(startup),
      log_(files),
      options_(files),
      link_(machine, allocator),
      bios_(link_, allocator),
      caller_(link_),
      session_(caller_, part_, desktop, allocator),
      progress_(desktop),
      image_(allocator, desktop, files, progress_) {}

Program::~Program() = default;

void Program::Initialise(WindowHandle mainWindow) {
  mainWindow_ = mainWindow;
  started_ = machine_.UtcNow();
  startTick_ = machine_.Milliseconds();
  manufacturingRun_ = startup_.ManufacturingMode;
  // The Logfile's fixed lines tell of a flash; a check-only run writes only its record.
  if (startup_.ManufacturingMode && !startup_.CheckOnly) {
    log_.Open(startup_.ProgramDirectory, startup_.LogNote);
  }
  // Before the BIOS interface is reached nothing is held that a fatal end would give back.
  if (!link_.Open(desktop_, mainWindow)) ExitNow(kExitFatal);
  const Outcome discovered = bios_.Discover(desktop_, mainWindow, caller_);
  if (discovered == Outcome::kFailed) EndUnsupported(mainWindow);
  (void)Check(discovered);
  if (!ReadSystemBcpSys(link_, bios_.Segment(), &systemBcpSys_)) EndUnsupported(mainWindow);
  ReadSystemDmi(link_, bios_, &dmi_.SystemDmi);
  options_.Load(desktop_, mainWindow, startup_);
  if (startup_.ManufacturingMode) options_.ApplyManufacturingOverrides();
  if (!caller_.SetUp()) {
    ProgramMessage(desktop_, mainWindow, kMsgMemoryAllocateError, kMbIconHand);
    EndFatally();
  }
  journal_.emplace(files_, startup_.ProgramDirectory, dmi_.SystemDmi);
  cutFound_ = journal_->Exists();
  if (cutFound_) {
    // The cut run never wrote its record: it is written now, from what its journal kept; its
    // times are those of this start.
    const LoadedImage cut{journal_->Value("image"), journal_->Value("image_sha256"), 0, {}};
    WriteRecord(RunOutcome::kCutShortFound, -1, &cut);
  }
  if (cutFound_ && startup_.ManufacturingMode) {
    // The line flashes as it always does, and that rewrites just what the cut left differing.
    log_.Line(kLogLastFlashCutShort);
  } else if (cutFound_) {
    ProgramMessage(desktop_, mainWindow, kMsgLastFlashCutShort, kMbIconExclamation);
  }
  firstPaintDone_ = false;
}

void Program::EndUnsupported(WindowHandle owner) {
  ProgramMessage(desktop_, owner, kMsgBiosNotSupported, kMbIconHand);
  // A BIOS without its BCPSYS block is found with the segment mapped: that goes back too.
  EndFatally();
}

bool Program::FirstPaint(WindowHandle mainWindow) {
  if (firstPaintDone_) return false;
  firstPaintDone_ = true;
  if (!startup_.StartupFilePending) return false;
  const bool loaded = LoadImage(mainWindow, startup_.StartupArgument) == Outcome::kDone;
  if (!startup_.ManufacturingMode) return false;
  if (loaded) return true;
  // The line's own image did not load: the run goes on as a person's, and says so at its end.
  outcome_ = ManufacturingOutcome::kLoadFailed;
  WriteRecord(RunOutcome::kRefused, static_cast<int>(outcome_));
  startup_.ManufacturingMode = false;
  startup_.StartupFilePending = false;
  log_.Stop();
  return false;
}

Outcome Program::LoadImage(WindowHandle owner, const char* path) {
  const uint32_t start = machine_.Milliseconds();
  Outcome loaded = Check(image_.Load(owner, path, systemBcpSys_, startup_.ManufacturingMode));
  times_.load = machine_.Milliseconds() - start;
  imageKnown_ = loaded == Outcome::kDone;
  if (loaded == Outcome::kDone) {
    const Sha256Digest digest = Sha256(image_.Buffer(), image_.Bytes());
    loaded_ = {path, HexDigits(digest.data(), static_cast<uint32_t>(digest.size())), image_.Bytes(),
               image_.ImageBcpSys()};
  }
  if (loaded == Outcome::kDone && image_.ImageDmiPresent()) {
    ReadImageDmi(desktop_, owner, image_, &dmi_.ImageDmi);
  }
  ShowButtons(desktop_, image_.buttons);
  return loaded;
}

void Program::LoadCommand(WindowHandle owner) {
  if (!desktop_.ChooseOpenFile(FileDialog(owner, kLoadDialogTitle, kRomFileFilter,
                                          selectedFileName_, kSelectedFileNameSize,
                                          startup_.CurrentDirectory))) {
    return;
  }
  (void)LoadImage(owner, selectedFileName_);
  log_.Line(kLogRomFileLoaded);
}

void Program::BackupCommand(WindowHandle owner) {
  FlashServices services = Services();
  (void)Check(
      BackupBios(services, files_, owner, systemBcpSys_.RomBytes(), startup_.CurrentDirectory));
}

void Program::FlashCommand(WindowHandle owner) {
  if (startup_.CheckOnly) return RunCheck(owner);
  log_.Line(kLogStartingToFlash);
  if (ShowMessageById(desktop_, MSG_CLOSE_OTHER_APPS, owner) != kIdOk) return;
  // The verify option in force while the job runs is what the line is told about.
  verifying_ = options_.AutoVerify();
  jobRecorded_ = false;
  const bool flashed = RunFlashJob(owner) == Outcome::kDone;
  if (startup_.ManufacturingMode) outcome_ = LineOutcome(flashed);
  // A job that stopped before its result (no image, a declined backup, the power check aborted)
  // has not been recorded yet.
  if (!jobRecorded_) RecordJob(flashed);
  log_.Line(kLogFlashFinished);
}

ManufacturingOutcome Program::LineOutcome(bool flashed) const {
  return flashed && verifying_ ? ManufacturingOutcome::kFlashedAndVerified
         : flashed             ? ManufacturingOutcome::kFlashedNotVerified
         : HoldsNeither()      ? ManufacturingOutcome::kHoldsNeither
                               : ManufacturingOutcome::kFlashFailed;
}

RunOutcome Program::JobOutcome(bool flashed) const {
  if (flashed) return RunOutcome::kFlashed;
  if (HoldsNeither()) return RunOutcome::kFailedHoldsNeither;
  return report_.left == PartLeft::kPutBack ? RunOutcome::kFailedPutBack : RunOutcome::kRefused;
}

void Program::RecordJob(bool flashed) {
  jobRecorded_ = true;
  WriteRecord(JobOutcome(flashed),
              startup_.ManufacturingMode ? static_cast<int>(LineOutcome(flashed)) : -1);
}

void Program::RunCheck(WindowHandle owner) {
  report_ = FlashReport{};
  // What the line's flash would write: the image with this machine's DMI strings and UUID
  // carried into it, in memory.
  CarryDmiStringsIntoImage(desktop_, owner, image_, dmi_.SystemDmi);
  (void)CarryUuidIntoImage(desktop_, owner, image_, dmi_.SystemDmi, dmi_.ImageDmi);
  FlashServices services = Services();
  const FlashSource source{image_.Buffer(), image_.FlashableBytes(), image_.FlashableBytes()};
  PassOptions passes = PassesToRun();
  passes.compareOnly = true;
  const bool checked = Check(FlashBlocks(services, owner, source, passes)) == Outcome::kDone;
  outcome_ = !checked                    ? ManufacturingOutcome::kFlashFailed
             : report_.differing.empty() ? ManufacturingOutcome::kImageAlreadyHeld
                                         : ManufacturingOutcome::kWouldRewrite;
  WriteRecord(checked ? RunOutcome::kChecked : RunOutcome::kRefused, static_cast<int>(outcome_));
  progress_.ResetBlockMap();
  desktop_.Repaint(ProgressItem::kBlockMap);
  // Nobody is there to close the program, and a check has nothing more to do.
  runOver_ = true;
}

bool Program::RecordsWanted() const {
  return manufacturingRun_ || options_.WriteRecords();
}

void Program::WriteRecord(RunOutcome outcome, int exitStatus, const LoadedImage* image) {
  const std::vector<std::string> boxes = noting_.TakeNoted(), lines = log_.TakeWritten();
  if (!RecordsWanted()) return;
  RunFacts facts;
  facts.started = started_;
  facts.ended = machine_.UtcNow();
  facts.totalMs = machine_.Milliseconds() - startTick_;
  facts.osFamily = startup_.OsFamily;
  facts.simulated = startup_.LogNote[0] != '\0';
  facts.machine = &dmi_.SystemDmi;
  facts.installed = systemBcpSys_.RomSizeKb != 0 ? &systemBcpSys_ : nullptr;
  facts.image = image != nullptr ? image : imageKnown_ ? &loaded_ : nullptr;
  facts.backup = options_.AutoBackup();
  facts.verify = options_.AutoVerify();
  facts.blankCheck = options_.AutoBlankCheck();
  facts.table = part_.Blocks();
  facts.report = &report_;
  facts.times = times_;
  facts.outcome = outcome;
  facts.exitStatus = exitStatus;
  facts.boxes = boxes;
  facts.logLines = lines;
  // A record that cannot be written is lost: the flash never waits for it.
  (void)AppendRecord(files_, startup_.ProgramDirectory, dmi_.SystemDmi, RecordLine(facts));
}

void Program::RecordFatalEnd() {
  if (fatalRecorded_) return;
  fatalRecorded_ = true;
  WriteRecord(RunOutcome::kFatal, kExitFatal);
}

void Program::ExitCommand(WindowHandle owner) {
  (void)Check(session_.Disconnect(owner));
  ReleaseResources();
  desktop_.ReleaseSkin();
}

void Program::DropFilesCommand(WindowHandle owner, DroppedFiles& drop) {
  if (drop.Count() > 1) {
    ProgramMessage(desktop_, owner, kMsgCannotDropFiles, kMbIconAsterisk);
    drop.Finish();
    return;
  }
  const uint32_t length = drop.FirstNameLength();
  HeapArray<char> name = HeapArray<char>::Allocate(allocator_, length + 1);
  if (name.empty()) {
    ProgramMessage(desktop_, owner, kMsgDropNoMemory, kMbIconAsterisk);
    drop.Finish();
    return;
  }
  const uint32_t copied = drop.CopyFirstName(name.data(), length + 1);
  name[copied <= length ? copied : length] = '\0';
  (void)LoadImage(owner, name.data());
  name.reset();
  drop.Finish();
}

OptionChecks Program::OptionDialogChecks() const {
  // A stored 2 would tick a box for an option the flash treats as off; the box shows what the
  // flash will do.
  return OptionChecks{options_.AutoBackup(), options_.AutoVerify(), options_.AutoBlankCheck(),
                      options_.WriteRecords()};
}

void Program::ConfirmOptionDialog(const OptionChecks& ticked) {
  options_.SetAutoBackup(ticked.AutoBackup);
  options_.SetAutoVerify(ticked.AutoVerify);
  options_.SetAutoBlankCheck(ticked.AutoBlankCheck);
  (void)options_.Save();
  if (ticked.WriteRecords != options_.WriteRecords()) {
    (void)options_.SaveWriteRecords(ticked.WriteRecords);
  }
}

void Program::ShowDmiForMode(DmiModeValue mode, DmiFieldTexts* shown) {
  ql::ShowDmiForMode(dmi_, image_, mode, shown);
}

void Program::DmiEntryFieldLimits(uint32_t (&limits)[kDmiEntryFieldCount]) const {
  ql::DmiEntryFieldLimits(dmi_.SystemDmi, limits);
}

void Program::ConfirmDmiSettings(const DmiFieldTexts& typed) {
  ql::ConfirmDmiSettings(dmi_, image_.buttons, desktop_, typed);
}

int Program::ExitStatus() const {
  if (!manufacturingRun_) return kExitNormal;
  return static_cast<int>(outcome_);
}

void Program::EndFatally() {
  // A session that could not be closed after a failed flash ends the run, but not before the
  // person or the line is told what the flash left.
  if (report_.left == PartLeft::kHoldsNeither) TellHoldsNeither(mainWindow_);
  RecordFatalEnd();
  ReleaseResources();
  desktop_.ReleaseSkin();
  ExitNow(kExitFatal);
}

Outcome Program::RunFlashJob(WindowHandle owner) {
  // The DMI settings can enable Flash with no image taken, or with a refused one still in the
  // buffer; only the DMI-only flash works from the running BIOS.
  if (dmi_.DmiMode != DmiModeValue::NewStrings && !image_.Loaded()) {
    ProgramMessage(desktop_, owner, kDmiTextFileNotRead, kMbIconHand);
    return Outcome::kFailed;
  }
  report_ = FlashReport{};
  if (!OfferBackup(owner)) return Outcome::kFailed;
  if (!PowerChecked(owner)) return Outcome::kFailed;

  Outcome result = Outcome::kFailed;
  switch (dmi_.DmiMode) {
    case DmiModeValue::KeepCurrent:
      CarryDmiStringsIntoImage(desktop_, owner, image_, dmi_.SystemDmi);
      (void)CarryUuidIntoImage(desktop_, owner, image_, dmi_.SystemDmi, dmi_.ImageDmi);
      result = FlashImage(owner);
      break;
    case DmiModeValue::DontKeep:
      result = FlashImage(owner);
      break;
    case DmiModeValue::NewStrings: {
      if (ShowMessageById(desktop_, MSG_UPDATE_DMI_ONLY, owner) == kIdCancel) {
        return Outcome::kFailed;
      }
      const uint32_t romSize = systemBcpSys_.RomBytes();
      FlashServices services = ChangingServices("DMI strings only", "none");
      // After a cut the part no longer holds what the cut flash derived its blocks from; the
      // journal kept them.
      SavedBlocks saved;
      HeapBuffer savedBytes;
      if (cutFound_) savedBytes = HeapBuffer::Allocate(allocator_, romSize);
      const bool haveSaved =
          !savedBytes.empty() && journal_->ReadSaved(savedBytes.data(), romSize, &saved.which);
      saved.bytes = savedBytes.data();
      result = Check(FlashNewDmiOnly(services, owner, dmi_.EnteredDmi, romSize, PassesToRun(),
                                     haveSaved ? &saved : nullptr));
      break;
    }
  }
  ShowResult(owner, result == Outcome::kDone);
  progress_.ResetBlockMap();
  desktop_.Repaint(ProgressItem::kBlockMap);
  return result;
}

Outcome Program::FlashImage(WindowHandle owner) {
  FlashServices services = ChangingServices(loaded_.name, loaded_.sha256);
  const FlashSource source{image_.Buffer(), image_.FlashableBytes(), image_.FlashableBytes()};
  PassOptions passes = PassesToRun();
  return Check(FlashBlocks(services, owner, source, passes));
}

PassOptions Program::PassesToRun() const {
  // Every job leaves the blocks that already hold what it would write as they are: a whole image
  // mostly, and a DMI-only flash run again after a cut that had already written its block.
  return PassOptions{options_.AutoBlankCheck(), options_.AutoVerify(), /*skipHeldBlocks=*/true};
}

bool Program::OfferBackup(WindowHandle owner) {
  if (!options_.AutoBackup() || flashDone_) return true;
  FlashServices services = Services();
  const uint32_t start = machine_.Milliseconds();
  const Outcome backedUp = Check(
      BackupBios(services, files_, owner, systemBcpSys_.RomBytes(), startup_.CurrentDirectory));
  times_.backup = machine_.Milliseconds() - start;
  if (backedUp == Outcome::kDone) return true;
  return ProgramMessage(desktop_, owner, kMsgBackupFailedQuestion, kMbOkCancel | kMbIconHand) !=
         kIdCancel;
}

bool Program::PowerChecked(WindowHandle owner) {
  for (;;) {
    const std::optional<int> answer = CheckAcPower(machine_, desktop_, owner);
    if (!answer || *answer == kIdIgnore) return true;
    if (*answer == kIdRetry) continue;
    // Abort, and anything a box could answer that is not a choice to go on.
    ProgramMessage(desktop_, owner, kMsgFlashNotProcessed, kMbIconHand);
    return false;
  }
}

void Program::TellHoldsNeither(WindowHandle owner) {
  if (startup_.ManufacturingMode) {
    log_.Line(kLogHoldsNeither);
  } else {
    ProgramMessage(desktop_, owner, kMsgHoldsNeither, kMbIconHand);
  }
}

bool Program::HoldsNeither() const {
  // After a cut the "installed" BIOS read back may itself be half written: only a flash that
  // succeeds is known to leave a whole one.
  return report_.left == PartLeft::kHoldsNeither ||
         (cutFound_ && report_.left != PartLeft::kAsMeant);
}

void Program::ShowResult(WindowHandle owner, bool flashed) {
  if (journalWritten_ && !HoldsNeither()) journal_->Remove();
  if (flashed && cutFound_) journal_->Remove();
  cutFound_ = cutFound_ && !flashed;
  journalWritten_ = false;
  if (!flashed) {
    if (HoldsNeither()) {
      TellHoldsNeither(owner);
    } else if (report_.left == PartLeft::kPutBack) {
      if (startup_.ManufacturingMode) log_.Line(kLogInstalledPutBack);
      if (!startup_.ManufacturingMode) {
        ProgramMessage(desktop_, owner, kMsgInstalledPutBack, kMbIconExclamation);
      }
    }
    // Before the last box, which waits for someone at the line.
    RecordJob(flashed);
    ProgramMessage(desktop_, owner, kMsgFlashFailed, kMbIconHand);
    return;
  }
  flashDone_ = true;
  desktop_.EnableControl(Control::kBackup, false);
  log_.Line(kLogShutdownAfter10Seconds);
  // Before the shutdown box: the restart it leads to ends the program.
  RecordJob(flashed);
  const ShutdownBoxEnd end = desktop_.RunShutdownBox(owner, kShutdownSeconds);
  // The line has nobody to press OK on a success box: a box that could not be shown ends as its
  // countdown would. A person is told of the success instead.
  const bool shutDown = end == ShutdownBoxEnd::kCountdownElapsed ||
                        end == ShutdownBoxEnd::kShutdownNow ||
                        (end == ShutdownBoxEnd::kNotShown && startup_.ManufacturingMode);
  if (!shutDown) {
    ProgramMessage(desktop_, owner, kMsgFlashSucceeded, kMbIconExclamation);
    return;
  }
  // A refused shutdown has told the user to shut down by hand already, or the log has.
  runOver_ =
      !ShutdownSystem(machine_, desktop_, log_, owner,
                      ShutdownRequest{startup_.OsFamily == kWin98, startup_.ManufacturingMode}) &&
      startup_.ManufacturingMode;
}

FlashServices Program::ChangingServices(const std::string& imageName,
                                        const std::string& imageSha256) {
  journalEntry_ = JournalEntry{};
  journalEntry_.machine = &dmi_.SystemDmi;
  journalEntry_.imageName = imageName;
  journalEntry_.imageSha256 = imageSha256;
  journalEntry_.partSize = systemBcpSys_.RomBytes();
  FlashServices services = Services();
  services.watch = this;
  return services;
}

void Program::BeforeFirstChange(std::span<const TreatedBlock> treated, const uint8_t* installed) {
  journalEntry_.treated = treated;
  journalEntry_.installed = installed;
  journalWritten_ = journal_->Write(journalEntry_);
}

FlashServices Program::Services() {
  return FlashServices{desktop_, allocator_, link_,   caller_, session_,
                       part_,    progress_,  report_, nullptr, &machine_};
}

void Program::ExitNow(int status) {
  if (status == kExitFatal) RecordFatalEnd();
  machine_.ExitProcess(status);
  std::abort();  // an exit that returned must never let the run go on
}

Outcome Program::Check(Outcome outcome) {
  if (outcome == Outcome::kFatal) EndFatally();
  return outcome;
}

void Program::ReleaseResources() {
  caller_.Release();
  part_.Release();
  image_.Release();
  bios_.Release();
}

}  // namespace ql
