// The BIOS flash services of the simulated machine. They answer a port write only when port and
// value are those of the booted BIOS's own BCPFEX block, read the parameter block by physical
// address and write the status block "FQBV" the caller named. Anything else (another port, a
// parameter block that is not in memory, a call the profile leaves unanswered) leaves the status
// block untouched, as a real BIOS that never ran would.
//
// Status is 0 on success. A refused Connect, GetFlashPartId, ProgramFlash, EraseBlock, ReadFlash
// or Disconnect answers Status -1 with the reason in Code: -2 unsupported part, -5 password,
// -7 locked out, -11/-12 a text in the receive buffer, and kCodeBadRequest for a call without a
// session, with another part code, outside the part or larger than a buffer, kCodeReadFailed for
// a read the part does not answer, -4 for an erase and -6 for a program the profile fails or the
// part's store (the machine folder's file) does not take.
// OnceFlash answers -9 (programming) or -10 (erasing).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/flash_part.h"
#include "sim/sim_memory.h"
#include "sim/sim_profile.h"

namespace ql::sim {

inline constexpr int32_t kStatusRefused = -1;
inline constexpr int32_t kCodeNone = 0;
inline constexpr int32_t kCodeBadRequest = -1;
inline constexpr int32_t kCodeReadFailed = -3;
// The 4 GiB window the part is decoded at: LinearPtr = 4 GiB - part size + offset.
inline uint32_t PartWindowBase(uint32_t partSize) {
  return static_cast<uint32_t>(0u - partSize);
}

// The BCPFEX trigger of a BIOS segment, as the driver's search would find it (first occurrence).
struct BiosTrigger {
  bool present = false;
  uint32_t port = 0;
  uint8_t value = 0;
};
BiosTrigger FindBiosTrigger(const std::vector<uint8_t>& segment);

// The block table the BIOS reports for a part of `partSize` bytes.
struct BlockRecord {
  uint32_t blockSize, fileOffset, linearPtr, attrib;
};
std::vector<BlockRecord> BlockTableFor(const SimProfile& profile, uint32_t partSize);

// What the part was made to do in one boot, and how long its modelled timings add up to: the
// deterministic measure of a flash, whatever the host's clock does.
struct SimTally {
  uint64_t busyMs = 0;
  uint32_t erases = 0;  // EraseBlock calls and at-once blocks that reached the part
  uint64_t bytesProgrammed = 0;
  uint64_t bytesRead = 0;
};

class SimBios {
 public:
  // `wrongTries` outlives a program run (it is cleared by a restart); `onWrongTries` is told of
  // every change so a machine folder can keep it.
  SimBios(const SimProfile& profile, FlashPart& part, SimMemory& memory, BiosTrigger trigger,
          uint32_t wrongTries, std::function<void(uint32_t)> onWrongTries,
          std::function<void(uint32_t)> pause = {});

  // Called when the profile's cut comes: the power is gone, the call half done.
  std::function<void()> onCut;

  // The port write of TriggerBiosCall.
  void Trigger(uint32_t parameterPhysical, uint32_t port, uint8_t value);

  uint32_t CallCount(uint32_t function) const;
  bool SessionOpen() const { return session_; }
  uint32_t WrongTries() const { return wrongTries_; }
  const std::vector<BlockRecord>& Table() const { return table_; }
  const SimTally& Tally() const { return tally_; }

 private:
  struct Call {
    uint32_t function = 0;
    uint32_t send = 0, receive = 0, status = 0;
    uint32_t sendSize = 0, receiveSize = 0;
    std::array<uint32_t, 8> param{};
    int32_t resultStatus = 0;
    int32_t resultCode = 0;
  };

  void Connect(Call& c);
  void GetFlashPartId(Call& c);
  void ProgramFlash(Call& c);
  void EraseBlock(Call& c);
  void ReadFlash(Call& c);
  void OnceFlash(Call& c);
  void Disconnect(Call& c);

  void Refuse(Call& c, int32_t code);
  // What a call under way has done to the part when the power goes: half an erase, half a
  // program (an at-once block: erased, then half programmed).
  void CutShort(const Call& c);
  bool Receive(Call& c, const uint8_t* data, uint32_t count);
  void ReceiveText(Call& c, const std::string& text, int32_t code);
  // The part offset of a range the functions address by LinearPtr; false outside the part.
  bool PartRange(uint32_t linear, uint32_t count, uint32_t* offset) const;
  // True when one of `offsets` lies in the range.
  static bool FailsAt(const std::vector<uint32_t>& offsets, uint32_t offset, uint32_t count);
  bool GatherPages(const Call& c, uint32_t pages, std::vector<uint8_t>* data) const;
  void Pause(uint32_t ms);

  const SimProfile& profile_;
  FlashPart& part_;
  SimMemory& memory_;
  BiosTrigger trigger_;
  std::vector<BlockRecord> table_;
  std::function<void(uint32_t)> onWrongTries_;
  std::function<void(uint32_t)> pause_;
  SimTally tally_;
  uint32_t wrongTries_;
  uint32_t unanswered_;
  bool session_ = false;
  std::array<uint32_t, 8> calls_{};
  uint32_t allCalls_ = 0;
};

}  // namespace ql::sim
