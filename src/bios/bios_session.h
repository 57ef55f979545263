// The session with the BIOS's flash services: the connect with its silent retries, the password of
// a secured BIOS, the hand-over of the flash part code and block table, and the disconnect.
#pragma once

#include <cstdint>

#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/outcome.h"

namespace ql {

// Silent Connect calls before the program looks at why the BIOS refused.
inline constexpr int kSilentConnectTries = 3;
// Wrong passwords a run allows before it stops asking.
inline constexpr int kPasswordTries = 3;
// The password edit takes at most 12 characters.
inline constexpr uint32_t kPasswordMaxLength = 12;
inline constexpr uint32_t kPasswordEntrySize = kPasswordMaxLength + 1;

inline constexpr const char* kMsgSystemSecured =
    "The system is secured, you'll need to enter password upon backup or flash.";
inline constexpr const char* kMsgPasswordError = "Password Error!!";
inline constexpr const char* kMsgPasswordLockout =
    "You are not allowed to flash bios because of password error !! ";
inline constexpr const char* kMsgPasswordSkipped =
    "Can't connect with BIOS because you skip enter password!!";
inline constexpr const char* kMsgTooManyWrongPasswords =
    "You are not allowed to flash BIOS!! Unless you restart the system!!\nBecause you have "
    "entered wrong password too many times!! ";
inline constexpr const char* kMsgPartNotSupported =
    "You are not allowed to flash BIOS!!\nBecause the flash part is not supported!! ";
inline constexpr const char* kMsgUnknownConnectFail = "Unknow connect Fail!!";
inline constexpr const char* kMsgEnterPassword = "You need to enter a password!!";
inline constexpr const char* kMsgFlashPartIdFail = "Flash Part ID Fail!!";
inline constexpr const char* kMsgNoDataBack = "No data back to App 4k buffer ";
inline constexpr const char* kMsgNoMemoryForBlockTable = "No enough memory for flash block table!!";
inline constexpr const char* kMsgNoCorrectFlashBlock =
    "You did not have Correct Flash Block in BIOS";

// The text of the password edit as an unsigned decimal number. Leading and trailing blanks are
// allowed; anything else that is not a digit, no digit at all, or a value above 32 bits gives 0.
uint32_t PasswordNumber(const char* entry);

class BiosSession {
 public:
  BiosSession(BiosCaller& caller, FlashPart& part, Desktop& desktop, Allocator& allocator);

  // Opens a session unless one is open: the connect (with the password when the BIOS asks), the
  // part code (GetFlashPartId), and the block table on the first connect of the run. kDone with a
  // session open; kFatal after the message of a refusal the program cannot go on from (wrong
  // passwords, an unsupported part, a connect refused with or without a text, no usable table, a
  // refused part id, no memory for the table). An answer without data shows "No data back to App
  // 4k buffer " and goes on.
  Outcome Connect(WindowHandle owner);
  bool Connected() const { return connected_; }

  // Closes the session if one is open. A refusal that carries a BIOS text (Code -12) shows it and
  // answers kFatal; any other refusal leaves the session open and answers kDone.
  Outcome Disconnect(WindowHandle owner);

  // What OK in the password dialog does with the entry: an empty one shows "You need to enter a
  // password!!" (parent `dialog`) and answers false, the dialog staying open; otherwise the entry's
  // number is kept for the next connect and the answer is true.
  bool AcceptPasswordEntry(WindowHandle dialog, const char* entry);

 private:
  Outcome ConnectWithPassword(WindowHandle owner);
  Outcome EnterPassword(WindowHandle owner);
  bool RunPasswordDialog();
  Outcome TakeBlockTable(WindowHandle owner);
  Outcome IdentifyFlashPart(WindowHandle owner);
  // Shows the message of a refusal the program cannot go on from and answers kFatal.
  Outcome Fail(WindowHandle owner, const char* text, uint32_t style);
  Outcome FailWithBiosText(WindowHandle owner);
  BiosAnswer ConnectOnce(uint32_t password);

  BiosCaller& caller_;
  FlashPart& part_;
  Desktop& desktop_;
  Allocator& allocator_;
  bool connected_ = false;
  bool passwordEntered_ = false;  // the BIOS accepted a password this run; never cleared
  uint32_t passwordValue_ = 0;    // the number last typed in the password dialog
};

}  // namespace ql
