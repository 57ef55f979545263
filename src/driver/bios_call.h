// The BIOS call: four kernel buffers the BIOS reaches by physical address, the 60-byte parameter
// block written before every call, the I/O port trigger, and the 12-byte status block the BIOS
// answers in. Also the release of everything the run holds, and the one orderly fatal stop.
#pragma once

#include <cstdint>

#include "driver/driver_requests.h"
#include "platform/desktop.h"
#include "rom/bcp_layout.h"

namespace ql {

// The parameter and status block layouts, the function numbers and the Status and Code values
// are shared with the simulated machine: biosparam, biosstatus, biosfn and bioscode in
// rom/bcp_layout.h.

// The bytes each buffer is filled with at set-up. The status block's fill is also laid down
// again before every call (see BiosCall).
inline constexpr uint8_t kSendFill = 0x55;
inline constexpr uint8_t kReceiveFill = 0xAA;
inline constexpr uint8_t kParameterFill = 0x5A;
inline constexpr uint8_t kStatusFill = 0xA5;

// Shown when memory the program cannot run without is missing at start-up.
inline constexpr const char* kMsgMemoryAllocateError = "Memory allocate error";

struct BiosCallState {
  KernelBuffer SendBuffer;
  KernelBuffer ReceiveBuffer;
  KernelBuffer ParameterBlock;
  KernelBuffer StatusBlock;
  uint32_t BuffersReady = 0;  // all four buffers exist and were filled

  uint32_t Param[biosparam::kParamCount] = {};  // kept from call to call until set again

  // The status block of the most recent call, as read back.
  uint32_t Signature = 0;
  int32_t Status = 0;
  int32_t Code = 0;
  uint32_t SignatureValid = 0;
};

extern BiosCallState BiosCalls;

// Allocates the send and receive buffers (4096 bytes each), the parameter block (60) and the
// status block (12), in that order, then fills each with its fill byte.
//
// A buffer the driver could not allocate comes back at linear address 0. The program does not
// go on with such a buffer: the driver would fill it, and the BIOS would later be handed its
// physical address, which means writing into whatever lives at address 0 of kernel or physical
// memory. So when any of the four is missing nothing is filled, "Memory allocate error" is shown
// (caption "Quorrelite", stop icon) and the program ends through FatalExit, which gives back the
// buffers that were allocated.
void SetUpBiosCallBuffers(WindowHandle owner);

// Param0 to Param7 of the next BiosCall.
void SetBiosParams(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4, uint32_t p5,
                   uint32_t p6, uint32_t p7);

// Performs one BIOS function. Answers 1 when the status block carries "FQBV" and Status 0, else
// 0; Signature, Status, Code and SignatureValid are updated either way.
//
// The status block is refilled with 0xA5 before every trigger. Without that, a BIOS that does
// not answer leaves the previous call's answer in place, and a call that never ran would read
// back as the success of the one before it. With it, an unanswered call always reads back
// 0xA5A5A5A5 in all three fields: no signature, result 0.
//
// Before the buffers exist (or after they were released) nothing is sent and the answer is 0
// with SignatureValid 0.
uint32_t BiosCall(uint32_t function);

// Reads the whole receive buffer into DriverBlocks.BulkReply (data from offset 0). Answers the
// platform's flag, which callers ignore.
int FetchReceiveBuffer();

// The text the BIOS left at the start of the fetched receive buffer: the bytes up to the first
// zero, never more than TransferSize. `text` must hold TransferSize + 1 bytes.
void ReceivedText(char* text);

// Frees, in this order: the four kernel buffers (address 0 for one never allocated), the flash
// block table and the ROM image buffer, the mapping of the BIOS segment (when mapped), and the
// copy of the BIOS segment. Every pointer and address freed is cleared, so a second release
// frees nothing twice.
void ReleaseBiosCallResources();

// The one orderly stop after an unrecoverable error whose message has been shown: releases the
// resources and the skin, then ends the process with exit status 1. Does not disconnect the BIOS.
[[noreturn]] void FatalExit(WindowHandle owner);

}  // namespace ql
