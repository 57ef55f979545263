// The BIOS as the program reaches it on the simulated machine: discovery over its segment, the
// call buffers and the calls byte for byte, the session with its refusals and password protocol.
#include <algorithm>

#include "bios/bios_interface.h"
#include "bios/bios_session.h"
#include "platform/bytes.h"
#include "platform/testing/recording_machine.h"
#include "support/program_fixture.h"

namespace ql::testing {
namespace {

// What the program holds of the BIOS, reached up to the call buffers.
struct Reached {
  Reached(Machine& machine, Allocator& allocator, Desktop& desktop)
      : link(machine, allocator),
        bios(link, allocator),
        caller(link),
        session(caller, part, desktop, allocator) {
    EXPECT_TRUE(link.Open(desktop, nullptr));
    EXPECT_EQ(bios.Discover(desktop, nullptr, caller), Outcome::kDone);
    EXPECT_TRUE(caller.SetUp());
  }
  DriverLink link;
  BiosInterface bios;
  BiosCaller caller;
  FlashPart part;
  BiosSession session;
};

class BiosTest : public ProgramTest {
 protected:
  static sim::SimProfile Profile(const std::string& settings) {
    sim::SimProfile profile;
    std::string error;
    EXPECT_TRUE(sim::ParseProfile(settings, &profile, &error)) << error;
    return profile;
  }
  // A machine with the profile of `settings` (machine.txt lines), every request recorded.
  BiosSession& Reach(const std::string& settings = "", uint32_t wrongTries = 0) {
    reached.reset();
    UseMachine(Profile(settings), BuildImage(), sim::BootState{{}, wrongTries});
    wire = std::make_unique<RecordingMachine>(*sim);
    reached = std::make_unique<Reached>(*wire, allocator, desktop);
    desktop.messages.clear();
    return reached->session;
  }
  // Request `n` went with `code` and begins with the u32 `fields`.
  void ExpectSent(size_t n, uint32_t code, const std::vector<uint32_t>& fields) const {
    EXPECT_EQ(wire->calls.at(n).code, code) << n;
    for (uint32_t i = 0; i < fields.size(); ++i)
      EXPECT_EQ(GetLe32(&wire->calls[n].request[4 * i]), fields[i]) << n;
  }

