#include "flash/block_passes.h"

#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

#include "flash/once_flash.h"

namespace ql {

namespace {

constexpr uint8_t kErasedByte = 0xFF;
// A piece as an erase leaves it. The blank check compares whole pieces against it: a byte-by-byte
// test with an early exit cannot be vectorised and cost more than every other step of a flash.
constexpr std::array<uint8_t, kTransferSize> kErasedPiece = [] {
  std::array<uint8_t, kTransferSize> piece{};
  piece.fill(kErasedByte);
  return piece;
}();

const char* OnceFlashFailure(int32_t status) {
  switch (status) {
    case bioscode::kStatusOnceProgramFailed:
      return kMsgOnceProgrammingFailed;
    case bioscode::kStatusOnceEraseFailed:
      return kMsgOnceErasingFailed;
    default:
      // Any other refusal leaves the block in a state nobody knows: going on with the next block
      // would end in a success the part does not hold.
      return kMsgOnceFlashFailed;
  }
}

// A piece as the receive buffer is armed before a blank check reads it: nothing of it is erased.
constexpr std::array<uint8_t, kTransferSize> kNotErasedPiece{};

// Attempts a block gets before the job gives up on it: the first and two more.
constexpr int kAttemptsPerBlock = 3;

// Why a block could not be written; no text: it was.
struct Failure {
  const char* text = nullptr;
  const char* caption = kProgramName;
  // A failure that changed nothing and would come again (no kernel memory) is not tried again.
  bool again = true;
  explicit operator bool() const { return text != nullptr; }
};

// One run of the passes over the treated blocks of an open session.
class Passes {
 public:
  Passes(FlashServices& flash, WindowHandle owner, const FlashSource& source,
         const PassOptions& options)
      : flash_(flash), owner_(owner), source_(source), options_(options) {}

  Outcome Run() {
    flash_.report = FlashReport{};
    Outcome opened = OpenFlashSession(flash_, owner_, source_.romSize);
    if (opened != Outcome::kDone) return opened;
    treated_ = TreatedBlocks(flash_.part.Blocks(), source_.selection);
    if (Outcome checked = CheckTable(); checked != Outcome::kDone) return checked;
    if (Outcome sent = CheckSendBuffer(flash_, owner_, treated_); sent != Outcome::kDone)
      return sent;
    if (options_.compareOnly) return CompareOnly();
    if (source_.installed == nullptr) {
      // The copy of the installed BIOS a failure is mended from; only the blocks the job is to
      // rewrite are read into it.
      ownCopy_ = HeapBuffer::Allocate(flash_.allocator, source_.size);
      if (ownCopy_.empty()) return Fail({kMsgNoMemoryForPutBack});
    }
    for (const TreatedBlock& t : treated_) {
      if (Failure failure = WriteBlock(t, source_.bytes, options_, /*puttingBack=*/false)) {
        return Fail(failure);
      }
    }
    if (flash_.session.Disconnect(owner_) == Outcome::kFatal) return Outcome::kFatal;
    flash_.progress.Rest();
    flash_.report.left = PartLeft::kAsMeant;
    return Outcome::kDone;
  }

 private:
  // A check: every block read and compared, none changed.
  Outcome CompareOnly() {
    for (const TreatedBlock& t : treated_) {
      if (!t.treatment.WritesSource()) {
        flash_.report.differing.push_back(t.index);  // a flash erases it whatever it holds
      } else if (Timed(flash_.report.ms.compare, [&] {
                   return ReadBlock(t, source_.bytes, /*compare=*/true, /*keep=*/false);
                 })) {
        ++flash_.report.counts.alreadyHeld;
        Paint(t.block, PieceCount(t.block.BlockSize), CellState::kAlreadyHeld);
      } else {
        flash_.report.differing.push_back(t.index);
      }
    }
    if (flash_.session.Disconnect(owner_) == Outcome::kFatal) return Outcome::kFatal;
    flash_.progress.Rest();
    return Outcome::kDone;
  }

  // Runs `step` and adds the milliseconds it took to `into`.
  template <typename Step>
  std::invoke_result_t<Step> Timed(uint32_t& into, Step step) {
    const uint32_t start = Now();
    auto result = step();
    into += Now() - start;
    return result;
  }
  uint32_t Now() const { return flash_.clock != nullptr ? flash_.clock->Milliseconds() : 0; }

