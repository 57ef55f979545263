#include "app/options.h"

#include <cstdio>
#include <cstring>

#include "app/program_message.h"
#include "platform/platform.h"

namespace ql {

OptionsState Options;

namespace {

void SetDefaultOptions() {
  Options.AutoBackup = kOptionDefault;
  Options.AutoVerify = kOptionDefault;
  Options.AutoBlankCheck = kOptionDefault;
  Options.ReservedOption = kOptionDefault;
}

// A drive root such as "D:\" becomes "D:", the form the file dialogs are started in.
void TrimCurrentDirectory() {
  size_t length = std::strlen(Startup.CurrentDirectory);
  if (length > 0 && Startup.CurrentDirectory[length - 1] == '\\') {
    Startup.CurrentDirectory[length - 1] = '\0';
  }
}

uint32_t IsOn(uint32_t option) {
  return option == 1 ? 1 : 0;
}

}  // namespace

void LoadOptions(WindowHandle owner) {
  TrimCurrentDirectory();
  std::snprintf(Options.SettingsPath, sizeof Options.SettingsPath, "%s\\%s",
                Startup.ProgramDirectory, kSettingsFileName);

  Files& files = TheFiles();
  FileHandle probe = files.Open(Options.SettingsPath, FileMode::kReadExisting);
  if (probe != kInvalidFile) {
    files.Close(probe);
    if (!ReadOptions()) {
      ProgramMessage(owner, kMsgCannotReadSettings, kMbIconExclamation);
      SetDefaultOptions();
    }
    return;
  }

  FileHandle created = files.Open(Options.SettingsPath, FileMode::kCreateAlways);
  if (created == kInvalidFile) {
    ProgramMessage(owner, kMsgCannotCreateSettings, kMbIconExclamation);
    ProgramMessage(owner, Options.SettingsPath, kMbOk);
    SetDefaultOptions();
    return;
  }
  SetDefaultOptions();
  files.Close(created);
  if (!SaveOptions()) {
    ProgramMessage(owner, kMsgCannotWriteSettings, kMbIconExclamation);
    SetDefaultOptions();
  }
  if (!ReadOptions()) {
    ProgramMessage(owner, kMsgCannotReadSettings, kMbIconExclamation);
    SetDefaultOptions();
  }
}

int SaveOptions() {
  Options.Transfer[0] = static_cast<uint8_t>(Options.AutoBackup);
  Options.Transfer[1] = static_cast<uint8_t>(Options.AutoVerify);
  Options.Transfer[2] = static_cast<uint8_t>(Options.AutoBlankCheck);
  Options.Transfer[3] = static_cast<uint8_t>(Options.ReservedOption);
  Files& files = TheFiles();
  FileHandle file = files.Open(Options.SettingsPath, FileMode::kCreateAlways);
  if (file == kInvalidFile) return 0;
  uint32_t done = 0;
  bool written = files.Write(file, Options.Transfer, kSettingsFileSize, &done);
  files.Close(file);
  return written ? 1 : 0;
}

int ReadOptions() {
  Files& files = TheFiles();
  FileHandle file = files.Open(Options.SettingsPath, FileMode::kReadExisting);
  if (file == kInvalidFile) return 0;
  uint32_t done = 0;
  if (!files.Read(file, Options.Transfer, kSettingsFileSize, &done)) {
    files.Close(file);
    return 0;
  }
  Options.AutoBackup = Options.Transfer[0];
  Options.AutoVerify = Options.Transfer[1];
  Options.AutoBlankCheck = Options.Transfer[2];
  Options.ReservedOption = Options.Transfer[3];
  files.Close(file);
  return 1;
}

OptionChecks OptionDialogChecks() {
  // A stored 2 would tick (or grey) a box for an option the flash treats as off; the box shows
  // what the flash will do.
  return OptionChecks{IsOn(Options.AutoBackup), IsOn(Options.AutoVerify),
                      IsOn(Options.AutoBlankCheck)};
}

int ConfirmOptionDialog(const OptionChecks& ticked) {
  Options.AutoBackup = ticked.AutoBackup;
  Options.AutoVerify = ticked.AutoVerify;
  Options.AutoBlankCheck = ticked.AutoBlankCheck;
  SaveOptions();
  return kOptionDialogConfirmed;
}

}  // namespace ql
