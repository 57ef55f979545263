#include "driver/bios_call.h"

#include <cstdlib>
#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "bios/bios_interface.h"
#include "bios/flash_part.h"
#include "dmi/dmi_strings.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/bcp_layout.h"
#include "rom/rom_image.h"

namespace ql {

BiosCallState BiosCalls;

void SetUpBiosCallBuffers(WindowHandle owner) {
  BiosCallState& b = BiosCalls;
  b.SendBuffer = AllocateKernelMemory(TransferSize);
  b.ReceiveBuffer = AllocateKernelMemory(TransferSize);
  b.ParameterBlock = AllocateKernelMemory(biosparam::kSize);
  b.StatusBlock = AllocateKernelMemory(biosstatus::kSize);
  if (b.SendBuffer.linear == 0 || b.ReceiveBuffer.linear == 0 || b.ParameterBlock.linear == 0 ||
      b.StatusBlock.linear == 0) {
    ProgramMessage(owner, kMsgMemoryAllocateError, kMbIconHand);
    FatalExit(owner);
  }
  FillMemory(b.SendBuffer.linear, TransferSize, kSendFill);
  FillMemory(b.ReceiveBuffer.linear, TransferSize, kReceiveFill);
  FillMemory(b.ParameterBlock.linear, biosparam::kSize, kParameterFill);
  FillMemory(b.StatusBlock.linear, biosstatus::kSize, kStatusFill);
  b.BuffersReady = 1;
}

void SetBiosParams(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4, uint32_t p5,
                   uint32_t p6, uint32_t p7) {
  const uint32_t values[biosparam::kParamCount] = {p0, p1, p2, p3, p4, p5, p6, p7};
  std::memcpy(BiosCalls.Param, values, sizeof values);
}

uint32_t BiosCall(uint32_t function) {
  BiosCallState& b = BiosCalls;
  if (b.BuffersReady == 0) {
    b.SignatureValid = 0;
    return 0;
  }

  uint8_t block[biosparam::kSize];
  PutLe32(block + biosparam::kFunction, function);
  PutLe32(block + biosparam::kSendPhysical, b.SendBuffer.physical);
  PutLe32(block + biosparam::kReceivePhysical, b.ReceiveBuffer.physical);
  PutLe32(block + biosparam::kStatusPhysical, b.StatusBlock.physical);
  PutLe32(block + biosparam::kSendSize, TransferSize);
  PutLe32(block + biosparam::kReceiveSize, TransferSize);
  PutLe32(block + biosparam::kStatusSize, biosstatus::kSize);
  for (uint32_t i = 0; i < biosparam::kParamCount; ++i) {
    PutLe32(block + biosparam::ParamOffset(i), b.Param[i]);
  }

  FillMemory(b.StatusBlock.linear, biosstatus::kSize, kStatusFill);
  WriteMemory(b.ParameterBlock.linear, block, biosparam::kSize);
  TriggerBiosCall(b.ParameterBlock.physical, BiosInterface.TriggerPort, BiosInterface.TriggerValue);
  const uint8_t* status = ReadMemory(b.StatusBlock.linear, biosstatus::kSize);

  b.Signature = GetLe32(status + biosstatus::kSignature);
  b.Status = GetLe32Signed(status + biosstatus::kStatus);
  b.Code = GetLe32Signed(status + biosstatus::kCode);
  b.SignatureValid = b.Signature == biosstatus::kSignatureValue ? 1 : 0;
  return b.SignatureValid == 1 && b.Status == bioscode::kStatusOk ? 1 : 0;
}

int FetchReceiveBuffer() {
  return ReadMemoryBulk(BiosCalls.ReceiveBuffer.linear) ? 1 : 0;
}

void ReceivedText(char* text) {
  const uint8_t* data = DriverBlocks.BulkReply;
  uint32_t n = 0;
  while (n < TransferSize && data[n] != 0) ++n;
  std::memcpy(text, data, n);
  text[n] = '\0';
}

void ReleaseBiosCallResources() {
  BiosCallState& b = BiosCalls;
  FreeKernelMemory(b.SendBuffer.linear);
  FreeKernelMemory(b.ReceiveBuffer.linear);
  FreeKernelMemory(b.ParameterBlock.linear);
  FreeKernelMemory(b.StatusBlock.linear);
  b.SendBuffer = b.ReceiveBuffer = b.ParameterBlock = b.StatusBlock = KernelBuffer{};
  b.BuffersReady = 0;

  HeapFreeIfSet(FlashPart.FlashBlockTable);
  FlashPart.FlashBlockTable = nullptr;
  FlashPart.BlockCount = 0;
  FlashPart.BlockTableBuilt = 0;
  HeapFreeIfSet(RomImage.Buffer);
  RomImage.Buffer = nullptr;
  RomImage.BufferSize = 0;

  if (BiosInterface.BiosSegment != 0) {
    UnmapPhysicalMemory(BiosInterface.BiosSegment, kBiosSegmentLength);
    BiosInterface.BiosSegment = 0;
  }

  HeapFreeIfSet(DmiStrings.BiosSegmentCopy);
  DmiStrings.BiosSegmentCopy = nullptr;
}

void FatalExit(WindowHandle) {
  ReleaseBiosCallResources();
  TheDesktop().ReleaseSkin();
  TheMachine().ExitProcess(1);
  std::abort();  // the platform's exit does not return; never let a fatal end run on
}

}  // namespace ql
