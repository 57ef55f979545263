// One flash or one backup of a simulated machine's BIOS by the program's own commands, timed and
// counted:
//   flash_bench flash SIZE_KB OUT_DIR [full|installed|one]   (full when left out)
//   flash_bench backup SIZE_KB OUT_DIR
// The machine has the default table of 64 KiB blocks and a part with modelled timings (kEraseMs per
// block, kProgramMs and kReadMs per 4 KiB), summed by the machine and never slept. The flash loads
// an image from a file and flashes it with blank check and verify (the backup option off, so that
// only the flash is measured): "full" a newer image that differs in every block, "installed" the
// image the part already holds, "one" the installed image with every byte of one 64 KiB block (the
// second) inverted. The backup reads the installed BIOS into OUT_DIR/bench.bak. Either is checked
// against what it should have produced, and a mismatch ends with status 1. One line of key=value
// results is printed.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "driver/wire.h"
#include "platform/posix/posix_files.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"

namespace ql::bench {
namespace {

// The part's modelled timings: a 64 KiB block erase, and programming and reading 4 KiB.
constexpr uint32_t kEraseMs = 300;
constexpr uint32_t kProgramMs = 25;
constexpr uint32_t kReadMs = 1;
constexpr uint32_t kChangedBlock = 1;  // of "one"
constexpr uint32_t kBlockBytes = 0x10000;

enum class Image { kFull, kInstalled, kOne };

// Nobody watches: every box takes its first button, the open and save dialogs the bench's files,
// the shutdown box is closed.
class QuietDesktop final : public Desktop {
 public:
  std::string openName, saveName;
  std::vector<std::string> boxes;
  int ShowMessageBox(WindowHandle, const char* text, const char*, uint32_t) override {
    boxes.emplace_back(text);
    return kIdOk;
  }
  bool ChooseOpenFile(const FileDialogRequest& r) override { return Answer(r, openName); }
  bool ChooseSaveFile(const FileDialogRequest& r) override { return Answer(r, saveName); }
  bool AskPassword(WindowHandle, char*, uint32_t) override { return false; }
  ShutdownBoxEnd RunShutdownBox(WindowHandle, int) override { return ShutdownBoxEnd::kClosed; }
  void EnableControl(Control, bool) override {}
  void Repaint(ProgressItem) override {}
  CursorShape SetCursor(CursorShape shape) override { return shape; }
  void ReleaseSkin() override {}

