// The numbered message boxes: texts the program shows by number, some of which a build can mark
// not to be shown at all.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

inline constexpr uint32_t kMsgTextSize = 128;
inline constexpr uint32_t kMsgCaptionSize = 64;
inline constexpr uint32_t kMsgFlagDoNotShow = 0x1;
inline constexpr uint32_t kMsgTableEnd = 0xFFFFFFFFu;

inline constexpr uint32_t MSG_CLOSE_OTHER_APPS = 0x1000;
inline constexpr uint32_t MSG_UPDATE_DMI_ONLY = 0x1001;
inline constexpr uint32_t MSG_DMI_ONLY_NO_MEMORY = 0x1002;
inline constexpr uint32_t MSG_NO_BCPSYS_IN_COPY = 0x1003;

inline constexpr const char* kMsgStrIdNotFound = "Can not find this STR ID !!";
inline constexpr const char* kMsgStrIdNotFoundCaption = " Quorrelite";
inline constexpr int kAnswerSuppressed = 1;
inline constexpr int kAnswerNotInTable = 2;

struct MessageRecord {
  uint32_t Id;
  char Text[kMsgTextSize];
  char Caption[kMsgCaptionSize];
  uint32_t BoxStyle;
  uint32_t Flags;
};

// Searched in order; the record with id kMsgTableEnd ends it.
extern const MessageRecord MessageTable[];

// The answer of the record's box (kIdOk, kIdCancel, ...); 1 without a box for a record marked
// do-not-show; 2 after "Can not find this STR ID !!" for an id not in the table.
int ShowMessageById(Desktop& desktop, uint32_t id, WindowHandle owner);

}  // namespace ql