  // Stops the job: whatever it changed is put back first, then the session is closed and the
  // failure shown.
  Outcome Fail(const Failure& failure) {
    flash_.report.left = PutBack();
    return StopJob(flash_, owner_, {failure.text, kMbIconHand, failure.caption});
  }

  // kDone when every treated block can be flashed to the end; nothing has been erased yet.
  Outcome CheckTable() {
    // Nothing to write would end in a success that wrote nothing.
    if (treated_.empty()) return Fail({kMsgNoFlashBlocks});
    for (const TreatedBlock& t : treated_) {
      if (!BlockInside(t.block, source_.size)) return Fail({kMsgBlocksBeyondImage});
      if (!t.treatment.atOnce) continue;
      if (PageTablesFor(t.block.BlockSize) > kMaxPageTables) {
        flash_.desktop.ShowMessageBox(owner_, kMsgOnceTooLarge, kOnceFlashCaption, kMbIconHand);
        return Fail({kMsgOncePreProcessFailed, kOncePreProcessCaption});
      }
      if (t.block.BlockSize == 0 || t.block.BlockSize % kPageSize != 0) {
        return Fail({kMsgOncePartialPage});
      }
    }
    return Outcome::kDone;
  }

  const uint8_t* Copy() const {
    return source_.installed != nullptr ? source_.installed : ownCopy_.data();
  }

  // Writes `from` into one block as `options` ask, trying it again from the start when it fails.
  // Unless it is putting the job's changes back, a block is read first: compared with `from` when
  // that is what it is to hold, and kept in the copy a failure is mended from.
  Failure WriteBlock(const TreatedBlock& t, const uint8_t* from, const PassOptions& options,
                     bool puttingBack) {
    BlockTreatment treatment = t.treatment;
    // An erase-only block gets its bytes back only by programming them.
    if (puttingBack && treatment.erase) treatment.program = true;
    const bool compare = options.skipHeldBlocks && treatment.WritesSource();
    if (compare || (!puttingBack && ownCopy_.size() > 0)) {
      if (Timed(flash_.report.ms.compare, [&] {
            return ReadBlock(t, from, compare, /*keep=*/!puttingBack && ownCopy_.size() > 0);
          })) {
        ++flash_.report.counts.alreadyHeld;
        Paint(t.block, PieceCount(t.block.BlockSize), CellState::kAlreadyHeld);
        return {};
      }
      if (compare && !puttingBack) flash_.report.differing.push_back(t.index);
    }
    Failure failure;
    for (int attempt = 0; attempt < kAttemptsPerBlock; ++attempt) {
      if (attempt > 0) ++flash_.report.counts.retried;
      failure = Attempt(t, treatment, from, options);
      if (!failure || !failure.again) break;
    }
    return failure;
  }

  // Reads the block piece by piece, the percent bar moving through it, in the verify phase. With
  // `compare`, each read is armed with the complement of `from` (a read that hands back nothing,
  // or part of the piece, cannot match) and the answer is true when every piece holds `from`. With
  // `keep`, the block's bytes go into the copy: a piece that matched is `from`; any other is read
  // once more, armed differently, and taken only when both reads agree; a block with a piece that
  // cannot be had that way has no copy.
  bool ReadBlock(const TreatedBlock& t, const uint8_t* from, bool compare, bool keep) {
    const FlashBlockRecord& block = t.block;
    static const std::array<uint8_t, kTransferSize> kOnes = [] {
      std::array<uint8_t, kTransferSize> piece{};
      piece.fill(0xFF);
      return piece;
    }();
    flash_.progress.SetPhase(ProgressPhase::kVerifying);
    if (compare) ++flash_.report.counts.compared;
    bool held = compare, copied = keep;
    std::array<uint8_t, kTransferSize> armed;
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      const uint8_t* expected = compare ? from + block.FileOffset + piece.offset : kOnes.data();
      for (uint32_t n = 0; n < piece.count; ++n) armed[n] = static_cast<uint8_t>(~expected[n]);
      const uint32_t linear = block.LinearPtr + piece.offset;
      const bool read = ReadFlashPiece(flash_.caller, linear, piece.count, armed.data());
      const bool matched =
          read && std::memcmp(flash_.caller.Received(), expected, piece.count) == 0;
      held = held && matched;
      if (!keep) {
        if (!held) return false;
        continue;
      }
      uint8_t* into = ownCopy_.data() + block.FileOffset + piece.offset;
      if (matched) {
        std::memcpy(into, expected, piece.count);
        continue;
      }
      // The bytes that did not match are taken when a second read, armed with what the first
      // one could not have been left holding, hands back the same.
      std::memcpy(armed.data(), flash_.caller.Received(), piece.count);
      copied = copied && read && ReadFlashPiece(flash_.caller, linear, piece.count, expected) &&
               std::memcmp(flash_.caller.Received(), armed.data(), piece.count) == 0;
      if (copied) std::memcpy(into, armed.data(), piece.count);
    }
    if (keep) copied_[t.index % kMaxBlockRecords] = copied;
    return held;
  }

