// Tests on the simulated machine: the product's own driver requests drive it, and a small BIOS
// caller builds the parameter block the way the program does.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "driver/driver_link.h"
#include "driver/driver_requests.h"
#include "platform/bytes.h"
#include "rom/bcp_layout.h"
#include "support/sim_fixture.h"

namespace ql::testing {

struct StatusRead {
  uint32_t signature = 0;
  int32_t status = 0;
  int32_t code = 0;
  bool Answered() const { return signature == biosstatus::kSignatureValue; }
};

class SimTest : public SimSeamTest {
 protected:
  static Bytes Image(uint32_t sizeKb = 512) {
    sim::RomSpec spec;
    spec.sizeKb = sizeKb;
    return BuildImage(spec);
  }
  void Build(const sim::SimProfile& profile, Bytes part = Image()) {
    Use(profile, std::move(part));
  }

  // Opens the driver, maps the BIOS segment, finds the trigger and sets up the four buffers.
  void StartProgram() {
    ASSERT_EQ(OpenDriver(nullptr), 0);
    segment_ = MapPhysicalMemory(kBiosSegmentPhysical, kBiosSegmentLength);
    ASSERT_NE(segment_, kDriverNotFound);
    uint32_t at = SearchMemory(segment_, kBcpFexSignature, kSignatureLength, kSegmentSearchLength);
    ASSERT_NE(at, kDriverNotFound);
    const uint8_t* fex = ReadMemory(segment_ + at, bcpfex::kSize);
    port_ = GetLe32(fex + bcpfex::kTriggerPort);
    value_ = fex[bcpfex::kTriggerValue];
    send_ = AllocateKernelMemory(TransferSize);
    receive_ = AllocateKernelMemory(TransferSize);
    param_ = AllocateKernelMemory(biosparam::kSize);
    status_ = AllocateKernelMemory(biosstatus::kSize);
    FillMemory(send_.linear, TransferSize, 0x55);
    FillMemory(receive_.linear, TransferSize, 0xAA);
    FillMemory(param_.linear, biosparam::kSize, 0x5A);
    FillMemory(status_.linear, biosstatus::kSize, 0xA5);
  }

  StatusRead Call(uint32_t function, std::array<uint32_t, 8> params = {}) {
    uint8_t block[biosparam::kSize];
    PutLe32(block + biosparam::kFunction, function);
    PutLe32(block + biosparam::kSendPhysical, send_.physical);
    PutLe32(block + biosparam::kReceivePhysical, receive_.physical);
    PutLe32(block + biosparam::kStatusPhysical, status_.physical);
    PutLe32(block + biosparam::kSendSize, TransferSize);
    PutLe32(block + biosparam::kReceiveSize, TransferSize);
    PutLe32(block + biosparam::kStatusSize, biosstatus::kSize);
    for (uint32_t n = 0; n < biosparam::kParamCount; ++n) {
      PutLe32(block + biosparam::ParamOffset(n), params[n]);
    }
    WriteMemory(param_.linear, block, biosparam::kSize);
    TriggerBiosCall(param_.physical, port_, value_);
    const uint8_t* s = ReadMemory(status_.linear, biosstatus::kSize);
    return {GetLe32(s), GetLe32Signed(s + 4), GetLe32Signed(s + 8)};
  }

  // The receive buffer, through a bulk read.
  const uint8_t* Fetch() {
    ReadMemoryBulk(receive_.linear);
    return DriverBlocks.BulkReply;
  }

  std::string FetchText() { return reinterpret_cast<const char*>(Fetch()); }

  uint32_t Window() const { return sim::PartWindowBase(sim_->Part().Size()); }
  uint8_t PartCode() const { return 0xBF; }

  StatusRead Program(uint32_t offset, const std::vector<uint8_t>& data) {
    WriteMemoryBulk(send_.linear, data.data(), static_cast<uint32_t>(data.size()));
    return Call(biosfn::kProgramFlash,
                {PartCode(), Window() + offset, static_cast<uint32_t>(data.size()), 0});
  }
  StatusRead Erase(uint32_t offset, uint32_t size) {
    return Call(biosfn::kEraseBlock, {PartCode(), Window() + offset, size, 0});
  }
  std::vector<uint8_t> Read(uint32_t offset, uint32_t count, StatusRead* s = nullptr) {
    StatusRead r = Call(biosfn::kReadFlash, {Window() + offset, count});
    if (s) *s = r;
    const uint8_t* data = Fetch();
    return std::vector<uint8_t>(data, data + count);
  }

  uint32_t segment_ = 0;
  uint32_t port_ = 0;
  uint8_t value_ = 0;
  KernelBuffer send_, receive_, param_, status_;
};

}  // namespace ql::testing
