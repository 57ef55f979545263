// The simulated BIOS flash services, called through kernel buffers the way the program calls them.
#include <cstring>

#include "sim_fixture.h"

namespace ql::testing {
namespace {

class SimBiosTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    StartProgram();
  }
  void Rebuild(const sim::SimProfile& p, std::vector<uint8_t> part = Image()) {
    Build(p, std::move(part));
    StartProgram();
  }
  // The table the Connect answer carries, up to its terminator.
  std::vector<sim::BlockRecord> FetchTable() {
    const uint8_t* data = Fetch();
    std::vector<sim::BlockRecord> table;
    for (uint32_t at = 0; at + 16 <= TransferSize; at += 16) {
      if (GetLe32(data + at) == blockrec::kEndOfTable) break;
      table.push_back({GetLe32(data + at), GetLe32(data + at + 4), GetLe32(data + at + 8),
                       GetLe32(data + at + 12)});
    }
    return table;
  }
  void ExpectRefused(const StatusRead& s, int32_t code) {
    EXPECT_TRUE(s.Answered());
    EXPECT_NE(s.status, 0);
    EXPECT_EQ(s.code, code);
  }
};

TEST_F(SimBiosTest, OnlyItsOwnPortAndValueMakeTheBiosAnswer) {
  value_ ^= 1;
  StatusRead s = Call(biosfn::kConnect);
  EXPECT_EQ(s.signature, 0xA5A5A5A5u);  // still the fill of the set-up
  EXPECT_EQ(s.code, static_cast<int32_t>(0xA5A5A5A5u));
  value_ ^= 1;
  port_ += 1;
  EXPECT_FALSE(Call(biosfn::kConnect).Answered());
  port_ -= 1;
  EXPECT_EQ(sim_->BiosCallCount(biosfn::kConnect), 0u);
  s = Call(biosfn::kConnect);
  EXPECT_TRUE(s.Answered());
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(sim_->BiosCallCount(biosfn::kConnect), 1u);
}

TEST_F(SimBiosTest, ConnectAnswersTheDefaultUniformTableOrTheProfilesRecords) {
  ASSERT_EQ(Call(biosfn::kConnect).code, 1);
  std::vector<sim::BlockRecord> table = FetchTable();
  ASSERT_EQ(table.size(), 8u);
  for (uint32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(table[i].blockSize, 0x10000u);
    EXPECT_EQ(table[i].fileOffset, i * 0x10000u);
    EXPECT_EQ(table[i].linearPtr, 0xFFF80000u + i * 0x10000u);
    EXPECT_EQ(table[i].attrib, 0u);
  }

  sim::SimProfile p;
  p.explicitBlocks = true;
  p.blocks = {{0x70000, 0, 0, true, 0x18}, {0x8000, 0x78000, 0x12345000, false, 4}};
  Rebuild(p);  // the block at 0x70000 is left out
  ASSERT_EQ(Call(biosfn::kConnect).code, 1);
  table = FetchTable();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].linearPtr, 0xFFF80000u);
  EXPECT_EQ(table[0].attrib, 0x18u);
  EXPECT_EQ(table[1].fileOffset, 0x78000u);
  EXPECT_EQ(table[1].linearPtr, 0x12345000u);
  EXPECT_EQ(table[1].attrib, 4u);
}

TEST_F(SimBiosTest, FunctionsNeedASessionAndTheRightPartCodeAndStayInsideThePart) {
  ExpectRefused(Call(biosfn::kGetFlashPartId), sim::kCodeBadRequest);
  ExpectRefused(Call(biosfn::kReadFlash, {Window(), 16}), sim::kCodeBadRequest);
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  StatusRead s = Call(biosfn::kGetFlashPartId);
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(Fetch()[0], PartCode());
  ExpectRefused(Call(biosfn::kEraseBlock, {0x01, Window(), 0x10000}), sim::kCodeBadRequest);
  ExpectRefused(Call(biosfn::kReadFlash, {Window() - 4096, 4096}), sim::kCodeBadRequest);
  ExpectRefused(Call(biosfn::kReadFlash, {0xFFFFF000u, 4097}), sim::kCodeBadRequest);
  ExpectRefused(Call(biosfn::kEraseBlock, {PartCode(), 0xFFFF8000u, 0x10000}),
                sim::kCodeBadRequest);
  ExpectRefused(Call(0), sim::kCodeBadRequest);
  ExpectRefused(Call(8), sim::kCodeBadRequest);
  EXPECT_EQ(Call(biosfn::kDisconnect).status, 0);
  ExpectRefused(Call(biosfn::kGetFlashPartId), sim::kCodeBadRequest);
}