  // One attempt at the block, from its erase to its verify.
  Failure Attempt(const TreatedBlock& t, const BlockTreatment& treatment, const uint8_t* from,
                  const PassOptions& options) {
    PhaseTimes& ms = flash_.report.ms;
    if (treatment.erase) {
      if (Failure failure = Timed(ms.erase, [&] { return EraseStep(t, options); })) return failure;
    }
    if (treatment.program) {
      if (Failure failure = Timed(ms.program, [&] { return ProgramStep(t, from); })) return failure;
    }
    if (treatment.atOnce) {
      if (Failure failure = Timed(ms.program, [&] { return AtOnceStep(t, from, options); })) {
        return failure;
      }
    }
    if (treatment.WritesSource() && options.verify) {
      return Timed(ms.verify, [&] { return VerifyStep(t, from); });
    }
    return {};
  }

  // The block is about to receive what can change it: from now on a failure must be mended.
  void Touch(const TreatedBlock& t) {
    if (!anyTouched_ && flash_.watch != nullptr) {
      flash_.watch->BeforeFirstChange(treated_, source_.installed);
    }
    anyTouched_ = true;
    touched_[t.index % kMaxBlockRecords] = true;
  }

  Failure EraseStep(const TreatedBlock& t, const PassOptions& options) {
    const FlashBlockRecord& block = t.block;
    flash_.progress.SetPhase(ProgressPhase::kErasing);
    flash_.progress.SetPercent(100, 100);
    flash_.progress.Mark(block.FileOffset, block.BlockSize, CellState::kErased);
    // A refused erase fails here; an accepted one is still not trusted: the blank check reads
    // what it did.
    flash_.caller.SetParams(
        {flash_.part.PartCode(), block.LinearPtr, block.BlockSize, t.index, 0, 0, 0, 0});
    Touch(t);
    if (!flash_.caller.Call(biosfn::kEraseBlock).Succeeded()) return {kMsgEraseFailed};
    ++flash_.report.counts.erased;
    if (options.blankCheck && !BlankCheck(block)) return {kMsgBlankCheckFailed};
    return {};
  }

  // True when every byte of the block reads back erased.
  bool BlankCheck(const FlashBlockRecord& block) {
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      bool read = ReadFlashPiece(flash_.caller, block.LinearPtr + piece.offset, piece.count,
                                 kNotErasedPiece.data());
      flash_.progress.SetPhase(ProgressPhase::kBlankCheck);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      flash_.progress.Mark(block.FileOffset + piece.offset, piece.count, CellState::kBlankChecked);
      if (!read || std::memcmp(flash_.caller.Received(), kErasedPiece.data(), piece.count) != 0) {
        return false;
      }
    }
    return true;
  }

