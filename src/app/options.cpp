#include "app/options.h"

#include <cstdio>
#include <cstring>

namespace ql {

namespace {

// A drive root such as "D:\" becomes "D:", the form the file dialogs are started in.
void TrimCurrentDirectory(StartupState& startup) {
  size_t length = std::strlen(startup.CurrentDirectory);
  if (length > 0 && startup.CurrentDirectory[length - 1] == '\\') {
    startup.CurrentDirectory[length - 1] = '\0';
  }
}

}  // namespace

void Options::Load(Desktop& desktop, WindowHandle owner, StartupState& startup) {
  TrimCurrentDirectory(startup);
  std::snprintf(settingsPath_, sizeof settingsPath_, "%s\\%s", startup.ProgramDirectory,
                kSettingsFileName);

  FileHandle probe = files_.Open(settingsPath_, FileMode::kReadExisting);
  if (probe == kInvalidFile && TakeLeftNewFile()) {
    probe = files_.Open(settingsPath_, FileMode::kReadExisting);
  }
  if (probe != kInvalidFile) {
    files_.Close(probe);
    if (!Read()) {
      ProgramMessage(desktop, owner, kMsgCannotReadSettings, kMbIconExclamation);
      SetDefaults();
    }
    return;
  }

  // A missing file is made through the same replacement as every save, so that no empty file
  // ever stands under its name.
  SetDefaults();
  switch (SaveFile()) {
    case SaveResult::kNotCreated:
      ProgramMessage(desktop, owner, kMsgCannotCreateSettings, kMbIconExclamation);
      ProgramMessage(desktop, owner, settingsPath_, kMbOk);
      SetDefaults();
      return;
    case SaveResult::kNotWritten:
      ProgramMessage(desktop, owner, kMsgCannotWriteSettings, kMbIconExclamation);
      SetDefaults();
      return;
    case SaveResult::kSaved:
      break;
  }
  if (!Read()) {
    ProgramMessage(desktop, owner, kMsgCannotReadSettings, kMbIconExclamation);
    SetDefaults();
  }
}

bool Options::TakeLeftNewFile() {
  // Where the system cannot replace a file in one step, a save removes the old file before it
  // moves the new one in; a power cut in between leaves only the new file, written whole before
  // the old one went. A new file of any other size was cut short while it was written and is
  // never taken: its missing bytes would read as options switched off.
  char newPath[kSettingsNewPathSize];
  std::snprintf(newPath, sizeof newPath, "%s%s", settingsPath_, kSettingsNewSuffix);
  FileHandle file = files_.Open(newPath, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  const bool whole = files_.GetSize(file) == kSettingsFileSize;
  files_.Close(file);
  return whole && files_.Replace(newPath, settingsPath_);
}

bool Options::Save() {
  return SaveFile() == SaveResult::kSaved;
}

Options::SaveResult Options::SaveFile() {
  transfer_ = stored_;
  char newPath[kSettingsNewPathSize];
  std::snprintf(newPath, sizeof newPath, "%s%s", settingsPath_, kSettingsNewSuffix);
  FileHandle file = files_.Open(newPath, FileMode::kCreateAlways);
  if (file == kInvalidFile) return SaveResult::kNotCreated;
  uint32_t done = 0;
  bool written =
      files_.Write(file, transfer_.data(), kSettingsFileSize, &done) && done == kSettingsFileSize;
  files_.Close(file);
  if (!written) {
    files_.Remove(newPath);
    return SaveResult::kNotWritten;
  }
  if (files_.Replace(newPath, settingsPath_)) return SaveResult::kSaved;
  // Where the system replaces in steps, a move that failed after the old file was deleted leaves
  // the new file as the only copy: it stays for the next start to take.
  if (Exists(settingsPath_)) files_.Remove(newPath);
  return SaveResult::kNotWritten;
}

bool Options::Exists(const char* path) {
  FileHandle file = files_.Open(path, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  files_.Close(file);
  return true;
}

bool Options::Read() {
  FileHandle file = files_.Open(settingsPath_, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  uint32_t done = 0;
  bool read = files_.Read(file, transfer_.data(), kSettingsFileSize, &done);
  files_.Close(file);
  if (read) stored_ = transfer_;
  return read;
}

void Options::ApplyManufacturingOverrides() {
  stored_[0] = 0;
  stored_[3] = kOptionOn;
}

}  // namespace ql
