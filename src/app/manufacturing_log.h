// The factory line's log "Logfile" next to the program, and the numbered message boxes.
//
// The log is plain text with CR LF line ends: each manufacturing run appends an empty line and a
// header, then one line per event. It is never emptied and never held open: every write opens,
// appends and closes, so a run cut short by a restart leaves every line it wrote. Nothing is
// written outside manufacturing mode.
#pragma once

#include <cstdint>

#include "app/startup.h"
#include "platform/desktop.h"
#include "platform/files.h"

namespace ql {

inline constexpr const char* kLogFileName = "Logfile";
inline constexpr const char* kLogHeader = " ======   Quorrelite Logfile   ==========";
inline constexpr uint32_t kLogPathSize = kProgramDirectorySize + 16;
inline constexpr const char* kMsgCannotCreateLog = "Can not create manufacture log file!!";

// The events the program logs.
inline constexpr const char* kLogRomFileLoaded = "Rom file loaded!!";
inline constexpr const char* kLogStartingToFlash = "Starting to flash!!";
inline constexpr const char* kLogFlashFinished = "Flash finished!!";
inline constexpr const char* kLogShutdownAfter10Seconds = "Shutdown after 10 seconds!!";
inline constexpr const char* kLogWin98Shutdown = "Win98 is going to Shutdown!!";
inline constexpr const char* kLogWin2000Shutdown = "Win2000 is going to Shutdown!!";

struct ManufacturingLogState {
  uint32_t LogReady = 0;  // the log could be opened or created at initialisation
  char LogPath[kLogPathSize] = {};
};

extern ManufacturingLogState ManufacturingLog;

// At initialisation, in manufacturing mode only: makes sure the log exists (a failure is told in
// a box owned by `owner` and leaves the run without a log) and appends the run's header.
void OpenManufacturingLog(WindowHandle owner);
// Appends one line. 1 when it was written or nothing was to be written (not in manufacturing
// mode, or no log); 0 when the file could not be opened, positioned at its end or written.
int AppendLogLine(const char* text);
// Writes `count` CR LF pairs, one 2-byte write each; nothing for a count of 0 or less. 1 when
// every write succeeded.
int WriteLineBreaks(FileHandle file, int count);

// The numbered message boxes.
inline constexpr uint32_t kMsgTextSize = 128;
inline constexpr uint32_t kMsgCaptionSize = 64;
inline constexpr uint32_t kMsgFlagDoNotShow = 0x1;
inline constexpr uint32_t kMsgTableEnd = 0xFFFFFFFFu;

inline constexpr uint32_t MSG_CLOSE_OTHER_APPS = 0x1000;
inline constexpr uint32_t MSG_UPDATE_DMI_ONLY = 0x1001;
inline constexpr uint32_t MSG_DMI_ONLY_NO_MEMORY = 0x1002;
inline constexpr uint32_t MSG_NO_BCPSYS_IN_COPY = 0x1003;

inline constexpr const char* kMsgStrIdNotFound = "Can not find this STR ID !!";
inline constexpr const char* kMsgStrIdNotFoundCaption = " Quorrelite";
inline constexpr int kAnswerSuppressed = 1;
inline constexpr int kAnswerNotInTable = 2;

struct MessageRecord {
  uint32_t Id;
  char Text[kMsgTextSize];
  char Caption[kMsgCaptionSize];
  uint32_t BoxStyle;
  uint32_t Flags;
};

// Searched in order; the record with id kMsgTableEnd ends it.
extern const MessageRecord MessageTable[];

// The answer of the record's box (kIdOk, kIdCancel, ...); 1 without a box for a record marked
// do-not-show; 2 after "Can not find this STR ID !!" for an id not in the table.
int ShowMessageById(uint32_t id, WindowHandle owner);

}  // namespace ql