  Failure ProgramStep(const TreatedBlock& t, const uint8_t* from) {
    const FlashBlockRecord& block = t.block;
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.SetPhase(ProgressPhase::kFlashing);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      flash_.progress.Mark(block.FileOffset + piece.offset, piece.count, CellState::kProgrammed);
      // The BIOS would program what the send buffer held from the piece before, and with the
      // verify off nothing else would notice.
      if (!flash_.caller.FillSendBuffer(from + block.FileOffset + piece.offset, piece.count)) {
        return {kMsgProgramDataNotSent};
      }
      flash_.caller.SetParams({flash_.part.PartCode(), block.LinearPtr + piece.offset, piece.count,
                               t.index, 0, 0, 0, 0});
      Touch(t);
      if (!flash_.caller.Call(biosfn::kProgramFlash).Succeeded()) return {kMsgProgramFailed};
      flash_.report.counts.bytesProgrammed += piece.count;
    }
    ++flash_.report.counts.programmed;
    return {};
  }

  Failure VerifyStep(const TreatedBlock& t, const uint8_t* from) {
    flash_.progress.SetPhase(ProgressPhase::kVerifying);
    const uint32_t held = PiecesHeld(t.block, from);
    Paint(t.block, held, CellState::kVerified);
    if (held != PieceCount(t.block.BlockSize)) return {kMsgVerifyFailed};
    ++flash_.report.counts.verified;
    return {};
  }

  // How many pieces from the block's start hold `from`, each read armed with its complement.
  uint32_t PiecesHeld(const FlashBlockRecord& block, const uint8_t* from) {
    std::array<uint8_t, kTransferSize> armed;
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      const uint8_t* expected = from + block.FileOffset + piece.offset;
      for (uint32_t n = 0; n < piece.count; ++n) armed[n] = static_cast<uint8_t>(~expected[n]);
      if (!ReadFlashPiece(flash_.caller, block.LinearPtr + piece.offset, piece.count,
                          armed.data()) ||
          std::memcmp(flash_.caller.Received(), expected, piece.count) != 0) {
        return k;
      }
    }
    return PieceCount(block.BlockSize);
  }

  // Paints the block's first `pieces` pieces: only what was read back and matched is ever shown
  // verified or already held.
  void Paint(const FlashBlockRecord& block, uint32_t pieces, CellState state) {
    for (uint32_t k = 0; k < pieces; ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.Mark(block.FileOffset + piece.offset, piece.count, state);
    }
  }

  Failure AtOnceStep(const TreatedBlock& t, const uint8_t* from, const PassOptions& options) {
    const FlashBlockRecord& block = t.block;
    Desktop& desktop = flash_.desktop;
    OnceFlashMemory memory(flash_.link, flash_.allocator);
    if (!memory.Prepare(desktop, flash_.progress, owner_, block.BlockSize, block.FileOffset, from,
                        source_.size)) {
      return {kMsgOncePreProcessFailed, kOncePreProcessCaption, /*again=*/false};
    }
    uint32_t flags =
        (options.blankCheck ? kOnceFlashBlankCheck : 0) | (options.verify ? kOnceFlashVerify : 0);
    CursorShape previous = desktop.SetCursor(CursorShape::kAtOnce);
    flash_.progress.Mark(block.FileOffset, block.BlockSize, CellState::kProgrammed);
    flash_.caller.SetParams({memory.PageTableCount(), memory.FirstPageTablePhysical(),
                             block.LinearPtr, block.BlockSize, t.index, flags, 0, 0});
    Touch(t);
    BiosAnswer answer = flash_.caller.Call(biosfn::kOnceFlash);
    desktop.SetCursor(previous);
    memory.Release();
    if (!answer.Succeeded()) return {OnceFlashFailure(answer.status), kOnceFlashCaption};
    ++flash_.report.counts.erased;
    ++flash_.report.counts.programmed;
    flash_.report.counts.bytesProgrammed += block.BlockSize;
    return {};
  }

  // Writes every block the job changed back from the copy, in table order, each compared first
  // (one that still holds the installed bytes is left alone) and verified whatever the options
  // say: the verify is what tells whether the machine will boot.
  PartLeft PutBack() {
    if (!anyTouched_) return PartLeft::kUntouched;
    const PassOptions mend{/*blankCheck=*/true, /*verify=*/true, /*skipHeldBlocks=*/true};
    bool whole = true;
    for (const TreatedBlock& t : treated_) {
      if (!touched_[t.index % kMaxBlockRecords]) continue;
      if (source_.installed == nullptr && !copied_[t.index % kMaxBlockRecords]) {
        whole = false;
        continue;
      }
      ++flash_.report.counts.putBack;
      if (WriteBlock(t, Copy(), mend, /*puttingBack=*/true)) whole = false;
    }
    return whole ? PartLeft::kPutBack : PartLeft::kHoldsNeither;
  }

  FlashServices& flash_;
  WindowHandle owner_;
  const FlashSource& source_;
  const PassOptions& options_;
  std::vector<TreatedBlock> treated_;
  HeapBuffer ownCopy_;
  std::array<bool, kMaxBlockRecords> copied_{};   // by table index: the copy holds the block
  std::array<bool, kMaxBlockRecords> touched_{};  // by table index: sent a change
  bool anyTouched_ = false;
};

}  // namespace

Outcome FlashBlocks(FlashServices& flash, WindowHandle owner, const FlashSource& source,
                    const PassOptions& options) {
  return Passes(flash, owner, source, options).Run();
}

}  // namespace ql
