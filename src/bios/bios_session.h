// The session with the BIOS's flash services: the connect with its silent retries, the password
// of a secured BIOS, the hand-over of the flash block table, and the disconnect.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

struct BiosSessionState {
  uint32_t Connected = 0;        // a session is open
  uint32_t PasswordEntered = 0;  // the BIOS accepted a password this run; never cleared
  uint32_t PasswordValue = 0;    // the number last typed in the password dialog
};

extern BiosSessionState BiosSession;

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

// Opens a session unless one is open: the connect (with password when the BIOS asks), the flash
// part code, and the block map. Every unrecoverable failure inside ends the program.
void ConnectBios(WindowHandle owner);

// Closes the session if one is open. A refusal that carries a BIOS text (-12) shows it and ends
// the program; any other refusal leaves the session open.
void DisconnectBios(WindowHandle owner);

// The connect itself: up to three silent Connect calls, the password dialog on a secured BIOS,
// then the hand-over of the block table. Used by ConnectBios.
void ConnectWithPassword(WindowHandle owner);

// The text of the password edit as an unsigned decimal number. Leading and trailing blanks are
// allowed; anything else that is not a digit, no digit at all, or a value above 32 bits gives 0.
uint32_t PasswordNumber(const char* entry);

// What OK in the password dialog does with the entry: an empty one shows "You need to enter a
// password!!" (parent `dialog`) and answers 0, the dialog staying open; otherwise PasswordValue
// becomes its number and the answer is 1.
int AcceptPasswordEntry(WindowHandle dialog, const char* entry);

// Runs the password dialog until the user confirms a non-empty entry (answers 1, PasswordValue
// set) or chooses EXIT (answers 0).
int RunPasswordDialog();

}  // namespace ql
