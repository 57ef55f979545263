// The factory line's log "Logfile" next to the program, and the numbered message boxes.
//
// The log is plain text with CR LF line ends: each manufacturing run appends an empty line and a
// header, then one line per event. It is never emptied and never held open: every write opens,
// appends and closes, so a run cut short by a restart leaves every line it wrote. Nothing is
// written outside manufacturing mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/startup.h"
#include "flash/power.h"
#include "platform/files.h"

namespace ql {

inline constexpr const char* kLogFileName = "Logfile";
inline constexpr const char* kLogHeader = " ======   Quorrelite Logfile   ==========";
inline constexpr uint32_t kLogPathSize = kProgramDirectorySize + 16;

// Appends to "Logfile" in the program's folder while the run is in manufacturing mode.
class ManufacturingLog final : public EventLog {
 public:
  explicit ManufacturingLog(Files& files) : files_(files) {}

  // At initialisation, in manufacturing mode only: makes sure the log exists and appends the run's
  // header, and after it `note` as a line of its own when it is not empty. Lines are written from
  // then on until Stop. A log that can be neither opened nor created leaves the run without one,
  // and without a box: nobody stands at the line to close it, and the flash must not wait for a
  // log.
  void Open(const char* programDirectory, const char* note = "");
  // Manufacturing mode has ended: nothing more is written.
  void Stop() { active_ = false; }

  // Appends one line when the log is open and active; a line that cannot be written is lost
  // (the run goes on).
  void Line(const char* text) override { (void)Append(text); }
  // True when the line was written or nothing was to be written; false when the file could not be
  // opened, positioned at its end or written.
  [[nodiscard]] bool Append(const char* text);
  // The lines written since the last call, for the run's record.
  std::vector<std::string> TakeWritten() { return std::move(written_); }

 private:
  FileHandle OpenForAppend();
  bool WriteText(FileHandle file, const char* text);
  bool WriteLineBreak(FileHandle file);

  Files& files_;
  bool ready_ = false;   // the log could be opened or created at initialisation
  bool active_ = false;  // the run is in manufacturing mode
  char path_[kLogPathSize] = {};
  std::vector<std::string> written_;
};

}  // namespace ql
