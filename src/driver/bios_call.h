// The BIOS call: four kernel buffers the BIOS reaches by physical address, the 60-byte parameter
// block written before every call, the I/O port trigger, and the 12-byte status block the BIOS
// answers in.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "driver/driver_link.h"
#include "driver/wire.h"

namespace ql {

// The bytes each buffer is filled with at set-up. The status block's fill is also laid down
// again before every call (see BiosCaller::Call).
inline constexpr uint8_t kSendFill = 0x55;
inline constexpr uint8_t kReceiveFill = 0xAA;
inline constexpr uint8_t kParameterFill = 0x5A;
inline constexpr uint8_t kStatusFill = 0xA5;

// Shown when memory the program cannot run without is missing at start-up.
inline constexpr const char* kMsgMemoryAllocateError = "Memory allocate error";

using BiosParams = std::array<uint32_t, biosparam::kParamCount>;

// The status block of a call, as read back.
struct BiosAnswer {
  uint32_t signature = 0;
  int32_t status = 0;
  int32_t code = 0;
  bool SignatureValid() const { return signature == biosstatus::kSignatureValue; }
  // "FQBV" and Status 0.
  bool Succeeded() const { return SignatureValid() && status == bioscode::kStatusOk; }
};

class BiosCaller {
 public:
  explicit BiosCaller(DriverLink& link);
  ~BiosCaller();
  BiosCaller(const BiosCaller&) = delete;
  BiosCaller& operator=(const BiosCaller&) = delete;

  // Allocates the send and receive buffers (kTransferSize bytes each), the parameter block (60)
  // and the status block (12), in that order, then fills each with its fill byte.
  //
  // A buffer the driver could not allocate, or whose request it refused, comes back at linear
  // address 0. The program does not go on with such a buffer: the driver would fill it, and the
  // BIOS would later be handed its physical address, which means writing into whatever lives at
  // address 0 of kernel or physical memory. So when any of the four is missing nothing is filled
  // and the answer is false, and so it is when a fill is refused; the caller shows "Memory
  // allocate error" and ends the program (Release gives back what was had).
  [[nodiscard]] bool SetUp();

  // The trigger of the running BIOS's flash functions, from its BCPFEX block.
  void SetTrigger(uint32_t port, uint8_t value);

  // Param0 to Param7 of the next calls; they stay until set again (GetFlashPartId goes with the
  // parameters of the Connect before it).
  void SetParams(const BiosParams& params) { params_ = params; }

  // Performs one BIOS function and answers its status block (also kept as LastAnswer()).
  //
  // The status block is refilled with 0xA5 before every trigger. Without that, a BIOS that does not
  // answer leaves the previous call's answer in place, and a call that never ran would read back as
  // the success of the one before it. With it, an unanswered call always reads back 0xA5A5A5A5 in
  // all three fields: no signature, no success.
  //
  // The BIOS is not triggered unless the status block was refilled and the parameter block written
  // whole: a refused parameter write would leave the previous call's block in place, and the BIOS
  // would run that call again (an erase, say). A call not triggered, a refused trigger and a status
  // block the driver did not hand back are all unanswered calls.
  //
  // Before the buffers exist (or after they were released) nothing is sent and the answer carries
  // no signature.
  BiosAnswer Call(uint32_t function);
  const BiosAnswer& LastAnswer() const { return last_; }

  // Reads the whole receive buffer through the driver; false when the driver did not hand it over
  // (Received() then still holds an earlier reply, which must not be used).
  [[nodiscard]] bool FetchReceiveBuffer();
  // The receive buffer as last fetched: kTransferSize bytes.
  const uint8_t* Received() const { return link_.BulkData(); }
  // The text the BIOS left at the start of the fetched receive buffer: the bytes up to the first
  // zero, never more than kTransferSize.
  std::string ReceivedText() const;

  // Hands `count` bytes (at most kTransferSize) to the send buffer; false when the driver refused.
  [[nodiscard]] bool FillSendBuffer(const uint8_t* data, uint32_t count);
  // Lays `count` bytes (at most kTransferSize) into the receive buffer before a call that is to
  // fill it, so that a call that answers without writing it hands back these bytes and not an
  // earlier call's; false when the driver refused.
  [[nodiscard]] bool ArmReceiveBuffer(const uint8_t* data, uint32_t count);

  // Hands one whole piece to the send buffer and reads it back in short reads: true when every
  // byte arrived. The piece is the complement of what the buffer held, so bytes an earlier fill
  // left cannot pass for a write that never happened. The send buffer then holds the probe's bytes,
  // and the receive buffer is untouched.
  [[nodiscard]] bool ProbeSendBuffer();

  // Frees the four buffers (address 0 for one never allocated) and forgets them; a second release
  // frees nothing twice. The destructor releases too.
  void Release();

 private:
  // The whole send buffer, read in short reads; false when the driver did not answer one.
  bool ReadSendBuffer(uint8_t* into);

  DriverLink& link_;
  KernelBuffer send_, receive_, parameter_, status_;
  bool ready_ = false;
  uint32_t triggerPort_ = 0;
  uint8_t triggerValue_ = 0;
  BiosParams params_ = {};
  BiosAnswer last_;
};

}  // namespace ql
