// Fuzz bytes play the BIOS: the 64 KiB segment the program searches and copies, and the status
// block and receive buffer of every BIOS call. The program runs a flash, a factory flash, a backup
// or a DMI-only flash on the simulated machine. Whatever the BIOS says, no access leaves a buffer,
// every erase and program lies in a block of the program's table inside what it flashes, and a
// job that reports success left its blocks holding what it meant: every block when the BIOS lied
// only by reporting failures, every block but those a lie claimed success or handed bytes for.
// Input: a job byte (bits 0-1 the job, 2-4 backup, verify, blank check, 5 the image's strings), a
// count of segment edits (u16 offset, length, bytes), then per call a kind byte: bit 0 a status
// (bit 1 a valid signature; status and code bytes), bit 2 the receive buffer's first bytes (a u16
// count up to 4096, the bytes). Calls past the input's end are told truly.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "app/program.h"
#include "flash/block_walk.h"
#include "platform/bytes.h"
#include "platform/testing/memory_files.h"
#include "platform/testing/process_exit.h"
#include "platform/testing/recording_machine.h"
#include "platform/testing/scripted_desktop.h"
#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace ql;
using fuzz::Require;

enum Job { kFlash, kFactoryFlash, kBackup, kDmiOnly };

struct Input {
  const uint8_t *at, *end;
  uint8_t Byte() { return at == end ? 0 : *at++; }
};

class LyingMachine final : public testing::RecordingMachine {
 public:
  LyingMachine(sim::SimMachine& sim, Input& lies) : RecordingMachine(sim), sim_(sim), lies_(lies) {}

  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                     uint32_t* returned) override {
    const bool done =
        sim_.DeviceControl(device, code, request, requestSize, reply, replySize, returned);
    if (code == kIoctlWriteMemory && GetLe32(request + wire::kWriteCount) == biosparam::kSize) {
      std::memcpy(params_, request + wire::kWriteData, biosparam::kSize);
    } else if (code == kIoctlTriggerBiosCall) {
      Triggered();
    } else if (code == kIoctlReadMemory) {
      // The status block is the first short read after a call, the receive buffer the first bulk.
      std::vector<uint8_t>& lie = replySize == kShortBlockSize ? status_ : received_;
      std::copy(lie.begin(), lie.end(), reply);
      lie.clear();
    }
    return done;
  }

  Program* program = nullptr;
  Job job = kFlash;
  // Part offsets (from the part's window) of the calls a lie claimed success for or handed bytes
  // for: what the BIOS did there is not what the program was told.
  std::vector<uint32_t> liedAt;
  bool sessionLies = false;  // a connect, part id or disconnect told wrongly

 private:
  uint32_t Param(uint32_t n) const { return GetLe32(params_ + biosparam::ParamOffset(n)); }

  void Triggered() {
    const uint32_t function = GetLe32(params_ + biosparam::kFunction);
    const bool once = function == biosfn::kOnceFlash, piece = function == biosfn::kProgramFlash;
    if (once || piece || function == biosfn::kEraseBlock) {
      const auto blocks = program->part().Blocks();
      const uint32_t index = Param(once ? 4 : 3), at = Param(once ? 2 : 1);
      Require(job != kBackup && index < blocks.size() &&
              BlockInside(blocks[index], job == kDmiOnly ? program->systemBcpSys().RomBytes()
                                                         : program->image().FlashableBytes()));
      const FlashBlockRecord& block = blocks[index];
      const uint32_t into = at - block.LinearPtr;
      Require(piece ? into < block.BlockSize && Param(2) <= block.BlockSize - into
                    : into == 0 && Param(once ? 3 : 2) == block.BlockSize);
    }
    status_.clear();
    received_.clear();
    const uint8_t kind = lies_.Byte();
    bool claimsSuccess = false;
    if ((kind & 1) != 0) {
      status_.resize(biosstatus::kSize);
      const int32_t status = int8_t(lies_.Byte());
      PutLe32(&status_[biosstatus::kSignature], (kind & 2) != 0 ? biosstatus::kSignatureValue : 0);
      PutLe32(&status_[biosstatus::kStatus], static_cast<uint32_t>(status));
      PutLe32(&status_[biosstatus::kCode], static_cast<uint32_t>(int8_t(lies_.Byte())));
      claimsSuccess = (kind & 2) != 0 && status == bioscode::kStatusOk;
    }
    if ((kind & 4) != 0) {
      uint32_t count = lies_.Byte();
      count = (count | lies_.Byte() << 8) % (kTransferSize + 1);
      received_.resize(count);
    }
    for (uint8_t& byte : received_) byte = lies_.Byte();
    // A lie that reports a failure leaves the program no less careful than the truth would.
    if (!claimsSuccess && received_.empty()) return;
    if (function == biosfn::kConnect || function == biosfn::kGetFlashPartId ||
        function == biosfn::kDisconnect) {
      sessionLies = true;
    } else {
      const bool read = function == biosfn::kReadFlash;
      liedAt.push_back(Param(read ? 0 : once ? 2 : 1));
    }
  }

  sim::SimMachine& sim_;
  Input& lies_;
  uint8_t params_[biosparam::kSize] = {};
  std::vector<uint8_t> status_, received_;
};

