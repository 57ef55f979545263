// Machine folders: the profile and the part's file, written through as the part changes, so a
// run that is killed leaves a half-written part, as a power cut would.
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

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

bool ReadWhole(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *bytes = out.str();
  return !in.bad();
}

bool WriteWhole(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.flush();
  return static_cast<bool>(out);
}

bool WriteText(const std::string& path, const std::string& text) {
  return WriteWhole(path, text.data(), text.size());
}

std::string StateText(uint32_t wrongTries) {
  return "# Kept by the simulated BIOS between program runs; a restart clears it.\n" +
         std::string(kWrongTriesKey) + " = " + std::to_string(wrongTries) + "\n";
}

bool ReadState(const std::string& text, uint32_t* wrongTries, std::string* error) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
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

std::unique_ptr<SimMachine> OpenSimMachine(const std::string& folder, std::string* error) {
  std::string text;
  if (!ReadWhole(PathIn(folder, kProfileFile), &text)) {
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
  if (!ReadWhole(partPath, &partBytes)) {
    *error = partPath + ": cannot be read";
    return nullptr;
  }
  BootState boot;
  std::string booted;
  std::string bootedPath = PathIn(folder, kBootedFile);
  bool hasBooted = ReadWhole(bootedPath, &booted);
  if (hasBooted) {
    if (booted.size() != kBiosSegmentLength) {
      *error = bootedPath + ": " + std::to_string(booted.size()) + " bytes, not 65536";
      return nullptr;
    }
    boot.biosSegment.assign(booted.begin(), booted.end());
  }
  std::string state;
  if (ReadWhole(PathIn(folder, kStateFile), &state) && !ReadState(state, &boot.wrongTries, error)) {
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
    if (!WriteWhole(bootedPath, seg.data(), seg.size())) {
      *error = bootedPath + ": cannot be written";
      return nullptr;
    }
  }
  auto partFile =
      std::make_shared<std::fstream>(partPath, std::ios::binary | std::ios::in | std::ios::out);
  if (!*partFile) {
    *error = partPath + ": cannot be opened for writing";
    return nullptr;
  }
  machine->onPartWritten = [partFile](uint32_t offset, const uint8_t* bytes, uint32_t count) {
    partFile->seekp(offset);
    partFile->write(reinterpret_cast<const char*>(bytes), count);
    partFile->flush();
  };
  std::string statePath = PathIn(folder, kStateFile);
  machine->onWrongTries = [statePath](uint32_t tries) { WriteText(statePath, StateText(tries)); };
  std::string logPath = PathIn(folder, kShutdownLog);
  machine->onShutdown = [logPath, bootedPath, statePath](uint32_t flags, const BootState& next) {
    std::ofstream log(logPath, std::ios::binary | std::ios::app);
    log << ShutdownName(flags) << " (ExitWindows flags 0x" << std::hex << flags << ")\n";
    WriteWhole(bootedPath, next.biosSegment.data(), next.biosSegment.size());
    WriteText(statePath, StateText(next.wrongTries));
  };
  return machine;
}

bool CreateMachineFolder(const std::string& folder, const std::vector<uint8_t>& part,
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
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = folder + ": cannot be created (" + ec.message() + ")";
    return false;
  }
  // A new machine has never run: no booted BIOS, no tries, no shutdowns.
  for (const char* stale : {kBootedFile, kStateFile, kShutdownLog}) {
    std::filesystem::remove(PathIn(folder, stale), ec);
  }
  if (!WriteText(PathIn(folder, kProfileFile), profileText) ||
      !WriteWhole(PathIn(folder, kPartFile), part.data(), part.size())) {
    *error = folder + ": the machine's files cannot be written";
    return false;
  }
  return true;
}

}  // namespace ql::sim
