#include "flash/block_passes.h"

#include <array>
#include <cstring>
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

// One run of the passes over the treated blocks of an open session.
class Passes {
 public:
  Passes(FlashServices& flash, WindowHandle owner, const FlashSource& source,
         const PassOptions& options)
      : flash_(flash), owner_(owner), source_(source), options_(options) {}

  Outcome Run() {
    Outcome opened = OpenFlashSession(flash_, owner_, source_.romSize);
    if (opened != Outcome::kDone) return opened;
    const std::vector<TreatedBlock> treated =
        TreatedBlocks(flash_.part.Blocks(), source_.selection);
    if (Outcome checked = CheckTable(treated); checked != Outcome::kDone) return checked;
    if (Outcome sent = CheckSendBuffer(flash_, owner_, treated); sent != Outcome::kDone)
      return sent;
    for (const TreatedBlock& t : treated) {
      if (Outcome done = FlashBlock(t); done != Outcome::kDone) return done;
    }
    if (flash_.session.Disconnect(owner_) == Outcome::kFatal) return Outcome::kFatal;
    flash_.progress.Rest();
    return Outcome::kDone;
  }

 private:
  Outcome Fail(const char* text) { return StopJob(flash_, owner_, {text}); }

  // kDone when every treated block can be flashed to the end; nothing has been erased yet.
  Outcome CheckTable(const std::vector<TreatedBlock>& treated) {
    // Nothing to write would end in a success that wrote nothing.
    if (treated.empty()) return Fail(kMsgNoFlashBlocks);
    for (const TreatedBlock& t : treated) {
      if (!BlockInside(t.block, source_.size)) return Fail(kMsgBlocksBeyondImage);
      if (!t.treatment.atOnce) continue;
      if (PageTablesFor(t.block.BlockSize) > kMaxPageTables) {
        flash_.desktop.ShowMessageBox(owner_, kMsgOnceTooLarge, kOnceFlashCaption, kMbIconHand);
        return StopJob(flash_, owner_,
                       {kMsgOncePreProcessFailed, kMbIconHand, kOncePreProcessCaption});
      }
      if (t.block.BlockSize == 0 || t.block.BlockSize % kPageSize != 0) {
        return Fail(kMsgOncePartialPage);
      }
    }
    return Outcome::kDone;
  }

  Outcome FlashBlock(const TreatedBlock& t) {
    // An erase-only block ends erased, not holding the source: there is nothing to compare.
    if (options_.skipHeldBlocks && t.treatment.WritesSource()) {
      flash_.progress.SetPhase(ProgressPhase::kVerifying);
      if (PiecesHeld(t.block) == PieceCount(t.block.BlockSize)) {
        Paint(t.block, PieceCount(t.block.BlockSize), CellState::kAlreadyHeld);
        return Outcome::kDone;
      }
    }
    if (t.treatment.erase) {
      if (Outcome erased = EraseStep(t); erased != Outcome::kDone) return erased;
    }
    if (t.treatment.program) {
      if (Outcome programmed = ProgramStep(t); programmed != Outcome::kDone) return programmed;
    }
    if (t.treatment.atOnce) {
      if (Outcome flashed = AtOnceStep(t); flashed != Outcome::kDone) return flashed;
    }
    if (t.treatment.WritesSource() && options_.verify) return VerifyStep(t);
    return Outcome::kDone;
  }

