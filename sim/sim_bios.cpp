#include "sim/sim_bios.h"

#include <algorithm>
#include <cstring>

#include "driver/wire.h"
#include "platform/bytes.h"
#include "bios/bcp_layout.h"

namespace ql::sim {
namespace {

// Whole 4 KiB units, at least one, for the per-4 KiB timings.
uint32_t Units(uint32_t count) {
  return std::max<uint32_t>(1, (count + kPageSize - 1) / kPageSize);
}

inline constexpr int32_t kCodeEraseFailed = -4;
inline constexpr int32_t kCodeProgramFailed = -6;
inline constexpr uint32_t kBytesPerPageTable = kPageTableEntries * kPageSize;

}  // namespace

BiosTrigger FindBiosTrigger(const std::vector<uint8_t>& segment) {
  BiosTrigger t;
  if (segment.size() < bcpfex::kSize) return t;
  auto it = std::search(segment.begin(), segment.end() - (bcpfex::kSize - kSignatureLength),
                        std::begin(kBcpFexSignature), std::end(kBcpFexSignature));
  if (it == segment.end() - (bcpfex::kSize - kSignatureLength)) return t;
  const uint8_t* block = &*it;
  t.present = true;
  t.port = GetLe32(block + bcpfex::kTriggerPort);
  t.value = block[bcpfex::kTriggerValue];
  return t;
}

std::vector<BlockRecord> BlockTableFor(const SimProfile& profile, uint32_t partSize) {
  std::vector<BlockRecord> table;
  uint32_t window = PartWindowBase(partSize);
  if (profile.explicitBlocks) {
    for (const BlockSpec& b : profile.blocks) {
      table.push_back({b.blockSize, b.fileOffset,
                       b.autoLinear ? window + b.fileOffset : b.linearPtr, b.attrib});
    }
    return table;
  }
  for (uint32_t at = 0; at < partSize; at += profile.blockSize) {
    table.push_back({std::min(profile.blockSize, partSize - at), at, window + at, 0});
  }
  return table;
}

SimBios::SimBios(const SimProfile& profile, FlashPart& part, SimMemory& memory, BiosTrigger trigger,
                 uint32_t wrongTries, std::function<void(uint32_t)> onWrongTries,
                 std::function<void(uint32_t)> pause)
    : profile_(profile),
      part_(part),
      memory_(memory),
      trigger_(trigger),
      table_(BlockTableFor(profile, part.Size())),
      onWrongTries_(std::move(onWrongTries)),
      pause_(std::move(pause)),
      wrongTries_(wrongTries),
      unanswered_(profile.unansweredCalls) {}

uint32_t SimBios::CallCount(uint32_t function) const {
  return function < calls_.size() ? calls_[function] : 0;
}

void SimBios::Trigger(uint32_t parameterPhysical, uint32_t port, uint8_t value) {
  if (!trigger_.present || port != trigger_.port || value != trigger_.value) return;
  uint8_t block[biosparam::kSize];
  if (!memory_.ReadPhysical(parameterPhysical, biosparam::kSize, block)) return;
  Call c;
  c.function = GetLe32(block + biosparam::kFunction);
  c.send = GetLe32(block + biosparam::kSendPhysical);
  c.receive = GetLe32(block + biosparam::kReceivePhysical);
  c.status = GetLe32(block + biosparam::kStatusPhysical);
  c.sendSize = GetLe32(block + biosparam::kSendSize);
  c.receiveSize = GetLe32(block + biosparam::kReceiveSize);
  uint32_t statusSize = GetLe32(block + biosparam::kStatusSize);
  for (uint32_t n = 0; n < biosparam::kParamCount; ++n) {
    c.param[n] = GetLe32(block + biosparam::ParamOffset(n));
  }
  if (c.function < calls_.size()) ++calls_[c.function];
  if (++allCalls_ == profile_.cutAtCall) {
    CutShort(c);
    if (onCut) onCut();
    return;
  }
  if (unanswered_ > 0) {
    --unanswered_;
    return;
  }
  switch (c.function) {
    case biosfn::kConnect:
      Connect(c);
      break;
    case biosfn::kGetFlashPartId:
      GetFlashPartId(c);
      break;
    case biosfn::kProgramFlash:
      ProgramFlash(c);
      break;
    case biosfn::kEraseBlock:
      EraseBlock(c);
      break;
    case biosfn::kReadFlash:
      ReadFlash(c);
      break;
    case biosfn::kOnceFlash:
      OnceFlash(c);
      break;
    case biosfn::kDisconnect:
      Disconnect(c);
      break;
    default:
      Refuse(c, kCodeBadRequest);
      break;
  }
  if (statusSize < biosstatus::kSize) return;  // nowhere to answer
  uint8_t status[biosstatus::kSize];
  PutLe32(status + biosstatus::kSignature, biosstatus::kSignatureValue);
  PutLe32(status + biosstatus::kStatus, static_cast<uint32_t>(c.resultStatus));
  PutLe32(status + biosstatus::kCode, static_cast<uint32_t>(c.resultCode));
  memory_.WritePhysical(c.status, status, biosstatus::kSize);
}

void SimBios::CutShort(const Call& c) {
  uint32_t offset = 0;
  const bool once = c.function == biosfn::kOnceFlash;
  const uint32_t linear = c.param[once ? 2 : 1], count = c.param[once ? 3 : 2];
  if (!session_ || !PartRange(linear, count, &offset)) return;
  if (c.function == biosfn::kEraseBlock) {
    (void)part_.Erase(offset, count / 2);
  } else if (c.function == biosfn::kProgramFlash && count <= kTransferSize) {
    uint8_t data[kTransferSize];
    if (memory_.ReadPhysical(c.send, count / 2, data)) (void)part_.Program(offset, data, count / 2);
  } else if (once) {
    std::vector<uint8_t> data;
    const uint32_t pages = count / kPageSize;
    if (!GatherPages(c, pages, &data) || !part_.Erase(offset, count)) return;
    (void)part_.Program(offset, data.data(), pages / 2 * kPageSize);
  }
}

void SimBios::Refuse(Call& c, int32_t code) {
  c.resultStatus = kStatusRefused;
  c.resultCode = code;
}

bool SimBios::Receive(Call& c, const uint8_t* data, uint32_t count) {
  if (count > c.receiveSize || !memory_.WritePhysical(c.receive, data, count)) {
    Refuse(c, kCodeBadRequest);
    return false;
  }
  c.resultStatus = bioscode::kStatusOk;
  c.resultCode = bioscode::kCodeData;
  return true;
}

void SimBios::ReceiveText(Call& c, const std::string& text, int32_t code) {
  // The text and its terminator, cut to the buffer so the terminator always fits.
  uint32_t room = std::min<uint32_t>(c.receiveSize, kTransferSize);
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (room == 0) return Refuse(c, code);
  if (bytes.size() > room - 1) bytes.resize(room - 1);
  bytes.push_back(0);
  memory_.WritePhysical(c.receive, bytes.data(), static_cast<uint32_t>(bytes.size()));
  Refuse(c, code);
}

bool SimBios::PartRange(uint32_t linear, uint32_t count, uint32_t* offset) const {
  uint32_t window = PartWindowBase(part_.Size());
  if (linear < window) return false;
  *offset = linear - window;
  return part_.Covers(*offset, count);
}

bool SimBios::FailsAt(const std::vector<uint32_t>& offsets, uint32_t offset, uint32_t count) {
  return std::any_of(offsets.begin(), offsets.end(),
                     [&](uint32_t at) { return at >= offset && at - offset < count; });
}

void SimBios::Pause(uint32_t ms) {
  tally_.busyMs += ms;
  if (ms > 0 && pause_) pause_(ms);
}

void SimBios::Connect(Call& c) {
  uint32_t given = c.param[0];
  if (profile_.lockoutAfter != 0 && wrongTries_ >= profile_.lockoutAfter) {
    return Refuse(c, bioscode::kCodeLockedOut);
  }
  if (profile_.password != 0 && given != profile_.password) {
    // No password at all asks for one; only a wrong number counts against the user.
    if (given != 0) {
      ++wrongTries_;
      if (onWrongTries_) onWrongTries_(wrongTries_);
    }
    bool locked = profile_.lockoutAfter != 0 && wrongTries_ >= profile_.lockoutAfter;
    return Refuse(c, locked ? bioscode::kCodeLockedOut : bioscode::kCodePassword);
  }
  if (!profile_.connectRefusal.empty()) {
    return ReceiveText(c, profile_.connectRefusal, bioscode::kCodeConnectText);
  }
  if (!profile_.partSupported) return Refuse(c, bioscode::kCodeUnsupportedPart);
  if (wrongTries_ != 0) {
    wrongTries_ = 0;
    if (onWrongTries_) onWrongTries_(0);
  }
  session_ = true;
  if (profile_.connectWithoutData) {
    c.resultStatus = bioscode::kStatusOk;
    c.resultCode = kCodeNone;
    return;
  }
  // The records, then the terminator when it fits in the buffer.
  std::vector<uint8_t> answer;
  for (const BlockRecord& r : table_) {
    uint8_t rec[blockrec::kSize];
    PutLe32(rec + blockrec::kBlockSize, r.blockSize);
    PutLe32(rec + blockrec::kFileOffset, r.fileOffset);
    PutLe32(rec + blockrec::kLinearPtr, r.linearPtr);
    PutLe32(rec + blockrec::kAttrib, r.attrib);
    answer.insert(answer.end(), rec, rec + blockrec::kSize);
  }
  if (answer.size() + blockrec::kSize <= kTransferSize) {
    uint8_t end[blockrec::kSize] = {};
    PutLe32(end + blockrec::kBlockSize, blockrec::kEndOfTable);
    answer.insert(answer.end(), end, end + blockrec::kSize);
  }
  Receive(c, answer.data(), static_cast<uint32_t>(answer.size()));
}

void SimBios::GetFlashPartId(Call& c) {
  if (!session_) return Refuse(c, kCodeBadRequest);
  Receive(c, &profile_.partCode, 1);
}

void SimBios::ProgramFlash(Call& c) {
  uint32_t count = c.param[2];
  uint32_t offset = 0;
  if (!session_ || c.param[0] != profile_.partCode || count > c.sendSize || count > kTransferSize ||
      !PartRange(c.param[1], count, &offset)) {
    return Refuse(c, kCodeBadRequest);
  }
  uint8_t data[kTransferSize];  // count is at most kTransferSize
  if (!memory_.ReadPhysical(c.send, count, data)) return Refuse(c, kCodeBadRequest);
  // Bytes the part silently does not take keep what they held: programming all ones over them
  // leaves them so, as a NOR cell that is never pulsed.
  for (uint32_t at : profile_.programmedButNotWrittenAt) {
    if (at >= offset && at - offset < count) data[at - offset] = 0xFF;
  }
  if (FailsAt(profile_.programFailsAt, offset, count) || !part_.Program(offset, data, count)) {
    return Refuse(c, kCodeProgramFailed);
  }
  tally_.bytesProgrammed += count;
  Pause(profile_.programMs * Units(count));
  c.resultStatus = bioscode::kStatusOk;
  c.resultCode = kCodeNone;
}

void SimBios::EraseBlock(Call& c) {
  uint32_t offset = 0;
  if (!session_ || c.param[0] != profile_.partCode || !PartRange(c.param[1], c.param[2], &offset)) {
    return Refuse(c, kCodeBadRequest);
  }
  bool erased = part_.Erase(offset, c.param[2]);
  ++tally_.erases;
  Pause(profile_.eraseMs);
  if (!erased) return Refuse(c, kCodeEraseFailed);
  c.resultStatus = bioscode::kStatusOk;
  c.resultCode = kCodeNone;
}

void SimBios::ReadFlash(Call& c) {
  uint32_t count = c.param[1];
  uint32_t offset = 0;
  if (!session_ || count > kTransferSize || !PartRange(c.param[0], count, &offset)) {
    return Refuse(c, kCodeBadRequest);
  }
  Pause(profile_.readMs * Units(count));
  if (FailsAt(profile_.readFailsAt, offset, count)) return Refuse(c, kCodeReadFailed);
  tally_.bytesRead += count;
  if (FailsAt(profile_.silentReadAt, offset, count)) {
    c.resultStatus = bioscode::kStatusOk;
    c.resultCode = bioscode::kCodeData;
    return;
  }
  Receive(c, part_.Cells().data() + offset, count);
}

bool SimBios::GatherPages(const Call& c, uint32_t pages, std::vector<uint8_t>* data) const {
  data->assign(static_cast<size_t>(pages) * kPageSize, 0);
  for (uint32_t p = 0; p < pages; ++p) {
    // The page tables follow one another in physical memory from the first one.
    uint32_t table = c.param[1] + (p / kPageTableEntries) * kPageSize;
    uint8_t entry[4];
    if (!memory_.ReadPhysical(table + 4 * (p % kPageTableEntries), 4, entry)) return false;
    if (!memory_.ReadPhysical(GetLe32(entry), kPageSize, data->data() + p * kPageSize)) {
      return false;
    }
  }
  return true;
}

void SimBios::OnceFlash(Call& c) {
  uint32_t size = c.param[3];
  uint32_t flags = c.param[5];
  uint32_t offset = 0;
  uint32_t tablesNeeded = (size + kBytesPerPageTable - 1) / kBytesPerPageTable;
  if (!session_ || !PartRange(c.param[2], size, &offset) || c.param[0] < tablesNeeded ||
      c.param[0] > kMaxPageTables) {
    return Refuse(c, kCodeBadRequest);
  }
  uint32_t pages = size / kPageSize;
  std::vector<uint8_t> data;
  // Everything is gathered before the part is touched: a bad table costs nothing.
  if (!GatherPages(c, pages, &data)) {
    c.resultStatus = bioscode::kStatusOnceProgramFailed;
    c.resultCode = kCodeBadRequest;
    return;
  }
  c.resultCode = kCodeNone;
  if (profile_.onceFlashFault == OnceFlashFault::kErase) {
    c.resultStatus = bioscode::kStatusOnceEraseFailed;
    return;
  }
  Pause(profile_.eraseMs);
  ++tally_.erases;
  bool erased = part_.Erase(offset, size);
  std::vector<uint8_t> readBack(size);
  part_.Read(offset, size, readBack.data());
  bool blank = std::all_of(readBack.begin(), readBack.end(), [](uint8_t b) { return b == 0xFF; });
  if (!erased || ((flags & kOnceFlashBlankCheck) != 0 && !blank)) {
    c.resultStatus = bioscode::kStatusOnceEraseFailed;
    return;
  }
  // A failing part gives up half-way, leaving the block partly programmed.
  uint32_t programmed = profile_.onceFlashFault == OnceFlashFault::kProgram ? pages / 2 : pages;
  for (uint32_t p = 0; p < programmed; ++p) {
    if (!part_.Program(offset + p * kPageSize, data.data() + p * kPageSize, kPageSize)) {
      c.resultStatus = bioscode::kStatusOnceProgramFailed;
      return;
    }
    tally_.bytesProgrammed += kPageSize;
    Pause(profile_.programMs);
  }
  if (programmed != pages) {
    c.resultStatus = bioscode::kStatusOnceProgramFailed;
    return;
  }
  if ((flags & kOnceFlashVerify) != 0) {
    part_.Read(offset, pages * kPageSize, readBack.data());
    if (!std::equal(data.begin(), data.end(), readBack.begin())) {
      c.resultStatus = bioscode::kStatusOnceProgramFailed;
      return;
    }
  }
  c.resultStatus = bioscode::kStatusOk;
}

void SimBios::Disconnect(Call& c) {
  if (!profile_.disconnectRefusal.empty()) {
    return ReceiveText(c, profile_.disconnectRefusal, bioscode::kCodeDisconnectText);
  }
  session_ = false;
  c.resultStatus = bioscode::kStatusOk;
  c.resultCode = kCodeNone;
}

}  // namespace ql::sim