TEST_F(SimBiosTest, ThePartFollowsNorRulesEraseGivesFFAndProgramOnlyClearsBits) {
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  std::vector<uint8_t> before = sim_->FlashContents();
  std::vector<uint8_t> data(4096);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 7);

  // Programming over old data gives old AND new.
  EXPECT_EQ(Program(0x20000, data).status, 0);
  std::vector<uint8_t> got = Read(0x20000, 4096);
  for (size_t i = 0; i < 4096; ++i) ASSERT_EQ(got[i], before[0x20000 + i] & data[i]) << i;

  EXPECT_EQ(Erase(0x20000, 0x10000).status, 0);
  got = Read(0x2F000, 4096);
  for (uint8_t b : got) ASSERT_EQ(b, 0xFF);
  EXPECT_EQ(Program(0x20000, data).status, 0);
  EXPECT_EQ(Read(0x20000, 4096), data);
  // Neighbours are untouched.
  EXPECT_EQ(sim_->FlashContents()[0x1FFFF], before[0x1FFFF]);
  EXPECT_EQ(sim_->FlashContents()[0x30000], before[0x30000]);
  EXPECT_EQ(sim_->Part().EraseCount(), 1u);
  EXPECT_EQ(sim_->Part().ProgramCount(), 2u);
}

TEST_F(SimBiosTest, ASecuredBiosCountsWrongPasswordsAndLocksUntilRestart) {
  sim::SimProfile p;
  p.password = 4711;
  Rebuild(p);
  // Asking without a password is not a wrong try.
  ExpectRefused(Call(biosfn::kConnect, {0}), bioscode::kCodePassword);
  ExpectRefused(Call(biosfn::kConnect, {0}), bioscode::kCodePassword);
  ExpectRefused(Call(biosfn::kConnect, {1}), bioscode::kCodePassword);
  // A right password clears the count.
  EXPECT_EQ(Call(biosfn::kConnect, {4711}).code, 1);
  EXPECT_EQ(sim_->Bios().WrongTries(), 0u);
  ExpectRefused(Call(biosfn::kConnect, {1}), bioscode::kCodePassword);
  ExpectRefused(Call(biosfn::kConnect, {2}), bioscode::kCodePassword);
  ExpectRefused(Call(biosfn::kConnect, {3}), bioscode::kCodeLockedOut);
  ExpectRefused(Call(biosfn::kConnect, {4711}), bioscode::kCodeLockedOut);
  sim_->Restart();
  StartProgram();
  EXPECT_EQ(Call(biosfn::kConnect, {4711}).code, 1);

  p.lockoutAfter = 0;  // never locks
  Rebuild(p);
  for (uint32_t i = 1; i <= 10; ++i) ExpectRefused(Call(biosfn::kConnect, {i}), -5);
}

TEST_F(SimBiosTest, ADisconnectRefusalLongerThanTheBufferIsCutAndKeepsTheSession) {
  sim::SimProfile p;
  p.disconnectRefusal = std::string(5000, 'x');  // cut to the buffer's text
  Rebuild(p);
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  ExpectRefused(Call(biosfn::kDisconnect), bioscode::kCodeDisconnectText);
  EXPECT_EQ(FetchText(), std::string(4095, 'x'));
  EXPECT_TRUE(sim_->Bios().SessionOpen());
}

TEST_F(SimBiosTest, FaultyCellsFailReadsVerifiesAndBlankChecks) {
  sim::SimProfile p;
  p.readFailsAt = {0x31000};
  p.stuckBits = {{0x40010, 0x81, true}, {0x50020, 0x10, false}};
  p.eraseFailsAt = {0x60000};
  Rebuild(p);
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);

  StatusRead s;
  Read(0x30000, 4096, &s);
  EXPECT_EQ(s.status, 0);
  Read(0x31000, 4096, &s);
  ExpectRefused(s, sim::kCodeReadFailed);

  std::vector<uint8_t> zeros(4096, 0x00);
  Erase(0x40000, 0x10000);
  Program(0x40000, zeros);
  EXPECT_EQ(Read(0x40000, 4096)[0x10], 0x81);  // a verify of zeros fails here
  EXPECT_EQ(Read(0x40000, 4096)[0x11], 0x00);

  Erase(0x50000, 0x10000);
  EXPECT_EQ(Read(0x50000, 4096)[0x20], 0xEF);  // a blank check fails here

  std::vector<uint8_t> before = sim_->FlashContents();
  ExpectRefused(Erase(0x60000, 0x10000), -4);
  EXPECT_TRUE(std::equal(before.begin() + 0x60000, before.begin() + 0x70000,
                         sim_->FlashContents().begin() + 0x60000));
}

