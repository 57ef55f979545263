// The three options that steer a flash (backup first, verify, blank check) and the settings file
// "brimlet.ini" that keeps them between runs: 4 raw bytes, one per option, in the program's
// folder. An option is on exactly when it equals 1; any other stored byte counts as off.
#pragma once

#include <cstdint>

#include "app/startup.h"
#include "platform/desktop.h"

namespace ql {

inline constexpr const char* kSettingsFileName = "brimlet.ini";
inline constexpr uint32_t kSettingsFileSize = 4;
inline constexpr uint32_t kOptionDefault = 1;
// ProgramDirectory, a backslash and the file name.
inline constexpr uint32_t kSettingsPathSize = kProgramDirectorySize + 16;

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
inline constexpr int kOptionDialogConfirmed = 1;
inline constexpr int kOptionDialogCancelled = 0;

struct OptionsState {
  uint32_t AutoBackup = kOptionDefault;
  uint32_t AutoVerify = kOptionDefault;
  uint32_t AutoBlankCheck = kOptionDefault;
  uint32_t ReservedOption = kOptionDefault;  // only carried between memory and the file
  char SettingsPath[kSettingsPathSize] = {};
  // Shared by SaveOptions and ReadOptions; a short file leaves its missing bytes as they are.
  uint8_t Transfer[kSettingsFileSize] = {};
};

extern OptionsState Options;

// Once, at the main window's initialisation: builds the settings file's name, reads the file or
// creates it with the defaults, and shows each trouble in a box owned by `owner`. Every failure
// leaves all four options at 1.
void LoadOptions(WindowHandle owner);
// 1 when the file was created and the write succeeded.
int SaveOptions();
// 1 when the file was opened and the read succeeded; sets the options from its bytes.
int ReadOptions();

// The option dialog's decisions; the dialog procedure only moves them to and from the controls.
struct OptionChecks {
  uint32_t AutoBackup = 0;  // BM_GETCHECK / BM_SETCHECK states: 1 ticked, 0 not
  uint32_t AutoVerify = 0;
  uint32_t AutoBlankCheck = 0;
};
// What the three boxes show when the dialog opens: ticked exactly when the option is on.
OptionChecks OptionDialogChecks();
// OK: takes the ticks as the options and saves all four (a failed save shows nothing and keeps
// the ticks in memory). Answers the dialog's end code.
int ConfirmOptionDialog(const OptionChecks& ticked);

}  // namespace ql