  Outcome EraseStep(const TreatedBlock& t) {
    const FlashBlockRecord& block = t.block;
    flash_.progress.SetPhase(ProgressPhase::kErasing);
    flash_.progress.SetPercent(100, 100);
    flash_.progress.Mark(block.FileOffset, block.BlockSize, CellState::kErased);
    // A refused erase fails here; an accepted one is still not trusted: the blank check reads
    // what it did.
    flash_.caller.SetParams(
        {flash_.part.PartCode(), block.LinearPtr, block.BlockSize, t.index, 0, 0, 0, 0});
    if (!flash_.caller.Call(biosfn::kEraseBlock).Succeeded()) return Fail(kMsgEraseFailed);
    if (options_.blankCheck && !BlankCheck(block)) return Fail(kMsgBlankCheckFailed);
    return Outcome::kDone;
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

  Outcome ProgramStep(const TreatedBlock& t) {
    const FlashBlockRecord& block = t.block;
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.SetPhase(ProgressPhase::kFlashing);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      flash_.progress.Mark(block.FileOffset + piece.offset, piece.count, CellState::kProgrammed);
      // The BIOS would program what the send buffer held from the piece before, and with the
      // verify off nothing else would notice.
      if (!flash_.caller.FillSendBuffer(SourceOf(block, piece), piece.count)) {
        return Fail(kMsgProgramDataNotSent);
      }
      flash_.caller.SetParams({flash_.part.PartCode(), block.LinearPtr + piece.offset, piece.count,
                               t.index, 0, 0, 0, 0});
      if (!flash_.caller.Call(biosfn::kProgramFlash).Succeeded()) return Fail(kMsgProgramFailed);
    }
    return Outcome::kDone;
  }

  Outcome VerifyStep(const TreatedBlock& t) {
    flash_.progress.SetPhase(ProgressPhase::kVerifying);
    const uint32_t held = PiecesHeld(t.block);
    Paint(t.block, held, CellState::kVerified);
    if (held != PieceCount(t.block.BlockSize)) return Fail(kMsgVerifyFailed);
    return Outcome::kDone;
  }

  const uint8_t* SourceOf(const FlashBlockRecord& block, const Piece& piece) const {
    return source_.bytes + block.FileOffset + piece.offset;
  }

  // Reads the block back piece by piece, the percent bar moving through it, and compares every
  // piece with the source. Each read is armed with the complement of the source's bytes, so a
  // read that hands back nothing, or only part of the piece, cannot match. Answers how many
  // pieces from the block's start hold the source: all of them, or up to the first that differs
  // or cannot be read.
  uint32_t PiecesHeld(const FlashBlockRecord& block) {
    std::array<uint8_t, kTransferSize> armed;
    for (uint32_t k = 0; k < PieceCount(block.BlockSize); ++k) {
      Piece piece = PieceOf(block.BlockSize, k);
      flash_.progress.SetPercent(piece.offset, block.BlockSize);
      const uint8_t* expected = SourceOf(block, piece);
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

  Outcome AtOnceStep(const TreatedBlock& t) {
    const FlashBlockRecord& block = t.block;
    Desktop& desktop = flash_.desktop;
    OnceFlashMemory memory(flash_.link, flash_.allocator);
    if (!memory.Prepare(desktop, flash_.progress, owner_, block.BlockSize, block.FileOffset,
                        source_.bytes, source_.size)) {
      return StopJob(flash_, owner_,
                     {kMsgOncePreProcessFailed, kMbIconHand, kOncePreProcessCaption, &memory});
    }
    uint32_t flags =
        (options_.blankCheck ? kOnceFlashBlankCheck : 0) | (options_.verify ? kOnceFlashVerify : 0);
    CursorShape previous = desktop.SetCursor(CursorShape::kAtOnce);
    flash_.progress.Mark(block.FileOffset, block.BlockSize, CellState::kProgrammed);
    flash_.caller.SetParams({memory.PageTableCount(), memory.FirstPageTablePhysical(),
                             block.LinearPtr, block.BlockSize, t.index, flags, 0, 0});
    BiosAnswer answer = flash_.caller.Call(biosfn::kOnceFlash);
    desktop.SetCursor(previous);
    if (!answer.Succeeded()) {
      return StopJob(flash_, owner_,
                     {OnceFlashFailure(answer.status), kMbIconHand, kOnceFlashCaption, &memory});
    }
    memory.Release();
    return Outcome::kDone;
  }

  FlashServices& flash_;
  WindowHandle owner_;
  const FlashSource& source_;
  const PassOptions& options_;
};

}  // namespace

Outcome FlashBlocks(FlashServices& flash, WindowHandle owner, const FlashSource& source,
                    const PassOptions& options) {
  return Passes(flash, owner, source, options).Run();
}

}  // namespace ql