// OnceFlash: the block's pages are described by page tables in kernel memory, by physical
// address, as the program prepares them.
class OnceFlashTest : public SimBiosTest {
 protected:
  struct Prepared {
    uint32_t tables = 0;
    uint32_t firstTable = 0;
  };
  Prepared Prepare(const std::vector<uint8_t>& data) {
    uint32_t pages = static_cast<uint32_t>(data.size() / 4096);
    uint32_t tables = (pages + 1023) / 1024;
    KernelBuffer directory = AllocateKernelMemory(tables * 4096);
    EXPECT_NE(directory.linear, 0u);
    std::vector<KernelBuffer> pageTables;
    for (uint32_t t = 0; t < tables; ++t) pageTables.push_back(AllocateKernelMemory(4096));
    for (uint32_t p = 0; p < pages; ++p) {
      KernelBuffer page = AllocateKernelMemory(4096);
      uint8_t entry[4];
      PutLe32(entry, page.physical);
      WriteMemory(pageTables[p / 1024].linear + 4 * (p % 1024), entry, 4);
      WriteMemoryBulk(page.linear, data.data() + 4096 * p, 4096);
    }
    return {tables, pageTables[0].physical};
  }
  StatusRead OnceFlash(uint32_t offset, const std::vector<uint8_t>& data, uint32_t flags) {
    Prepared prep = Prepare(data);
    return Call(biosfn::kOnceFlash, {prep.tables, prep.firstTable, Window() + offset,
                                     static_cast<uint32_t>(data.size()), 0, flags});
  }
  static std::vector<uint8_t> Data(size_t size, uint8_t salt) {
    std::vector<uint8_t> d(size);
    for (size_t i = 0; i < size; ++i) d[i] = static_cast<uint8_t>((i >> 8) ^ i ^ salt);
    return d;
  }
};

TEST_F(OnceFlashTest, ErasesAndProgramsTheBlockFromThePagesTheTablesName) {
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  std::vector<uint8_t> data = Data(0x10000, 0x5C);
  StatusRead s = OnceFlash(0x70000, data, kOnceFlashBlankCheck | kOnceFlashVerify);
  EXPECT_EQ(s.status, 0);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), sim_->FlashContents().begin() + 0x70000));
}

TEST_F(OnceFlashTest, ABlockBeyondFourMegabytesWalksTheSecondPageTable) {
  sim::SimProfile p;
  p.kernelMemoryLimit = 16u << 20;
  Rebuild(p, Image(8192));
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  std::vector<uint8_t> data = Data((4u << 20) + 4096, 0x21);
  EXPECT_EQ(OnceFlash(0, data, kOnceFlashVerify).status, 0);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), sim_->FlashContents().begin()));
}

TEST_F(OnceFlashTest, FailuresAnswerMinusNineOrMinusTen) {
  std::vector<uint8_t> data = Data(0x10000, 0x77);
  struct Case {
    const char* name;
    sim::SimProfile profile;
    uint32_t flags;
    int32_t status;
  };
  sim::SimProfile stuckHigh, stuckLow, forcedProgram, forcedErase;
  stuckHigh.stuckBits = {{0x70004, 0xFF, true}};
  stuckLow.stuckBits = {{0x70004, 0x01, false}};
  forcedProgram.onceFlashFault = sim::OnceFlashFault::kProgram;
  forcedErase.onceFlashFault = sim::OnceFlashFault::kErase;
  const Case cases[] = {
      {"verify finds a stuck cell", stuckHigh, kOnceFlashVerify, -9},
      {"without verify the BIOS does not see it", stuckHigh, 0, 0},
      {"blank check finds a cell that does not erase", stuckLow, kOnceFlashBlankCheck, -10},
      {"programming fails", forcedProgram, 0, -9},
      {"erasing fails", forcedErase, 0, -10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rebuild(c.profile);
    ASSERT_EQ(Call(biosfn::kConnect).status, 0);
    EXPECT_EQ(OnceFlash(0x70000, data, c.flags).status, c.status);
  }
}

TEST_F(OnceFlashTest, ATableEntryThatPointsNowhereFailsBeforeThePartIsTouched) {
  ASSERT_EQ(Call(biosfn::kConnect).status, 0);
  // A page table whose entry for page 3 names physical memory that does not exist.
  KernelBuffer table = AllocateKernelMemory(4096);
  for (uint32_t p = 0; p < 16; ++p) {
    uint8_t entry[4];
    PutLe32(entry, p == 3 ? 0x3FFFF000u : send_.physical);
    WriteMemory(table.linear + 4 * p, entry, 4);
  }
  std::vector<uint8_t> before = sim_->FlashContents();
  StatusRead s = Call(biosfn::kOnceFlash, {1, table.physical, Window() + 0x70000, 0x10000, 0, 3});
  EXPECT_EQ(s.status, -9);
  EXPECT_EQ(sim_->FlashContents(), before);
  EXPECT_EQ(sim_->Part().EraseCount(), 0u);
  // Too few page tables for the block is refused outright.
  ExpectRefused(Call(biosfn::kOnceFlash, {0, table.physical, Window() + 0x70000, 0x10000, 0, 3}),
                sim::kCodeBadRequest);
}

}  // namespace
}  // namespace ql::testing
