// The factory line's own record of a run: one JSON object on one line (JSON Lines), appended to
// records\MACHINE.jsonl in the program's folder, MACHINE being the name MachineFileName gives this
// machine. It answers what the fixed-format Logfile cannot: which machine, which image, and what
// happened, block by block and phase by phase. The schema is in docs/manufacturing.md.
//
// A record that cannot be written is lost without a word: it never stops or changes a flash.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bios/flash_part.h"
#include "dmi/dmi_strings.h"
#include "flash/flash_services.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "rom/bcp_sys.h"

namespace ql {

inline constexpr uint32_t kRecordSchema = 1;
inline constexpr const char* kRecordsFolderName = "records";
inline constexpr const char* kRecordFileExtension = ".jsonl";

// What became of the run, as the record names it.
enum class RunOutcome {
  kFlashed,             // the flash job succeeded
  kFailedPutBack,       // it failed, and the installed BIOS is back, verified
  kFailedHoldsNeither,  // it failed, and the part holds neither BIOS
  kRefused,             // nothing was sent that could change the part: an image refused at load,
                        // a job stopped or refused before its first change
  kFatal,               // the program ended with exit status 1
  kChecked,             // a check-only run compared every block
  kCutShortFound,       // written for an earlier run of this machine whose flash was cut short
                        // (its own record never was), when the next run finds its journal
};
const char* RunOutcomeName(RunOutcome outcome);

// What the loaded image was when it was loaded, before the DMI strings were carried into it.
struct LoadedImage {
  std::string name;    // the file as named
  std::string sha256;  // of the file's bytes
  uint32_t size = 0;
  BcpSysBlock block;
};

// Milliseconds of the phases the program times itself; the flash passes time the others.
struct RunTimes {
  uint32_t load = 0, backup = 0;
};

// Everything a record says, gathered by the program when the run's outcome is settled.
struct RunFacts {
  UtcTime started, ended;
  uint32_t totalMs = 0;
  uint32_t osFamily = 0;
  bool simulated = false;
  const SystemDmiRecord* machine = nullptr;
  const BcpSysBlock* installed = nullptr;  // null until the running BIOS's block was read
  const LoadedImage* image = nullptr;      // null without an accepted image
  bool backup = false, verify = false, blankCheck = false;
  std::span<const FlashBlockRecord> table;  // the block table of the last job; empty without one
  const FlashReport* report = nullptr;
  RunTimes times;
  RunOutcome outcome = RunOutcome::kRefused;
  int exitStatus = -1;  // -1: the run goes on (a person's), and its status is not yet known
  std::span<const std::string> boxes, logLines;
};

// The record as one line of JSON, ended by a line feed.
std::string RecordLine(const RunFacts& facts);

// Appends `line` to the machine's record file in `programDirectory`, the records folder made
// first when missing, with one write to the file opened at its end: the records of two runs never
// mix within a line. False when the folder could not be made or the file not opened or written.
bool AppendRecord(Files& files, const char* programDirectory, const SystemDmiRecord& machine,
                  const std::string& line);

// A desktop that notes the text of every message box it shows, for the record, and otherwise
// hands everything to the desktop it stands for.
class NotingDesktop final : public Desktop {
 public:
  explicit NotingDesktop(Desktop& inner) : inner_(inner) {}
  // The texts noted since the last TakeNoted.
  std::vector<std::string> TakeNoted() { return std::move(noted_); }

  int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                     uint32_t style) override {
    noted_.emplace_back(text);
    return inner_.ShowMessageBox(owner, text, caption, style);
  }
  bool ChooseOpenFile(const FileDialogRequest& request) override {
    return inner_.ChooseOpenFile(request);
  }
  bool ChooseSaveFile(const FileDialogRequest& request) override {
    return inner_.ChooseSaveFile(request);
  }
  bool AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) override {
    return inner_.AskPassword(owner, entry, entrySize);
  }
  ShutdownBoxEnd RunShutdownBox(WindowHandle owner, int seconds) override {
    return inner_.RunShutdownBox(owner, seconds);
  }
  void EnableControl(Control control, bool enabled) override {
    inner_.EnableControl(control, enabled);
  }
  void Repaint(ProgressItem item) override { inner_.Repaint(item); }
  CursorShape SetCursor(CursorShape shape) override { return inner_.SetCursor(shape); }
  void ReleaseSkin() override { inner_.ReleaseSkin(); }

 private:
  Desktop& inner_;
  std::vector<std::string> noted_;
};

}  // namespace ql
