// One flash or one backup of a simulated machine's BIOS, timed and counted:
//   flash_bench flash|backup SIZE_KB [OUT_DIR]
// The machine has a zero-latency part with the default table of 64 KiB blocks; every option is
// on. The flash writes a newer image with erase, blank check, program and verify; the backup
// reads the installed BIOS into OUT_DIR/bench.bak. Either is checked against what it should
// have produced, and a mismatch ends with status 1. One line of key=value results is printed.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/process_state.h"
#include "bios/bios_interface.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "driver/driver_requests.h"
#include "flash/backup.h"
#include "flash/block_passes.h"
#include "flash/flash_job.h"
#include "platform/platform.h"
#include "platform/posix/posix_files.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"

namespace ql::bench {
namespace {

// Nobody watches: every box takes its first button, the save dialog the bench's file.
class QuietDesktop final : public Desktop {
 public:
  std::string saveName;
  int boxes = 0;
  int ShowMessageBox(WindowHandle, const char* text, const char*, uint32_t) override {
    std::fprintf(stderr, "box: %s\n", text);
    ++boxes;
    return kIdOk;
  }
  int ChooseOpenFile(const FileDialogRequest&) override { return 0; }
  int ChooseSaveFile(const FileDialogRequest& r) override {
    std::snprintf(r.fileName, r.fileNameSize, "%s", saveName.c_str());
    return 1;
  }
  int AskPassword(WindowHandle, char*, uint32_t) override { return 0; }
  ShutdownBoxEnd RunShutdownBox(WindowHandle, int) override { return ShutdownBoxEnd::kClosed; }
  void EnableControl(Control, bool) override {}
  void Repaint(ProgressItem) override {}
  CursorShape SetCursor(CursorShape shape) override { return shape; }
  void ReleaseSkin() override {}
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
__attribute__((noinline)) int MeasuredWork(bool flash) {
  if (flash) return FlashBlocks(nullptr, RomImage.Buffer, FlashableImageBytes());
  return BackupBios(nullptr);
}

int Run(bool flash, uint32_t sizeKb, const std::string& outDir) {
  // The part takes the installed image; the images are not kept twice, so that the peak memory
  // is the engine's and the machine's, not the bench's.
  std::string error;
  std::unique_ptr<sim::SimMachine> machine =
      sim::SimMachine::Create(sim::SimProfile{}, Build(sizeKb, 1, "01/10/05"), &error);
  if (!machine) {
    std::fprintf(stderr, "machine: %s\n", error.c_str());
    return 2;
  }
  QuietDesktop desktop;
  desktop.saveName = outDir + "/bench.bak";
  PosixFiles files;
  InstallPlatform(PlatformSeam{&desktop, machine.get(), &files, nullptr});
  ResetProcessState();
  if (OpenDriver(nullptr) != 0 || DiscoverBiosInterface(nullptr) != 0) return 2;
  SetUpBiosCallBuffers(nullptr);
  if (flash) {
    // Loaded from a file, as the Load command does.
    std::string name = outDir + "/bench-new.rom";
    {
      std::vector<uint8_t> newer = Build(sizeKb, 2, "03/14/05");
      std::ofstream(name, std::ios::binary)
          .write(reinterpret_cast<const char*>(newer.data()),
                 static_cast<std::streamsize>(newer.size()));
    }
    if (LoadRomFile(nullptr, name.c_str()) != 1) return 2;
  } else {
    std::remove(desktop.saveName.c_str());
  }
  uint32_t requestsBefore = TotalRequests(*machine);
  uint32_t callsBefore = TotalBiosCalls(*machine);

  auto start = std::chrono::steady_clock::now();
  int result = MeasuredWork(flash);
  auto end = std::chrono::steady_clock::now();

  // The flash must leave the image in the part; the backup the part in the file.
  const std::vector<uint8_t>& part = machine->FlashContents();
  bool right = result == 1 && desktop.boxes == 0;
  if (flash) {
    right = right && std::memcmp(part.data(), RomImage.Buffer, part.size()) == 0;
  } else {
    std::ifstream in(desktop.saveName, std::ios::binary);
    std::vector<char> piece(TransferSize);
    for (size_t at = 0; right && at < part.size(); at += piece.size()) {
      right = in.read(piece.data(), static_cast<std::streamsize>(piece.size())) &&
              std::memcmp(piece.data(), part.data() + at, piece.size()) == 0;
    }
    right = right && in.peek() == std::char_traits<char>::eof();
  }
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  double mib = sizeKb / 1024.0;
  std::printf(
      "op=%s size_kb=%u ok=%d wall_ms=%.3f peak_kib=%ld requests_per_mib=%.0f "
      "bios_calls_per_mib=%.0f\n",
      flash ? "flash" : "backup", sizeKb, right ? 1 : 0,
      std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss,
      (TotalRequests(*machine) - requestsBefore) / mib,
      (TotalBiosCalls(*machine) - callsBefore) / mib);
  ReleaseBiosCallResources();
  return right ? 0 : 1;
}

}  // namespace
}  // namespace ql::bench

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: flash_bench flash|backup SIZE_KB [OUT_DIR]\n");
    return 2;
  }
  bool flash = std::strcmp(argv[1], "flash") == 0;
  uint32_t sizeKb = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  std::string outDir = argc > 3 ? argv[3] : "/tmp";
  return ql::bench::Run(flash, sizeKb, outDir);
}