 private:
  static bool Answer(const FileDialogRequest& r, const std::string& name) {
    std::snprintf(r.fileName, r.fileNameSize, "%s", name.c_str());
    return true;
  }
};

std::vector<uint8_t> Build(uint32_t sizeKb, uint32_t seed, const char* date) {
  sim::RomSpec spec;
  spec.sizeKb = sizeKb;
  spec.fillSeed = seed;
  spec.buildDate = date;
  std::vector<uint8_t> image;
  std::string error;
  if (!sim::BuildRom(spec, &image, &error)) {
    std::fprintf(stderr, "rom: %s\n", error.c_str());
    std::exit(2);
  }
  return image;
}

uint32_t TotalRequests(const sim::SimMachine& m) {
  const uint32_t codes[] = {
      kIoctlMapPhysicalMemory, kIoctlUnmapPhysicalMemory,  kIoctlSearchMemory,
      kIoctlReadMemory,        kIoctlAllocateKernelMemory, kIoctlFreeKernelMemory,
      kIoctlTriggerBiosCall,   kIoctlFillMemory,           kIoctlWriteMemory};
  uint32_t n = 0;
  for (uint32_t code : codes) n += m.DriverRequestCount(code);
  return n;
}

uint32_t TotalBiosCalls(const sim::SimMachine& m) {
  uint32_t n = 0;
  for (uint32_t f = biosfn::kFirst; f <= biosfn::kLast; ++f) n += m.BiosCallCount(f);
  return n;
}

// Kept out of line so that a profiler can be pointed at the measured work alone.
__attribute__((noinline)) void MeasuredWork(Program& program, bool flash) {
  if (flash) {
    program.FlashCommand(nullptr);
  } else {
    program.BackupCommand(nullptr);
  }
}

int Run(bool flash, Image which, uint32_t sizeKb, const std::string& outDir) {
  // The part takes the installed image; the images are not kept twice, so that the peak memory
  // is the program's and the machine's, not the bench's.
  std::string error;
  sim::SimProfile profile;
  profile.eraseMs = kEraseMs;
  profile.programMs = kProgramMs;
  profile.readMs = kReadMs;
  std::unique_ptr<sim::SimMachine> machine =
      sim::SimMachine::Create(profile, Build(sizeKb, 1, "01/10/05"), &error);
  if (!machine) {
    std::fprintf(stderr, "machine: %s\n", error.c_str());
    return 2;
  }
  QuietDesktop desktop;
  desktop.openName = outDir + "/bench-new.rom";
  desktop.saveName = outDir + "/bench.bak";
  PosixFiles files;
  StandardAllocator allocator;
  StartupState startup;
  startup.OsFamily = kWin2000;
  std::snprintf(startup.CurrentDirectory, sizeof startup.CurrentDirectory, "%s", outDir.c_str());
  // The settings file lands in OUT_DIR as "prog\brimlet.ini".
  std::snprintf(startup.ProgramDirectory, sizeof startup.ProgramDirectory, "%s/prog",
                outDir.c_str());
  Program program(desktop, *machine, files, allocator, startup);
  program.Initialise(nullptr);
  program.ConfirmOptionDialog(OptionChecks{false, true, true});
  if (flash) {
    // Loaded from a file, as the Load command does.
    {
      std::vector<uint8_t> newer =
          which == Image::kFull ? Build(sizeKb, 2, "03/14/05") : machine->FlashContents();
      if (which == Image::kOne) {
        // Every byte of the block inverted: no piece of it is left as the part holds it.
        uint8_t* block = newer.data() + kChangedBlock * kBlockBytes;
        for (uint32_t n = 0; n < kBlockBytes; ++n) block[n] = static_cast<uint8_t>(~block[n]);
      }
      std::ofstream(desktop.openName, std::ios::binary)
          .write(reinterpret_cast<const char*>(newer.data()),
                 static_cast<std::streamsize>(newer.size()));
    }
    program.LoadCommand(nullptr);
    if (!program.image().Loaded()) return 2;
  } else {
    std::remove(desktop.saveName.c_str());
  }
  desktop.boxes.clear();
  uint32_t requestsBefore = TotalRequests(*machine);
  uint32_t callsBefore = TotalBiosCalls(*machine);
  const sim::SimTally before = machine->Bios().Tally();

  auto start = std::chrono::steady_clock::now();
  MeasuredWork(program, flash);
  auto end = std::chrono::steady_clock::now();

  // The flash must leave the image in the part and tell nothing but its success; the backup must
  // leave the part in the file without a word.
  const std::vector<uint8_t>& part = machine->FlashContents();
  bool right =
      flash ? desktop.boxes == std::vector<std::string>{kMsgFlashSucceeded} : desktop.boxes.empty();
  if (flash) {
    right = right && std::memcmp(part.data(), program.image().Buffer(), part.size()) == 0;
  } else {
    std::ifstream in(desktop.saveName, std::ios::binary);
    std::vector<char> piece(kTransferSize);
    for (size_t at = 0; right && at < part.size(); at += piece.size()) {
      right = in.read(piece.data(), static_cast<std::streamsize>(piece.size())) &&
              std::memcmp(piece.data(), part.data() + at, piece.size()) == 0;
    }
    right = right && in.peek() == std::char_traits<char>::eof();
  }
  if (!right) {
    for (const std::string& box : desktop.boxes) std::fprintf(stderr, "box: %s\n", box.c_str());
  }
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  double mib = sizeKb / 1024.0;
  const sim::SimTally& after = machine->Bios().Tally();
  std::printf(
      "op=%s size_kb=%u ok=%d wall_ms=%.3f busy_ms=%llu erases=%u bytes_programmed=%llu "
      "bytes_read=%llu peak_kib=%ld requests_per_mib=%.0f bios_calls_per_mib=%.0f\n",
      flash ? "flash" : "backup", sizeKb, right ? 1 : 0,
      std::chrono::duration<double, std::milli>(end - start).count(),
      static_cast<unsigned long long>(after.busyMs - before.busyMs), after.erases - before.erases,
      static_cast<unsigned long long>(after.bytesProgrammed - before.bytesProgrammed),
      static_cast<unsigned long long>(after.bytesRead - before.bytesRead), usage.ru_maxrss,
      (TotalRequests(*machine) - requestsBefore) / mib,
      (TotalBiosCalls(*machine) - callsBefore) / mib);
  return right ? 0 : 1;
}

}  // namespace
}  // namespace ql::bench

int main(int argc, char** argv) {
  using ql::bench::Image;
  const bool flash = argc > 1 && std::strcmp(argv[1], "flash") == 0;
  const bool backup = argc > 1 && std::strcmp(argv[1], "backup") == 0;
  const char* which = flash && argc > 4 ? argv[4] : "";
  Image image = std::strcmp(which, "installed") == 0 ? Image::kInstalled
                : std::strcmp(which, "one") == 0     ? Image::kOne
                                                     : Image::kFull;
  if (argc < 4 || !(backup || flash) ||
      (flash && argc > 4 && image == Image::kFull && std::strcmp(which, "full") != 0)) {
    std::fprintf(stderr,
                 "usage: flash_bench flash SIZE_KB OUT_DIR [full|installed|one]\n"
                 "       flash_bench backup SIZE_KB OUT_DIR\n");
    return 2;
  }
  uint32_t sizeKb = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  return ql::bench::Run(flash, image, sizeKb, argv[3]);
}
