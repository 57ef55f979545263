// A whole PC whose BIOS can be flashed without risk: the flash driver (discovery and its nine
// control codes over simulated memory), the BIOS flash services, the flash part, the power supply
// and shutdown. Built in memory from a profile and the part's contents, or opened from a machine
// folder (machine.txt, flash.bin; see docs/simulated-machine.md), where the part is written
// through on every erase and program and a shutdown or restart is recorded.
//
// The driver behaves as a buffered driver does. It refuses what it cannot satisfy: a request or
// reply size other than 250/250 or 4104/4104, an unknown control code, an address range not wholly
// inside one kernel buffer or mapping, a count larger than its block, a ReadMemory whose two
// address fields differ, a write to the read-only BIOS segment, and what the profile's faults
// refuse. A refused request answers false, hands back no byte and leaves the reply as it was. A
// request it took hands back the bytes its reply fields fill (none for the requests without
// reply fields), and says how many; a failure it can answer is answered with the markers the
// program tests: MapPhysicalMemory (a range that is not memory) and SearchMemory (nothing found)
// 0xFFFFFFFF, AllocateKernelMemory (no memory left) linear address 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/machine.h"
#include "sim/flash_part.h"
#include "sim/sim_bios.h"
#include "sim/sim_memory.h"
#include "sim/sim_profile.h"

namespace ql::sim {

// The device path the simulated driver is found at.
inline constexpr const char* kSimDevicePath =
    "\\\\?\\root#quorrelite_sim#0000#{c0cf0640-5f6e-11d2-b677-00c0dfe4c1f4}";

// Part sizes the machine accepts: whole 64 KiB units, at least the BIOS segment, at most 32 MiB.
inline constexpr uint32_t kPartUnit = 0x10000;
inline constexpr uint32_t kMaxPartSize = 32u << 20;
bool IsSupportedPartSize(size_t size);

// What survives a program run on the machine: the BIOS segment that booted, the wrong password
// tries the BIOS counts. A restart clears both (the segment is then read from the part again).
struct BootState {
  std::vector<uint8_t> biosSegment;  // empty: boot from the part
  uint32_t wrongTries = 0;
};

class SimMachine final : public Machine {
 public:
  // Null with *error when the profile does not fit the part (a block outside it, say) or the part
  // size is not supported.
  static std::unique_ptr<SimMachine> Create(const SimProfile& profile, std::vector<uint8_t> part,
                                            std::string* error, BootState boot = {});

  // Machine.
  bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) override;
  bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) override;
  uint32_t GetInterfaceDetailSize(DeviceSetHandle set) override;
  bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) override;
  void DestroyDeviceSet(DeviceSetHandle set) override;
  bool OpenDevice(const char* path, DeviceHandle* device) override;
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                     uint32_t* returned) override;
  PowerStatus GetPowerStatus() override;
  bool EnableShutdownPrivilege() override;
  // Records the request, takes the machine down (the driver answers nothing any more), then
  // closes the program as the operating system would: closeProgram. A profile whose shutdown is
  // refused answers false and the machine stays up.
  bool ExitWindows(uint32_t flags) override;
  [[noreturn]] void ExitProcess(int exitCode) override;
  // The simulated clock: it starts at kSimClockStart and moves only by the part's modelled
  // timings, so a run on the machine records the same times every time. With realClock set (the
  // Windows program sets its own), the real one answers instead.
  UtcTime UtcNow() override;
  uint32_t Milliseconds() override;
  Clock* realClock = nullptr;

  // The exit status a cut of the power ends the program with, where a test can see it (a real
  // power cut leaves none).
  static constexpr int kPowerCutStatus = 250;

  // How the process ends. Tests throw from these; the Windows program hooks its own close.
  // Defaults: std::exit(code), and closeProgram ends the process with status 0.
  std::function<void(int)> exitProcess;
  std::function<void()> closeProgram;
  // How the part's modelled timings pass in real time; none by default (tests and benchmarks read
  // the sum from Bios().Tally()). The Windows program sleeps them so a person sees the flash.
  std::function<void(uint32_t ms)> pause;

  // Inspection.
  const std::vector<uint8_t>& FlashContents() const { return part_.Cells(); }
  const std::vector<uint8_t>& RunningBiosSegment() const { return boot_.biosSegment; }
  uint32_t DriverRequestCount(uint32_t code) const;
  uint32_t BiosCallCount(uint32_t function) const { return bios_->CallCount(function); }
  const std::vector<uint32_t>& ShutdownRequests() const { return shutdowns_; }
  bool IsRunning() const { return running_; }
  const SimMemory& Memory() const { return *memory_; }
  const SimBios& Bios() const { return *bios_; }
  const FlashPart& Part() const { return part_; }
  int OpenDeviceSets() const { return setsOpen_; }

  // Starts the machine again after a shutdown or restart: the BIOS in the part now runs, memory
  // and the BIOS session are fresh, the wrong password count is cleared.
  void Restart();

  // Folder-backed machines: every change of the part, of the wrong-try count and every shutdown
  // request goes through these. A change of the part is made only when onPartWritten took it: a
  // false answer leaves the range as it was and fails the BIOS call that asked for the change.
  std::function<bool(uint32_t offset, const uint8_t* bytes, uint32_t count)> onPartWritten;
  std::function<void(uint32_t wrongTries)> onWrongTries;
  std::function<void(uint32_t flags, const BootState& next)> onShutdown;

 private:
  SimMachine(const SimProfile& profile, std::vector<uint8_t> part, BootState boot);
  void Boot();
  // True when taken, with the reply bytes handed back in *returned.
  bool Control(uint32_t code, const uint8_t* request, uint32_t requestSize, uint8_t* reply,
               uint32_t replySize, uint32_t* returned);
  // A bulk read of the BIOS segment's piece the profile fails.
  bool SegmentReadFails(uint32_t linear) const;

  SimProfile profile_;
  FlashPart part_;
  BootState boot_;
  std::unique_ptr<SimMemory> memory_;
  std::unique_ptr<SimBios> bios_;
  bool running_ = true;
  bool deviceOpen_ = false;
  int setsOpen_ = 0;
  char setToken_ = 0;
  char deviceToken_ = 0;
  std::map<uint32_t, uint32_t> requests_;
  uint32_t bulkReads_ = 0, bulkWrites_ = 0, allocations_ = 0;
  std::vector<uint32_t> shutdowns_;
  uint64_t clockMs_ = 0;  // modelled milliseconds since the machine was made
};

// The simulated clock's start: 2006-06-01 08:00:00 UTC.
inline constexpr UtcTime kSimClockStart{2006, 6, 1, 8, 0, 0, 0};

// Opens a machine folder: machine.txt, flash.bin and, once the machine has run, booted.bin and
// state.txt. Null with *error naming the file, line and key when something is wrong. The machine
// writes back through `files`, which must outlive it.
std::unique_ptr<SimMachine> OpenSimMachine(Files& files, const std::string& folder,
                                           std::string* error);

// Makes a machine folder from a part image and profile text (checked first; nothing is written
// when either is bad).
bool CreateMachineFolder(Files& files, const std::string& folder, const std::vector<uint8_t>& part,
                         const std::string& profileText, std::string* error);

// File names inside a machine folder.
inline constexpr const char* kProfileFile = "machine.txt";
inline constexpr const char* kPartFile = "flash.bin";
inline constexpr const char* kBootedFile = "booted.bin";
inline constexpr const char* kStateFile = "state.txt";
inline constexpr const char* kShutdownLog = "shutdown.log";

}  // namespace ql::sim