  std::unique_ptr<RecordingMachine> wire;
  std::unique_ptr<Reached> reached;
  int owner = 0;
};

TEST_F(BiosTest, DiscoveryAndTheCallBuffersGoOverTheWireAsLaidDown) {
  Reach();
  const uint32_t segment = reached->bios.Segment(), fex = segment + sim::kFexSegmentOffset;
  const uint8_t* copy = reached->bios.SegmentCopy();
  EXPECT_EQ(Bytes(copy, copy + kBiosSegmentLength), sim->RunningBiosSegment());
  // The search for BCPFEX, then the read of its 18 bytes, which leaves the pattern in place.
  const uint32_t bcpf = GetLe32(kBcpFexSignature);
  ExpectSent(17, kIoctlSearchMemory, {segment, 6, 0xFFFA, bcpf, GetLe16(kBcpFexSignature + 4)});
  ExpectSent(18, kIoctlReadMemory, {fex, fex, 18, bcpf});

  const uint32_t sizes[] = {kTransferSize, kTransferSize, 60, 12},
                 fills[] = {0x55, 0xAA, 0x5A, 0xA5};
  KernelBuffer buffers[4];
  auto& [send, receive, parameter, status] = buffers;
  for (uint32_t i = 0; i < 4; ++i) {
    buffers[i] = {GetLe32(wire->calls[19 + i].reply.data()),
                  GetLe32(wire->calls[19 + i].reply.data() + 4)};
    ExpectSent(19 + i, kIoctlAllocateKernelMemory, {sizes[i]});
    ExpectSent(23 + i, kIoctlFillMemory, {buffers[i].linear, sizes[i], fills[i]});
  }

  // Each call refills the status block, writes the parameter block, triggers with BCPFEX's port
  // and value, and reads the status back. The parameters stay for the next call.
  BiosCaller& caller = reached->caller;
  caller.SetParams({0, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
  for (uint32_t function : {biosfn::kConnect, biosfn::kGetFlashPartId}) {
    const size_t at = wire->calls.size();
    EXPECT_TRUE(caller.Call(function).Succeeded());
    ExpectSent(at, kIoctlFillMemory, {status.linear, 12, 0xA5});
    ExpectSent(at + 1, kIoctlWriteMemory,
               {parameter.linear, 60, function, send.physical, receive.physical, status.physical,
                4096, 4096, 12, 0, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
    ExpectSent(at + 2, kIoctlTriggerBiosCall, {parameter.physical, 0xB2, 0xE9});
    ExpectSent(at + 3, kIoctlReadMemory, {status.linear, status.linear, 12});
  }

  const size_t release = wire->calls.size();
  caller.Release();
  caller.Release();  // frees nothing twice
  for (uint32_t i = 0; i < 8; ++i)
    ExpectSent(release + i, kIoctlFreeKernelMemory, {i < 4 ? buffers[i].linear : 0});
  EXPECT_FALSE(caller.Call(biosfn::kDisconnect).SignatureValid());  // released: nothing is sent
  reached->bios.Release();
  reached->bios.Release();
  ExpectSent(release + 8, kIoctlUnmapPhysicalMemory, {segment, kBiosSegmentLength});
  EXPECT_EQ(wire->calls.size(), release + 9);
  EXPECT_EQ(sim->Memory().BufferCount() + sim->Memory().MappingCount(), 0u);
}

// Start-up on a BIOS whose blocks lie elsewhere in its segment, or without the memory it needs.
TEST_F(BiosTest, TheBiosIsServedOnlyWithWholeBlocksAndTheMemoryToReachIt) {
  const MessageRecord unsupported = Stop(kMsgBiosNotSupported),
                      noMemory = Stop(kMsgMemoryAllocateError);
  const uint32_t fex = sim::kFexSegmentOffset, sys = sim::kSysSegmentOffset, all = ~0u;
  // BCPFEX and BCPSYS at these segment offsets (0: none), the profile, the allocator's limit; then
  // the boxes, and the unmap and free requests.
  const std::tuple<uint32_t, uint32_t, const char*, uint32_t, std::vector<MessageRecord>, uint32_t,
                   uint32_t>
      cases[] = {{0xFFEE, sys, "", all, {}, 0, 0},
                 {0xFFEF, sys, "", all, {unsupported}, 1, 4},
                 {0, sys, "", all, {unsupported}, 1, 4},
                 {fex, 0xFF80, "", all, {}, 0, 0},
                 {fex, 0xFF81, "", all, {unsupported}, 1, 4},
                 {fex, 0, "", all, {unsupported}, 1, 4},
                 {fex, sys, "", 0xFFFF, {noMemory}, 1, 4},
                 {fex, sys, "kernel_memory_limit = 0x3000", all, {noMemory}, 1, 4}};
  for (const auto& [fexAt, sysAt, settings, failAbove, boxes, unmaps, frees] : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << fexAt << " " << sysAt << " " << settings);
    Bytes image = BuildImage();
    const uint32_t base = static_cast<uint32_t>(image.size()) - kBiosSegmentLength;
    for (auto [from, to, size] : {std::tuple(fex, fexAt, 18u), std::tuple(sys, sysAt, 128u)}) {
      if (to == from) continue;
      // A block moved against the segment's end keeps only what fits there.
      const uint32_t kept = std::min(size, kBiosSegmentLength - to);
      if (to != 0) std::copy_n(image.begin() + base + from, kept, image.begin() + base + to);
      image[base + from] = 'X';
    }
    program.reset();
    UseMachine(Profile(settings), image);
    desktop.messages.clear();
    allocator.failAbove = failAbove;
    EXPECT_EQ(ExitStatusOf([&] { Run(); }), boxes.empty() ? std::nullopt : std::optional(1));
    EXPECT_EQ(desktop.messages, boxes);
    EXPECT_EQ(Requests(kIoctlUnmapPhysicalMemory), unmaps);
    EXPECT_EQ(Requests(kIoctlFreeKernelMemory), frees);
    EXPECT_EQ(Requests(kIoctlFillMemory), boxes.empty() ? 4u : 0u);
  }
}

// `count` records of 2 KiB, one after the other, with Attribs 0 to count - 1.
std::string Blocks(uint32_t count) {
  std::string settings;
  for (uint32_t i = 0; i < count; ++i)
    settings += "block = 0x800 " + std::to_string(0x800 * i) + " auto " + std::to_string(i) + "\n";
  return settings;
}

TEST_F(BiosTest, EachConnectEndsAsTheBiosAndThePersonAtTheKeyboardDecide) {
  const MessageRecord asked = Box(kMsgSystemSecured, kMbIconExclamation);
  const MessageRecord wrong = Stop(kMsgPasswordError), lockout = Stop(kMsgPasswordLockout);
  const MessageRecord empty = Stop(kMsgEnterPassword), unsupported = Stop(kMsgPartNotSupported);
  const Outcome fatal = Outcome::kFatal, done = Outcome::kDone;
  const MessageRecord noTable = Box(kMsgNoCorrectFlashBlock, 0);
  const std::string pw = "password = 4711";
  const std::vector<std::optional<std::string>> three = {"1", "2", "3"};
  // The profile, the wrong passwords a run before left, the password dialog's entries (nullopt:
  // EXIT); then the outcome, the boxes and the Connect calls made.
  using Case = std::tuple<std::string, uint32_t, std::vector<std::optional<std::string>>, Outcome,
                          std::vector<MessageRecord>, uint32_t>;
  const Case cases[] = {
      {Blocks(255), 0, {}, done, {}, 1},
      {Blocks(256), 0, {}, fatal, {Box(kMsgNoCorrectFlashBlock, 0)}, 1},  // no room for the end
      // Blocks flashed or read back that share a byte of the image or of the part, or hold none.
      {Blocks(2) + "block = 0x800 0x400 auto 1", 0, {}, fatal, {noTable}, 1},
      {Blocks(1) + "block = 0x800 0x800 0xFFF80000 0", 0, {}, fatal, {noTable}, 1},
      {"block = 0 0 auto 0", 0, {}, fatal, {noTable}, 1},
      // A block must end within the 4 GiB the BIOS addresses, at the very top at most.
      {"block = 0x800 0 0xFFFFF900 0", 0, {}, fatal, {noTable}, 1},
      {"block = 0x800 0 0xFFFFF800 0", 0, {}, done, {}, 1},
      {"password = 4294967295", 0, {"4294967295"}, done, {asked}, 2},
      {pw, 3, {}, fatal, {Stop(kMsgTooManyWrongPasswords)}, 1},
      {pw + "\nlockout_after = 0", 0, three, fatal, {asked, wrong, wrong, wrong, lockout}, 4},
      {pw + "\nlockout_after = 2", 0, {"1", "2"}, fatal, {asked, wrong, lockout}, 3},
      {pw, 0, {"", std::nullopt}, fatal, {asked, empty, Stop(kMsgPasswordSkipped)}, 1},
      {pw + "\npart_supported = no", 0, {"4711"}, fatal, {asked, unsupported}, 2},
      // 4294972007 is 4711 above 32 bits: no number, like one with a letter after it.
      {pw, 0, {"4294972007", "4711x", " 4711 "}, done, {asked, wrong, wrong}, 4},
  };
  for (const auto& [settings, wrongTries, typed, outcome, boxes, connects] : cases) {
    SCOPED_TRACE(settings.substr(0, 40));
    BiosSession& session = Reach(settings, wrongTries);
    desktop.passwordAnswers.assign(typed.begin(), typed.end());
    desktop.passwordDialogs = 0;
    EXPECT_EQ(session.Connect(&owner), outcome);
    EXPECT_EQ(desktop.messages, boxes);
    // The password dialog is the parent of its own complaint.
    for (const auto& box : desktop.messages) EXPECT_EQ(box.owner, box == empty ? nullptr : &owner);
    EXPECT_EQ(desktop.passwordDialogs, static_cast<int>(typed.size()));
    EXPECT_EQ(Calls(biosfn::kConnect), connects);
    EXPECT_EQ(session.Connected(), outcome == Outcome::kDone);
    if (outcome != Outcome::kDone) continue;
    EXPECT_EQ(reached->part.PartCode(), 0xBF);
    // An open session is not opened again, a closed one not closed again; the next connect sends
    // the accepted password without asking.
    EXPECT_EQ(session.Connect(&owner), Outcome::kDone);
    EXPECT_EQ(session.Disconnect(&owner), Outcome::kDone);
    EXPECT_EQ(session.Disconnect(&owner), Outcome::kDone);
    EXPECT_FALSE(session.Connected() || sim->Bios().SessionOpen());
    EXPECT_EQ(session.Connect(&owner), Outcome::kDone);
    EXPECT_EQ(desktop.passwordDialogs, static_cast<int>(typed.size()));
    EXPECT_EQ(Calls(biosfn::kConnect) + Calls(biosfn::kDisconnect), connects + 2);
  }
}

TEST_F(BiosTest, NoMemoryForTheBlockTableEndsTheRun) {
  BiosSession& next = Reach();
  allocator.failOnCall = allocator.calls + 1;
  EXPECT_EQ(next.Connect(&owner), Outcome::kFatal);
  EXPECT_EQ(desktop.messages, std::vector{Box(kMsgNoMemoryForBlockTable, 0)});
}

TEST(FlashPart, TheTableMustEndWithinTheAnswer) {
  Bytes answer(kTransferSize + blockrec::kSize, 0);
  PutLe32(answer.data() + kTransferSize, blockrec::kEndOfTable);  // just past the answer
  EXPECT_EQ(CountFlashBlocks(answer.data()), -1);
}

}  // namespace
}  // namespace ql::testing
