// Machine folders: the profile and the part's file, written through as the part changes, so a
// run that is killed leaves a half-written part, as a power cut would. Every file goes through the
// program's Files: the simulator is linked into the Windows program, which must not bring a file
// library of its own (the oldest systems it runs on lack what one imports).
#include <cstdio>
#include <memory>

#include "bios/bcp_layout.h"
#include "sim/sim_machine.h"

namespace ql::sim {
namespace {

inline constexpr const char* kWrongTriesKey = "wrong_password_tries";

std::string PathIn(const std::string& folder, const char* name) {
  if (folder.empty()) return name;
  char last = folder.back();
  return folder + ((last == '/' || last == '\\') ? "" : "/") + name;
}

bool ReadWhole(Files& files, const std::string& path, std::string* bytes) {
  FileHandle file = files.Open(path.c_str(), FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  uint32_t size = files.GetSize(file);
  uint32_t done = 0;
  bool read = size != kInvalidFileSize;
  if (read) {
    bytes->assign(size, '\0');
    read = size == 0 || (files.Read(file, bytes->data(), size, &done) && done == size);
  }
  files.Close(file);
  return read;
}

bool WriteAll(Files& files, FileHandle file, const void* data, size_t size) {
  uint32_t done = 0;
  return size == 0 || (files.Write(file, data, static_cast<uint32_t>(size), &done) && done == size);
}

bool WriteWhole(Files& files, const std::string& path, const void* data, size_t size) {
  FileHandle file = files.Open(path.c_str(), FileMode::kCreateAlways);
  if (file == kInvalidFile) return false;
  bool written = WriteAll(files, file, data, size);
  files.Close(file);
  return written;
}

bool WriteText(Files& files, const std::string& path, const std::string& text) {
  return WriteWhole(files, path, text.data(), text.size());
}

// Writes into an existing file at `offset`, or (offset kAtEnd) after its end, making it when
// there is none yet.
inline constexpr uint32_t kAtEnd = 0xFFFFFFFFu;

bool WriteInto(Files& files, const std::string& path, uint32_t offset, const void* data,
               size_t size) {
  FileHandle file = files.Open(path.c_str(), FileMode::kAppendExisting);
  if (file == kInvalidFile && offset == kAtEnd) {
    file = files.Open(path.c_str(), FileMode::kCreateNew);
  }
  if (file == kInvalidFile) return false;
  bool placed = offset == kAtEnd ? files.SeekToEnd(file) : files.SeekTo(file, offset);
  bool written = placed && WriteAll(files, file, data, size);
  files.Close(file);
  return written;
}

std::string StateText(uint32_t wrongTries) {
  return "# Kept by the simulated BIOS between program runs; a restart clears it.\n" +
         std::string(kWrongTriesKey) + " = " + std::to_string(wrongTries) + "\n";
}

bool ReadState(const std::string& text, uint32_t* wrongTries, std::string* error) {
  for (const std::string& line : Lines(text)) {
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    std::string key = line.substr(0, line.find_first_of(" =\t"));
    std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    value.erase(value.find_last_not_of(" \t\r") + 1);
    if (key != kWrongTriesKey || !ParseNumber(value, wrongTries)) {
      *error = std::string(kStateFile) + ": '" + line + "' is not " + kWrongTriesKey + " = N";
      return false;
    }
  }
  return true;
}

const char* ShutdownName(uint32_t flags) {
  if ((flags & kEwxReboot) != 0) return "restart";
  if ((flags & kEwxPowerOff) != 0) return "power off";
  return "shutdown";
}

}  // namespace

std::unique_ptr<SimMachine> OpenSimMachine(Files& files, const std::string& folder,
                                           std::string* error) {
  std::string text;
  if (!ReadWhole(files, PathIn(folder, kProfileFile), &text)) {
    *error = PathIn(folder, kProfileFile) + ": cannot be read";
    return nullptr;
  }
  SimProfile profile;
  std::string reason;
  if (!ParseProfile(text, &profile, &reason)) {
    *error = std::string(kProfileFile) + " " + reason;
    return nullptr;
  }
  std::string partBytes;
  std::string partPath = PathIn(folder, kPartFile);
  if (!ReadWhole(files, partPath, &partBytes)) {
    *error = partPath + ": cannot be read";
    return nullptr;
  }
  BootState boot;
  std::string booted;
  std::string bootedPath = PathIn(folder, kBootedFile);
  bool hasBooted = ReadWhole(files, bootedPath, &booted);
  if (hasBooted) {
    if (booted.size() != kBiosSegmentLength) {
      *error = bootedPath + ": " + std::to_string(booted.size()) + " bytes, not 65536";
      return nullptr;
    }
    boot.biosSegment.assign(booted.begin(), booted.end());
  }
  std::string statePath = PathIn(folder, kStateFile);
  std::string state;
  if (ReadWhole(files, statePath, &state) && !ReadState(state, &boot.wrongTries, error)) {
    return nullptr;
  }
  std::unique_ptr<SimMachine> machine = SimMachine::Create(
      profile, std::vector<uint8_t>(partBytes.begin(), partBytes.end()), &reason, boot);
  if (!machine) {
    *error = std::string(kProfileFile) + " with " + kPartFile + ": " + reason;
    return nullptr;
  }
  // First power-on: the BIOS that boots now stays the running one until a restart.
  if (!hasBooted) {
    const std::vector<uint8_t>& seg = machine->RunningBiosSegment();
    if (!WriteWhole(files, bootedPath, seg.data(), seg.size())) {
      *error = bootedPath + ": cannot be written";
      return nullptr;
    }
  }
  // A part that could not take the run's writes must be found out now, not halfway through.
  if (!WriteInto(files, partPath, 0, partBytes.data(), 0)) {
    *error = partPath + ": cannot be opened for writing";
    return nullptr;
  }
  // A change the file did not take is not made: the part and its file must tell the same story,
  // or the next run would boot from bytes this one never verified.
  machine->onPartWritten = [&files, partPath](uint32_t offset, const uint8_t* bytes,
                                              uint32_t count) {
    return WriteInto(files, partPath, offset, bytes, count);
  };
  machine->onWrongTries = [&files, statePath](uint32_t tries) {
    WriteText(files, statePath, StateText(tries));
  };
  std::string logPath = PathIn(folder, kShutdownLog);
  machine->onShutdown = [&files, logPath, bootedPath, statePath](uint32_t flags,
                                                                 const BootState& next) {
    char line[64];
    int length = std::snprintf(line, sizeof line, "%s (ExitWindows flags 0x%x)\n",
                               ShutdownName(flags), static_cast<unsigned>(flags));
    WriteInto(files, logPath, kAtEnd, line, static_cast<size_t>(length));
    WriteWhole(files, bootedPath, next.biosSegment.data(), next.biosSegment.size());
    WriteText(files, statePath, StateText(next.wrongTries));
  };
  return machine;
}

bool CreateMachineFolder(Files& files, const std::string& folder, const std::vector<uint8_t>& part,
                         const std::string& profileText, std::string* error) {
  SimProfile profile;
  std::string reason;
  if (!ParseProfile(profileText, &profile, &reason)) {
    *error = std::string(kProfileFile) + " " + reason;
    return false;
  }
  if (!SimMachine::Create(profile, part, &reason)) {
    *error = reason;
    return false;
  }
  // The folders on the way are made first; only whether the last one exists in the end counts.
  for (size_t at = folder.find_first_of("/\\", 1); at != std::string::npos;
       at = folder.find_first_of("/\\", at + 1)) {
    files.CreateFolder(folder.substr(0, at).c_str());
  }
  if (!files.CreateFolder(folder.c_str())) {
    *error = folder + ": cannot be created";
    return false;
  }
  // A new machine has never run: no booted BIOS, no tries, no shutdowns.
  for (const char* stale : {kBootedFile, kStateFile, kShutdownLog}) {
    files.Remove(PathIn(folder, stale).c_str());
  }
  if (!WriteText(files, PathIn(folder, kProfileFile), profileText) ||
      !WriteWhole(files, PathIn(folder, kPartFile), part.data(), part.size())) {
    *error = folder + ": the machine's files cannot be written";
    return false;
  }
  return true;
}

}  // namespace ql::sim
