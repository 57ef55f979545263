#include "app/manufacturing_log.h"

#include <cstdio>
#include <cstring>

#include "app/program_message.h"
#include "platform/platform.h"

namespace ql {

ManufacturingLogState ManufacturingLog;

const MessageRecord MessageTable[] = {
    {MSG_CLOSE_OTHER_APPS,
     "Please close other application which running now !!\n"
     " Press OK to run flash or Cancel to exit",
     "Quorrelite", kMbOkCancel | kMbIconExclamation, kMsgFlagDoNotShow},
    {MSG_UPDATE_DMI_ONLY, "Updating DMI strings only!!", "Quorrelite",
     kMbOkCancel | kMbIconExclamation, 0},
    {MSG_DMI_ONLY_NO_MEMORY, "Can not allocate memory for flash DMI only!!", "Quorrelite",
     kMbIconHand, 0},
    {MSG_NO_BCPSYS_IN_COPY, "Can not find BCPSYS in copied 4G ROM!!", "Quorrelite", kMbIconHand, 0},
    {kMsgTableEnd, "", "", 0, 0},
};

namespace {

constexpr char kLineBreak[2] = {'\r', '\n'};

// Opens the log positioned at its end, or kInvalidFile. A file that cannot be positioned is
// closed unwritten: writing at its start would overwrite the lines of earlier runs.
FileHandle OpenForAppend() {
  Files& files = TheFiles();
  FileHandle file = files.Open(ManufacturingLog.LogPath, FileMode::kAppendExisting);
  if (file == kInvalidFile) return kInvalidFile;
  if (!files.SeekToEnd(file)) {
    files.Close(file);
    return kInvalidFile;
  }
  return file;
}

bool WriteText(FileHandle file, const char* text) {
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  uint32_t done = 0;
  return TheFiles().Write(file, text, length, &done) && done == length;
}

}  // namespace

int WriteLineBreaks(FileHandle file, int count) {
  int whole = 1;
  for (int i = 0; i < count; ++i) {
    uint32_t done = 0;
    if (!TheFiles().Write(file, kLineBreak, sizeof kLineBreak, &done) ||
        done != sizeof kLineBreak) {
      whole = 0;
    }
  }
  return whole;
}

void OpenManufacturingLog(WindowHandle owner) {
  std::snprintf(ManufacturingLog.LogPath, sizeof ManufacturingLog.LogPath, "%s\\%s",
                Startup.ProgramDirectory, kLogFileName);
  Files& files = TheFiles();
  FileHandle file = files.Open(ManufacturingLog.LogPath, FileMode::kReadExisting);
  // A log that exists but cannot be read just now (held by another program) must not be emptied:
  // only a missing log is created.
  if (file == kInvalidFile) file = files.Open(ManufacturingLog.LogPath, FileMode::kCreateNew);
  if (file == kInvalidFile) {
    ProgramMessage(owner, kMsgCannotCreateLog, kMbIconExclamation);
    ManufacturingLog.LogReady = 0;
    return;
  }
  ManufacturingLog.LogReady = 1;
  files.Close(file);

  file = OpenForAppend();
  if (file == kInvalidFile) return;
  WriteLineBreaks(file, 1);
  WriteText(file, kLogHeader);
  WriteLineBreaks(file, 1);
  files.Close(file);
}

int AppendLogLine(const char* text) {
  if (!Startup.ManufacturingMode || !ManufacturingLog.LogReady) return 1;
  FileHandle file = OpenForAppend();
  if (file == kInvalidFile) return 0;
  if (!WriteText(file, text)) {
    TheFiles().Close(file);
    return 0;
  }
  int ended = WriteLineBreaks(file, 1);
  TheFiles().Close(file);
  return ended;
}

int ShowMessageById(uint32_t id, WindowHandle owner) {
  for (const MessageRecord* record = MessageTable;; ++record) {
    if (record->Id == id) {
      if (record->Flags & kMsgFlagDoNotShow) return kAnswerSuppressed;
      return TheDesktop().ShowMessageBox(owner, record->Text, record->Caption, record->BoxStyle);
    }
    if (record->Id == kMsgTableEnd) break;
  }
  TheDesktop().ShowMessageBox(owner, kMsgStrIdNotFound, kMsgStrIdNotFoundCaption, kMbOk);
  return kAnswerNotInTable;
}

}  // namespace ql
