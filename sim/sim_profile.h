// The profile of a simulated machine: its flash part, BIOS security, power supply and the faults
// it shows. Read from the human-readable machine.txt of a machine folder (key = value lines,
// documented in docs/simulated-machine.md) or filled in directly by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::sim {

// The discovery step at which the flash driver cannot be found or opened.
enum class DiscoveryFault { kNone, kClassDevices, kInterface, kRemoved, kDetail, kOpen };

// What OnceFlash reports however the block went.
enum class OnceFlashFault { kNone, kProgram, kErase };

struct BlockSpec {
  uint32_t blockSize = 0;
  uint32_t fileOffset = 0;
  uint32_t linearPtr = 0;
  bool autoLinear = true;  // LinearPtr = 4 GiB - part size + fileOffset
  uint32_t attrib = 0;
};

// Bits of one byte of the part that do not follow erase and program.
struct StuckBits {
  uint32_t offset = 0;  // offset in the part
  uint8_t mask = 0;
  bool high = true;  // stuck at 1 (cannot be programmed) or at 0 (cannot be erased)
};

struct SimProfile {
  // The flash part.
  uint8_t partCode = 0xBF;
  bool partSupported = true;
  uint32_t blockSize = 0x10000;  // of the default, uniform table
  bool explicitBlocks = false;   // `blocks` replaces the default table (it may be empty)
  std::vector<BlockSpec> blocks;
  uint32_t eraseMs = 0;    // per erased block
  uint32_t programMs = 0;  // per programmed 4 KiB
  uint32_t readMs = 0;     // per read 4 KiB

  // BIOS security: 0 leaves the BIOS unsecured.
  uint32_t password = 0;
  uint32_t lockoutAfter = 3;  // wrong passwords before the BIOS refuses until restart; 0 never

  // Power supply and shutdown.
  uint8_t acLineStatus = 1;
  uint8_t batteryFlag = 1;
  bool shutdownPrivilege = true;
  bool shutdownRefused = false;  // ExitWindows answers false and the machine stays up

  // Faults.
  DiscoveryFault discoveryFault = DiscoveryFault::kNone;
  uint32_t unansweredCalls = 0;        // the first N BIOS calls leave the status block untouched
  std::string connectRefusal;          // non-empty: Connect fails with -11 and this text
  std::string disconnectRefusal;       // non-empty: Disconnect fails with -12 and this text
  bool connectWithoutData = false;     // Connect succeeds with Code 0 and no block table
  std::vector<uint32_t> readFailsAt;   // part offsets a ReadFlash cannot cover
  std::vector<uint32_t> eraseFailsAt;  // part offsets whose erase leaves the range as it was
  // Part offsets a ProgramFlash is refused over; the piece is left as it was.
  std::vector<uint32_t> programFailsAt;
  std::vector<StuckBits> stuckBits;
  OnceFlashFault onceFlashFault = OnceFlashFault::kNone;
  uint32_t kernelMemoryLimit = 64u << 20;  // bytes of kernel buffers the driver can hold at once

  // Lies and refusals of the kind real drivers and BIOSes tell. A count of kNever never runs out.
  static constexpr uint32_t kNever = 0xFFFFFFFFu;
  // Part offsets a ReadFlash answers success over (Code 1) without writing the receive buffer.
  std::vector<uint32_t> silentReadAt;
  // After this many bulk reads, every bulk read hands back half the bytes asked and says so.
  uint32_t shortBulkReadsAfter = kNever;
  // The kernel allocations after the first N are refused, the reply left as it was.
  uint32_t allocationRefusedAfter = kNever;
  // The bulk writes after the first N are refused.
  uint32_t bulkWriteRefusedAfter = kNever;
  // Part offsets a ProgramFlash answers success over without writing them.
  std::vector<uint32_t> programmedButNotWrittenAt;
  // Offsets in the BIOS segment whose 4 KiB piece the driver refuses to read in bulk.
  std::vector<uint32_t> segmentReadFailsAt;
  // At its Nth BIOS call (counted from 1 over every function) the machine loses power: an erase
  // or program under way is left half done, and the program ends there. 0: never.
  uint32_t cutAtCall = 0;

  // The part takes some writes wrongly without a word: only reading it back can tell.
  bool SilentWriteFaults() const {
    return !stuckBits.empty() || !programmedButNotWrittenAt.empty();
  }
};

// Parses machine.txt text into *profile (which keeps its defaults for keys not given). On a bad
// line answers false with *error naming the line and the key.
bool ParseProfile(const std::string& text, SimProfile* profile, std::string* error);

// Parses one "key = value" setting into *profile, as a line of machine.txt would.
bool ApplyProfileSetting(const std::string& key, const std::string& value, SimProfile* profile,
                         std::string* error);

// The lines of a text file as a line reader gives them: split at '\n', no empty line after a
// final one.
std::vector<std::string> Lines(const std::string& text);

// A number as the profile writes it: decimal or 0x-prefixed hexadecimal, within u32.
bool ParseNumber(const std::string& text, uint32_t* value);

}  // namespace ql::sim
