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
  // Nobody stands at the factory line to close a box: there the trouble is passed over and the
  // run goes on with the defaults, as it would after the box.
  auto tell = [&](const char* text, uint32_t style) {
    if (!startup.ManufacturingMode) ProgramMessage(desktop, owner, text, style);
  };
  std::snprintf(recordsPath_, sizeof recordsPath_, "%s\\%s", startup.ProgramDirectory,
                kRecordsSettingFileName);
  FileHandle records = files_.Open(recordsPath_, FileMode::kReadExisting);
  if (records != kInvalidFile) {
    uint8_t byte = 0;
    uint32_t done = 0;
    writeRecords_ = files_.Read(records, &byte, 1, &done) && done == 1 && byte == kOptionOn;
    files_.Close(records);
  }
  if (startup.CheckOnly) {
    if (!Read()) SetDefaults();
    return;
  }

  FileHandle probe = files_.Open(settingsPath_, FileMode::kReadExisting);
  if (probe == kInvalidFile && TakeLeftNewFile()) {
    probe = files_.Open(settingsPath_, FileMode::kReadExisting);
  }
  if (probe != kInvalidFile) {
    files_.Close(probe);
    if (!Read()) {
      tell(kMsgCannotReadSettings, kMbIconExclamation);
      SetDefaults();
    }
    return;
  }

  // A missing file is made through the same replacement as every save, so that no empty file
  // ever stands under its name.
  SetDefaults();
  switch (SaveFile()) {
    case WholeFileWrite::kNotCreated:
      tell(kMsgCannotCreateSettings, kMbIconExclamation);
      tell(settingsPath_, kMbOk);
      SetDefaults();
      return;
    case WholeFileWrite::kNotWritten:
      tell(kMsgCannotWriteSettings, kMbIconExclamation);
      SetDefaults();
      return;
    case WholeFileWrite::kWritten:
      break;
  }
  if (!Read()) {
    tell(kMsgCannotReadSettings, kMbIconExclamation);
    SetDefaults();
  }
}

bool Options::TakeLeftNewFile() {
  // Where the system cannot replace a file in one step, a save removes the old file before it
  // moves the new one in; a power cut in between leaves only the new file, written whole before
  // the old one went. A new file of any other size was cut short while it was written and is
  // never taken: its missing bytes would read as options switched off.
  char newPath[kNewFileNameSize];
  if (!NewFileName(settingsPath_, newPath)) return false;
  FileHandle file = files_.Open(newPath, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  const bool whole = files_.GetSize(file) == kSettingsFileSize;
  files_.Close(file);
  return whole && files_.Replace(newPath, settingsPath_);
}

bool Options::SaveWriteRecords(bool on) {
  writeRecords_ = on;
  const uint8_t byte = on ? kOptionOn : 0;
  return WriteWholeFile(files_, recordsPath_, [&](FileHandle file) {
           uint32_t done = 0;
           return files_.Write(file, &byte, 1, &done) && done == 1;
         }) == WholeFileWrite::kWritten;
}

bool Options::Save() {
  return SaveFile() == WholeFileWrite::kWritten;
}

WholeFileWrite Options::SaveFile() {
  return WriteWholeFile(files_, settingsPath_, [&](FileHandle file) {
    uint32_t done = 0;
    return files_.Write(file, stored_.data(), kSettingsFileSize, &done) &&
           done == kSettingsFileSize;
  });
}

bool Options::Read() {
  FileHandle file = files_.Open(settingsPath_, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  std::array<uint8_t, kSettingsFileSize> bytes = {};
  uint32_t done = 0;
  const bool read = files_.Read(file, bytes.data(), kSettingsFileSize, &done);
  files_.Close(file);
  // A file cut short would leave the options it lacks at 0, switching the verify and the blank
  // check off without a word: it is read as no file at all. Bytes after the fourth are not read.
  if (!read || done != kSettingsFileSize) return false;
  stored_ = bytes;
  return true;
}

void Options::ApplyManufacturingOverrides() {
  stored_[0] = 0;
  stored_[3] = kOptionOn;
}

}  // namespace ql
