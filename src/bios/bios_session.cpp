#include "bios/bios_session.h"

#include <cstring>
#include <string>

namespace ql {

uint32_t PasswordNumber(const char* entry) {
  const char* p = entry;
  while (*p == ' ' || *p == '\t') ++p;
  uint64_t value = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (digits == 0 || *p != '\0') return 0;
  return static_cast<uint32_t>(value);
}

BiosSession::BiosSession(BiosCaller& caller, FlashPart& part, Desktop& desktop,
                         Allocator& allocator)
    : caller_(caller), part_(part), desktop_(desktop), allocator_(allocator) {}

Outcome BiosSession::Fail(WindowHandle owner, const char* text, uint32_t style) {
  ProgramMessage(desktop_, owner, text, style);
  return Outcome::kFatal;
}

Outcome BiosSession::FailWithBiosText(WindowHandle owner) {
  // The BIOS explains its refusal in the receive buffer. A fetch the driver failed shows what the
  // buffer last held, as it always has: the program ends either way.
  (void)caller_.FetchReceiveBuffer();
  std::string text = caller_.ReceivedText();
  return Fail(owner, text.c_str(), kMbIconHand);
}

BiosAnswer BiosSession::ConnectOnce(uint32_t password) {
  caller_.SetParams(BiosParams{password, 0, 0, 0, 0, 0, 0, 0});
  return caller_.Call(biosfn::kConnect);
}

bool BiosSession::AcceptPasswordEntry(WindowHandle dialog, const char* entry) {
  if (entry[0] == '\0') {
    ProgramMessage(desktop_, dialog, kMsgEnterPassword, kMbIconHand);
    return false;
  }
  passwordValue_ = PasswordNumber(entry);
  return true;
}

bool BiosSession::RunPasswordDialog() {
  char entry[kPasswordEntrySize];
  for (;;) {
    std::memset(entry, 0, sizeof entry);
    // The dialog belongs to the desktop window, not to the program's window.
    if (!desktop_.AskPassword(nullptr, entry, sizeof entry)) return false;
    entry[kPasswordEntrySize - 1] = '\0';
    if (AcceptPasswordEntry(nullptr, entry)) return true;
  }
}

// The BIOS refused with -5: ask for the password until it is accepted, the user gives up, or the
// tries run out.
Outcome BiosSession::EnterPassword(WindowHandle owner) {
  if (!passwordEntered_) ProgramMessage(desktop_, owner, kMsgSystemSecured, kMbIconExclamation);
  for (int tries = 0;; ++tries) {
    if (tries == kPasswordTries) return Fail(owner, kMsgPasswordLockout, kMbIconHand);
    if (!RunPasswordDialog()) return Fail(owner, kMsgPasswordSkipped, kMbIconHand);
    BiosAnswer answer = ConnectOnce(passwordValue_);
    if (answer.Succeeded()) break;
    switch (answer.code) {
      case bioscode::kCodePassword:
        ProgramMessage(desktop_, owner, kMsgPasswordError, kMbIconHand);
        break;
      case bioscode::kCodeLockedOut:
        return Fail(owner, kMsgPasswordLockout, kMbIconHand);
      case bioscode::kCodeUnsupportedPart:
        return Fail(owner, kMsgPartNotSupported, kMbIconHand);
      default:
        break;  // the BIOS gave no reason: ask again
    }
  }
  passwordEntered_ = true;
  return Outcome::kDone;
}

// A successful Connect leaves the block table in the receive buffer. A fetch the driver failed
// leaves the previous reply in place, which must not become the run's block table: it counts as an
// answer without data.
Outcome BiosSession::TakeBlockTable(WindowHandle owner) {
  if (caller_.LastAnswer().code != bioscode::kCodeData || !caller_.FetchReceiveBuffer()) {
    ProgramMessage(desktop_, owner, kMsgNoDataBack, kMbOk);
    return Outcome::kDone;
  }
  switch (part_.TakeBlockTable(caller_.Received(), allocator_)) {
    case TableTaken::kTaken:
    case TableTaken::kKept:
      return Outcome::kDone;
    case TableTaken::kUnusable:
      return Fail(owner, kMsgNoCorrectFlashBlock, kMbOk);
    case TableTaken::kNoMemory:
      return Fail(owner, kMsgNoMemoryForBlockTable, kMbOk);
  }
  return Outcome::kFatal;
}

Outcome BiosSession::ConnectWithPassword(WindowHandle owner) {
  BiosAnswer answer;
  for (int tries = 0; tries < kSilentConnectTries; ++tries) {
    answer = ConnectOnce(passwordEntered_ ? passwordValue_ : 0);
    // Only a BIOS that did not answer at all is asked again; a refusal is final.
    if (answer.Succeeded() || answer.SignatureValid()) break;
  }
  if (!answer.Succeeded()) {
    switch (answer.code) {
      case bioscode::kCodePassword:
        if (Outcome entered = EnterPassword(owner); entered != Outcome::kDone) return entered;
        break;
      case bioscode::kCodeLockedOut:
        return Fail(owner, kMsgTooManyWrongPasswords, kMbIconHand);
      case bioscode::kCodeUnsupportedPart:
        return Fail(owner, kMsgPartNotSupported, kMbIconHand);
      case bioscode::kCodeConnectText:
        return FailWithBiosText(owner);
      default:
        return Fail(owner, kMsgUnknownConnectFail, kMbIconHand);
    }
  }
  return TakeBlockTable(owner);
}

// The part code comes with the parameters of the Connect before it.
Outcome BiosSession::IdentifyFlashPart(WindowHandle owner) {
  if (!caller_.Call(biosfn::kGetFlashPartId).Succeeded()) {
    return Fail(owner, kMsgFlashPartIdFail, kMbOk);
  }
  // A fetch the driver failed leaves an older reply in place: no part code comes from it.
  bool fetched = caller_.FetchReceiveBuffer();
  if (caller_.LastAnswer().code != bioscode::kCodeData || !fetched) {
    ProgramMessage(desktop_, owner, kMsgNoDataBack, kMbOk);
    return Outcome::kDone;
  }
  part_.SetPartCode(caller_.Received()[0]);
  return Outcome::kDone;
}

Outcome BiosSession::Connect(WindowHandle owner) {
  if (connected_) return Outcome::kDone;
  if (Outcome connected = ConnectWithPassword(owner); connected != Outcome::kDone) return connected;
  if (Outcome identified = IdentifyFlashPart(owner); identified != Outcome::kDone) {
    return identified;
  }
  connected_ = true;
  return Outcome::kDone;
}

Outcome BiosSession::Disconnect(WindowHandle owner) {
  if (!connected_) return Outcome::kDone;
  caller_.SetParams(BiosParams{});
  if (caller_.Call(biosfn::kDisconnect).Succeeded()) {
    connected_ = false;
    return Outcome::kDone;
  }
  if (caller_.LastAnswer().code == bioscode::kCodeDisconnectText) return FailWithBiosText(owner);
  return Outcome::kDone;
}

}  // namespace ql
