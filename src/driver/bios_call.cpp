#include "driver/bios_call.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"

namespace ql {

BiosCaller::BiosCaller(DriverLink& link) : link_(link) {}

BiosCaller::~BiosCaller() {
  // A release already made (or nothing ever held) sends nothing more to the driver.
  if (send_.linear != 0 || receive_.linear != 0 || parameter_.linear != 0 || status_.linear != 0) {
    Release();
  }
}

bool BiosCaller::SetUp() {
  send_ = link_.AllocateKernelMemory(kTransferSize);
  receive_ = link_.AllocateKernelMemory(kTransferSize);
  parameter_ = link_.AllocateKernelMemory(biosparam::kSize);
  status_ = link_.AllocateKernelMemory(biosstatus::kSize);
  if (send_.linear == 0 || receive_.linear == 0 || parameter_.linear == 0 || status_.linear == 0) {
    return false;
  }
  ready_ = link_.FillMemory(send_.linear, kTransferSize, kSendFill) &&
           link_.FillMemory(receive_.linear, kTransferSize, kReceiveFill) &&
           link_.FillMemory(parameter_.linear, biosparam::kSize, kParameterFill) &&
           link_.FillMemory(status_.linear, biosstatus::kSize, kStatusFill);
  return ready_;
}

void BiosCaller::SetTrigger(uint32_t port, uint8_t value) {
  triggerPort_ = port;
  triggerValue_ = value;
}

BiosAnswer BiosCaller::Call(uint32_t function) {
  if (!ready_) {
    last_ = BiosAnswer{};
    return last_;
  }

  uint8_t block[biosparam::kSize];
  PutLe32(block + biosparam::kFunction, function);
  PutLe32(block + biosparam::kSendPhysical, send_.physical);
  PutLe32(block + biosparam::kReceivePhysical, receive_.physical);
  PutLe32(block + biosparam::kStatusPhysical, status_.physical);
  PutLe32(block + biosparam::kSendSize, kTransferSize);
  PutLe32(block + biosparam::kReceiveSize, kTransferSize);
  PutLe32(block + biosparam::kStatusSize, biosstatus::kSize);
  for (uint32_t i = 0; i < biosparam::kParamCount; ++i) {
    PutLe32(block + biosparam::ParamOffset(i), params_[i]);
  }

  const uint8_t* status = nullptr;
  if (link_.FillMemory(status_.linear, biosstatus::kSize, kStatusFill) &&
      link_.WriteMemory(parameter_.linear, block, biosparam::kSize) &&
      link_.TriggerBiosCall(parameter_.physical, triggerPort_, triggerValue_)) {
    status = link_.ReadMemory(status_.linear, biosstatus::kSize);
  }
  if (status == nullptr) {
    // What the status block holds before the BIOS answers.
    const uint32_t fill = kStatusFill * 0x01010101u;
    last_ = BiosAnswer{fill, static_cast<int32_t>(fill), static_cast<int32_t>(fill)};
    return last_;
  }
  last_.signature = GetLe32(status + biosstatus::kSignature);
  last_.status = GetLe32Signed(status + biosstatus::kStatus);
  last_.code = GetLe32Signed(status + biosstatus::kCode);
  return last_;
}

bool BiosCaller::FetchReceiveBuffer() {
  return link_.ReadMemoryBulk(receive_.linear);
}

std::string BiosCaller::ReceivedText() const {
  const uint8_t* data = Received();
  uint32_t length = 0;
  while (length < kTransferSize && data[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(data), length);
}

bool BiosCaller::FillSendBuffer(const uint8_t* data, uint32_t count) {
  return link_.WriteMemoryBulk(send_.linear, data, count);
}

bool BiosCaller::ArmReceiveBuffer(const uint8_t* data, uint32_t count) {
  return ready_ && link_.WriteMemoryBulk(receive_.linear, data, count);
}

bool BiosCaller::ReadSendBuffer(uint8_t* into) {
  for (uint32_t at = 0; at < kTransferSize; at += kShortBlockSize) {
    const uint32_t count = std::min(kShortBlockSize, kTransferSize - at);
    const uint8_t* bytes = link_.ReadMemory(send_.linear + at, count);
    if (bytes == nullptr) return false;
    std::memcpy(into + at, bytes, count);
  }
  return true;
}

bool BiosCaller::ProbeSendBuffer() {
  if (!ready_) return false;
  std::array<uint8_t, kTransferSize> piece;
  if (!ReadSendBuffer(piece.data())) return false;
  for (uint8_t& byte : piece) byte = static_cast<uint8_t>(~byte);
  if (!FillSendBuffer(piece.data(), kTransferSize)) return false;
  std::array<uint8_t, kTransferSize> back;
  return ReadSendBuffer(back.data()) && back == piece;
}

void BiosCaller::Release() {
  // A free the driver refuses leaves the buffer to the driver until the machine restarts; the
  // program forgets it all the same, as it can do nothing more with it.
  for (const KernelBuffer* buffer : {&send_, &receive_, &parameter_, &status_}) {
    (void)link_.FreeKernelMemory(buffer->linear);
  }
  send_ = receive_ = parameter_ = status_ = KernelBuffer{};
  ready_ = false;
}

}  // namespace ql
