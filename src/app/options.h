// The three options that steer a flash (backup first, verify, blank check) and the settings file
// "brimlet.ini" that keeps them between runs: 4 raw bytes, one per option, in the program's
// folder. An option is on exactly when it equals 1; any other stored byte counts as off.
#pragma once

#include <cstdint>

#include <array>

#include "app/startup.h"
#include "platform/desktop.h"
#include "platform/files.h"

namespace ql {

inline constexpr const char* kSettingsFileName = "brimlet.ini";
inline constexpr uint32_t kSettingsFileSize = 4;
// The stored byte of an option that is on, and the value every option starts with.
inline constexpr uint8_t kOptionOn = 1;
// ProgramDirectory, a backslash and the file name.
inline constexpr uint32_t kSettingsPathSize = kProgramDirectorySize + 16;
static_assert(kSettingsPathSize + 4 <= kNewFileNameSize, "the settings file's new file name fits");

// The tick that makes a person's flashes write run records (the factory line's runs always do):
// a file of its own beside the settings file, whose four bytes stay as they are. One byte, on
// exactly when it is 1; a missing file is off.
inline constexpr const char* kRecordsSettingFileName = "records.ini";

inline constexpr const char* kMsgCannotReadSettings =
    "Can not read from brimlet.ini!!\nQuorrelite will use default option setting!!";
inline constexpr const char* kMsgCannotCreateSettings =
    "Can not create brimlet.ini!!\nQuorrelite will use default option setting!!";
inline constexpr const char* kMsgCannotWriteSettings =
    "Can not write to  brimlet.ini!!\nQuorrelite will use default option setting!!";

// The option dialog "OPTION_BOX": its check boxes, and the command that opens the DMI strings
// settings from it.
inline constexpr int kIdcAutoBackup = 1062;
inline constexpr int kIdcAutoVerify = 1063;
inline constexpr int kIdcAutoBlankCheck = 1068;
inline constexpr int kIdcDmiSettings = 1073;
inline constexpr int kIdcWriteRecords = 1089;
inline constexpr int kOptionDialogConfirmed = 1;
inline constexpr int kOptionDialogCancelled = 0;

class Options {
 public:
  explicit Options(Files& files) : files_(files) {}

  // Once, at the main window's initialisation: builds the settings file's name from the program
  // folder, reads the file or creates it with the defaults, and shows each trouble in a box owned
  // by `owner`; in manufacturing mode nothing is shown. A check-only run writes nothing: a file it
  // cannot read leaves the defaults. The records tick is read from its own file. Every failure, a
  // file shorter than the four bytes among them, leaves all four options on. A drive root as the
  // current folder ("D:\") is trimmed to the form the file dialogs start in ("D:").
  void Load(Desktop& desktop, WindowHandle owner, StartupState& startup);
  // True when the file now holds the four bytes. They are written to a new file that then takes
  // the old one's place, so a power cut leaves the old bytes or the new ones, never an empty file
  // (which would read as every option off). A failure leaves the old file as it was.
  bool Save();
  // True when the file was opened and its first four bytes read; sets the options from them. A
  // shorter file changes nothing and answers false.
  bool Read();

  bool AutoBackup() const { return stored_[0] == kOptionOn; }
  bool AutoVerify() const { return stored_[1] == kOptionOn; }
  bool AutoBlankCheck() const { return stored_[2] == kOptionOn; }
  void SetAutoBackup(bool on) { stored_[0] = on ? kOptionOn : 0; }
  void SetAutoVerify(bool on) { stored_[1] = on ? kOptionOn : 0; }
  void SetAutoBlankCheck(bool on) { stored_[2] = on ? kOptionOn : 0; }
  bool WriteRecords() const { return writeRecords_; }
  // Sets the tick and saves it; false when its file could not be written (the tick still holds
  // for this run).
  bool SaveWriteRecords(bool on);

  // Nobody is at the keyboard on the factory line to answer a backup's save dialog: the backup is
  // off for this run, in memory only (the file keeps what the people at the line chose).
  void ApplyManufacturingOverrides();

 private:
  WholeFileWrite SaveFile();
  // Puts a whole new file left by an interrupted save in place of a missing one.
  bool TakeLeftNewFile();
  void SetDefaults() { stored_.fill(kOptionOn); }

  Files& files_;
  // The four bytes as the file keeps them: backup, verify, blank check and one carried unread.
  // A byte other than 1 is off, and is written back as it was read.
  std::array<uint8_t, kSettingsFileSize> stored_ = {kOptionOn, kOptionOn, kOptionOn, kOptionOn};
  char settingsPath_[kSettingsPathSize] = {};
  char recordsPath_[kSettingsPathSize] = {};
  bool writeRecords_ = false;
};

// The option dialog's decisions; the dialog procedure only moves them to and from the controls.
struct OptionChecks {
  bool AutoBackup = false;
  bool AutoVerify = false;
  bool AutoBlankCheck = false;
  bool WriteRecords = false;
};

}  // namespace ql