// True when every treated block the job read (`all`), or wrote whole, or verified, holds its
// `source` bytes in the part where its LinearPtr puts it; the blocks holding an address in
// `liedAt` are left out.
bool PartHolds(const std::vector<uint8_t>& part, const Program& program, const uint8_t* source,
               bool all, const std::vector<uint32_t>& liedAt) {
  const uint32_t window = sim::PartWindowBase(static_cast<uint32_t>(part.size()));
  const bool verified = all || program.options().AutoVerify();
  for (const TreatedBlock& t : TreatedBlocks(program.part().Blocks())) {
    if (!all && !t.treatment.Rewritten() && !(verified && t.treatment.program)) continue;
    const bool lied = std::any_of(liedAt.begin(), liedAt.end(), [&](uint32_t at) {
      return at - t.block.LinearPtr < t.block.BlockSize;
    });
    if (lied) continue;
    const uint32_t at = t.block.LinearPtr - window;
    if (t.block.LinearPtr < window || t.block.BlockSize > part.size() - at ||
        std::memcmp(part.data() + at, source + t.block.FileOffset, t.block.BlockSize) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<uint8_t> kRunning = fuzz::Rom64(), kNewer = fuzz::Rom64("02/20/05");
  Input input{data, data + size};
  const uint8_t jobByte = input.Byte();
  sim::BootState boot{kRunning, 0};
  for (uint8_t edits = input.Byte() % 8; edits > 0; --edits) {
    uint32_t at = input.Byte();
    at += input.Byte() << 8;
    for (uint8_t n = input.Byte(); n > 0; --n)
      boot.biosSegment[at++ % kBiosSegmentLength] = input.Byte();
  }
  sim::SimProfile profile;
  profile.blockSize = 0x4000;
  std::string error;
  auto sim = sim::SimMachine::Create(profile, kRunning, &error, boot);
  sim->exitProcess = [](int code) { throw testing::ProcessExit{code}; };
  sim->closeProgram = [] {};
  LyingMachine machine(*sim, input);
  const Job job = machine.job = static_cast<Job>(jobByte & 3);
  testing::ScriptedDesktop desktop;
  desktop.saveFileAnswers.push_back("bios.bak");
  desktop.openFileAnswers.push_back("new.rom");
  testing::MemoryFiles files;
  files.files["new.rom"] = kNewer;
  StandardAllocator allocator;
  StartupState startup;
  startup.ManufacturingMode = startup.StartupFilePending = job == kFactoryFlash;
  std::strcpy(startup.StartupArgument, "new.rom");
  std::optional<Program> program;
  try {
    machine.program = &program.emplace(desktop, machine, files, allocator, startup);
    program->Initialise(nullptr);
    if (job == kFactoryFlash) {
      if (program->FirstPaint(nullptr)) program->FlashCommand(nullptr);
    } else {
      program->ConfirmOptionDialog({(jobByte & 4) != 0, (jobByte & 8) != 0, (jobByte & 16) != 0});
      if (job == kFlash) program->LoadCommand(nullptr);
      DmiFieldTexts typed;
      if (job == kDmiOnly || (jobByte & 32) != 0) {
        program->ShowDmiForMode(job == kDmiOnly ? DmiModeValue::NewStrings : DmiModeValue::DontKeep,
                                &typed);
      }
      program->ConfirmDmiSettings(typed);
      if (job == kBackup) program->BackupCommand(nullptr);
      if (job != kBackup) program->FlashCommand(nullptr);
    }
  } catch (const testing::ProcessExit&) {
  }
  if (machine.sessionLies) return 0;
  const std::vector<uint8_t>& part = sim->FlashContents();
  if (job == kBackup && files.files.count("bios.bak") != 0)
    Require(PartHolds(part, *program, files.files["bios.bak"].data(), true, machine.liedAt));
  const bool succeeded = !desktop.shutdownBoxes.empty();
  if ((job == kFlash || job == kFactoryFlash) && succeeded)
    Require(PartHolds(part, *program, program->image().Buffer(), false, machine.liedAt));
  if (job == kDmiOnly && succeeded && machine.liedAt.empty()) {
    // The typed strings, padded to the installed lengths, are what the part's BCPDMI now names.
    const sim::RomInfo info = sim::InspectRom(part);
    const EnteredDmiRecord& entered = program->dmi().EnteredDmi;
    using enum DmiStringId;
    const std::pair<DmiStringId, const char*> typed[] = {{kManufacturer, entered.Manufacturer},
                                                         {kProduct, entered.Product},
                                                         {kVersion, entered.Version},
                                                         {kSystemSerial, entered.SystemSerial}};
    for (const auto& [id, text] : typed) {
      const sim::DmiStringInfo& field = info.dmi[static_cast<uint32_t>(id)];
      Require(!field.inside || field.text == text);
    }
  }
  return 0;
}
