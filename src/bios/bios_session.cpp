#include "bios/bios_session.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_requests.h"
#include "flash/progress.h"
#include "platform/platform.h"

namespace ql {

BiosSessionState BiosSession;

namespace {

[[noreturn]] void Fail(WindowHandle owner, const char* text, uint32_t style) {
  ProgramMessage(owner, text, style);
  FatalExit(owner);
}

// The BIOS explains its refusal in the receive buffer.
[[noreturn]] void FailWithBiosText(WindowHandle owner) {
  FetchReceiveBuffer();
  char text[TransferSize + 1];
  ReceivedText(text);
  Fail(owner, text, kMbIconHand);
}

uint32_t ConnectOnce(uint32_t password) {
  SetBiosParams(password, 0, 0, 0, 0, 0, 0, 0);
  return BiosCall(biosfn::kConnect);
}

// The BIOS refused with -5: ask for the password until it is accepted, the user gives up, or
// the tries run out.
void EnterPassword(WindowHandle owner) {
  if (BiosSession.PasswordEntered == 0) {
    ProgramMessage(owner, kMsgSystemSecured, kMbIconExclamation);
  }
  for (int tries = 0;; ++tries) {
    if (tries == kPasswordTries) Fail(owner, kMsgPasswordLockout, kMbIconHand);
    if (RunPasswordDialog() == 0) Fail(owner, kMsgPasswordSkipped, kMbIconHand);
    uint32_t result = ConnectOnce(BiosSession.PasswordValue);
    if (result == 1) break;
    switch (BiosCalls.Code) {
      case bioscode::kCodePassword:
        ProgramMessage(owner, kMsgPasswordError, kMbIconHand);
        break;
      case bioscode::kCodeLockedOut:
        Fail(owner, kMsgPasswordLockout, kMbIconHand);
      case bioscode::kCodeUnsupportedPart:
        Fail(owner, kMsgPartNotSupported, kMbIconHand);
      default:
        break;  // the BIOS gave no reason: ask again
    }
  }
  BiosSession.PasswordEntered = 1;
}

// A successful Connect leaves the block table in the receive buffer. A fetch the driver failed
// leaves the previous reply in place, which must not become the run's block table: it counts as
// an answer without data.
void TakeBlockTable(WindowHandle owner) {
  if (BiosCalls.Code != bioscode::kCodeData || FetchReceiveBuffer() == 0) {
    ProgramMessage(owner, kMsgNoDataBack, kMbOk);
    return;
  }
  BuildFlashBlockTable(owner);
  if (FlashBlockAnswerUsable(DriverBlocks.BulkReply) == 0) {
    Fail(owner, kMsgNoCorrectFlashBlock, kMbOk);
  }
}

}  // namespace

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

int AcceptPasswordEntry(WindowHandle dialog, const char* entry) {
  if (entry[0] == '\0') {
    ProgramMessage(dialog, kMsgEnterPassword, kMbIconHand);
    return 0;
  }
  BiosSession.PasswordValue = PasswordNumber(entry);
  return 1;
}

int RunPasswordDialog() {
  char entry[kPasswordEntrySize];
  for (;;) {
    std::memset(entry, 0, sizeof entry);
    // The dialog belongs to the desktop window, not to the program's window.
    if (TheDesktop().AskPassword(nullptr, entry, sizeof entry) == 0) return 0;
    entry[kPasswordEntrySize - 1] = '\0';
    if (AcceptPasswordEntry(nullptr, entry) == 1) return 1;
  }
}

void ConnectWithPassword(WindowHandle owner) {
  uint32_t result = 0;
  for (int tries = 0; tries < kSilentConnectTries; ++tries) {
    result = ConnectOnce(BiosSession.PasswordEntered != 0 ? BiosSession.PasswordValue : 0);
    // Only a BIOS that did not answer at all is asked again; a refusal is final.
    if (result == 1 || BiosCalls.SignatureValid == 1) break;
  }
  if (result != 1) {
    switch (BiosCalls.Code) {
      case bioscode::kCodePassword:
        EnterPassword(owner);
        break;
      case bioscode::kCodeLockedOut:
        Fail(owner, kMsgTooManyWrongPasswords, kMbIconHand);
      case bioscode::kCodeUnsupportedPart:
        Fail(owner, kMsgPartNotSupported, kMbIconHand);
      case bioscode::kCodeConnectText:
        FailWithBiosText(owner);
      default:
        Fail(owner, kMsgUnknownConnectFail, kMbIconHand);
    }
  }
  TakeBlockTable(owner);
}

void ConnectBios(WindowHandle owner) {
  if (BiosSession.Connected != 0) return;
  ConnectWithPassword(owner);
  IdentifyFlashPart(owner);
  BuildBlockMap(owner);
  BiosSession.Connected = 1;
}

void DisconnectBios(WindowHandle owner) {
  if (BiosSession.Connected == 0) return;
  SetBiosParams(0, 0, 0, 0, 0, 0, 0, 0);
  if (BiosCall(biosfn::kDisconnect) == 1) {
    BiosSession.Connected = 0;
    return;
  }
  if (BiosCalls.Code == bioscode::kCodeDisconnectText) FailWithBiosText(owner);
}

}  // namespace ql
