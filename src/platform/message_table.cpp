#include "platform/message_table.h"

namespace ql {

const MessageRecord MessageTable[] = {
    {MSG_CLOSE_OTHER_APPS,
     "Please close other application which running now !!\n"
     " Press OK to run flash or Cancel to exit",
     "Quorrelite", kMbOkCancel | kMbIconExclamation, kMsgFlagDoNotShow},
    {MSG_UPDATE_DMI_ONLY, "Updating DMI strings only!!", "Quorrelite",
     kMbOkCancel | kMbIconExclamation, 0},
    {MSG_DMI_ONLY_NO_MEMORY, "Can not allocate memory for flash DMI only!!", "Quorrelite",
     kMbIconHand, 0},
    {MSG_NO_BCPSYS_IN_COPY, "Can not find BCPSYS in copied 4G ROM!!", "Quorrelite", kMbIconHand, 0},
    {kMsgTableEnd, "", "", 0, 0},
};

int ShowMessageById(Desktop& desktop, uint32_t id, WindowHandle owner) {
  for (const MessageRecord* record = MessageTable;; ++record) {
    if (record->Id == id) {
      if (record->Flags & kMsgFlagDoNotShow) return kAnswerSuppressed;
      return desktop.ShowMessageBox(owner, record->Text, record->Caption, record->BoxStyle);
    }
    if (record->Id == kMsgTableEnd) break;
  }
  desktop.ShowMessageBox(owner, kMsgStrIdNotFound, kMsgStrIdNotFoundCaption, kMbOk);
  return kAnswerNotInTable;
}

}  // namespace ql
