#include "dmi/dmi_settings.h"

#include <algorithm>
#include <cstring>

namespace ql {
namespace {

// Copies at most `room` - 1 characters and always terminates; `room` never exceeds the target.
template <size_t N>
void CopyText(char (&to)[N], const char* from, uint32_t room = N) {
  room = std::min<uint32_t>(room, N);
  std::memset(to, 0, N);
  if (room == 0) return;
  std::memcpy(to, from, strnlen(from, room - 1));
}

void ShowAll(DmiFieldTexts* shown, const char* text) {
  CopyText(shown->Manufacturer, text);
  CopyText(shown->Product, text);
  CopyText(shown->Version, text);
  CopyText(shown->SystemSerial, text);
  CopyText(shown->Uuid, text);
}

void ShowUuid(DmiFieldTexts* shown, bool present, const uint8_t* bytes) {
  if (!present) {
    CopyText(shown->Uuid, kDmiTextUuidNotSupported);
    return;
  }
  char text[kUuidDisplaySize];
  UuidDisplayText(bytes, text);
  CopyText(shown->Uuid, text);
}

// The text of a string the record keeps from its length byte on.
template <size_t N>
void ShowString(char (&to)[N], const DmiStringCopy& copy) {
  CopyText(to, copy.Text(), std::min<uint32_t>(N, kDmiCopySize - 1));
}

// A limit the record can keep: the typed text and its terminator fit an EnteredDmi field.
uint32_t LimitOf(uint8_t length) {
  return std::min<uint32_t>(length, kDmiCopySize - 1);
}

void SetButtons(RomImage& image, bool enabled) {
  image.buttons.flash = enabled;
  image.buttons.backup = enabled;
}

}  // namespace

char* DmiFieldTexts::Field(int index) {
  char* fields[kDmiEntryFieldCount] = {Manufacturer, Product, Version, SystemSerial, Uuid};
  return index >= 0 && index < kDmiEntryFieldCount ? fields[index] : nullptr;
}

const char* DmiFieldTexts::Field(int index) const {
  return const_cast<DmiFieldTexts*>(this)->Field(index);
}

int DmiRadioOfMode(DmiModeValue mode) {
  switch (mode) {
    case DmiModeValue::KeepCurrent:
      return kIdcDmiKeepCurrent;
    case DmiModeValue::DontKeep:
      return kIdcDmiDontKeep;
    case DmiModeValue::NewStrings:
      return kIdcDmiNewStrings;
  }
  return -1;
}

bool DmiModeOfRadio(int id, DmiModeValue* mode) {
  switch (id) {
    case kIdcDmiKeepCurrent:
      *mode = DmiModeValue::KeepCurrent;
      return true;
    case kIdcDmiDontKeep:
      *mode = DmiModeValue::DontKeep;
      return true;
    case kIdcDmiNewStrings:
      *mode = DmiModeValue::NewStrings;
      return true;
    default:
      return false;
  }
}

const char* DmiModeCaption(DmiModeValue mode) {
  switch (mode) {
    case DmiModeValue::KeepCurrent:
      return kDmiCaptionKeepCurrent;
    case DmiModeValue::DontKeep:
      return kDmiCaptionDontKeep;
    case DmiModeValue::NewStrings:
      return kDmiCaptionNewStrings;
  }
  return "";
}

bool DmiEntryFieldsEnabled(DmiModeValue mode) {
  return mode == DmiModeValue::NewStrings;
}

void ShowDmiForMode(DmiStrings& dmi, RomImage& image, DmiModeValue mode, DmiFieldTexts* shown) {
  *shown = DmiFieldTexts{};
  dmi.DmiMode = mode;
  const SystemDmiRecord& system = dmi.SystemDmi;
  const ImageDmiRecord& fromImage = dmi.ImageDmi;
  switch (mode) {
    case DmiModeValue::KeepCurrent:
      SetButtons(image, image.Loaded());
      if (!system.SystemDmiPresent) {
        ShowAll(shown, kDmiTextNoSystemStrings);
      } else {
        ShowString(shown->Manufacturer, system.Manufacturer);
        ShowString(shown->Product, system.Product);
        ShowString(shown->Version, system.Version);
        ShowString(shown->SystemSerial, system.SystemSerial);
      }
      ShowUuid(shown, system.SystemUuidPresent, system.Uuid);
      return;
    case DmiModeValue::DontKeep:
      if (!image.Loaded()) {
        SetButtons(image, false);
        ShowAll(shown, kDmiTextFileNotRead);
        return;
      }
      SetButtons(image, true);
      if (!image.ImageDmiPresent()) {
        ShowAll(shown, kDmiTextNoFileStrings);
        return;
      }
      ShowString(shown->Manufacturer, fromImage.Manufacturer);
      ShowString(shown->Product, fromImage.Product);
      ShowString(shown->Version, fromImage.Version);
      ShowString(shown->SystemSerial, fromImage.SystemSerial);
      ShowUuid(shown, fromImage.ImageUuidSupported, fromImage.Uuid);
      return;
    case DmiModeValue::NewStrings: {
      // A flash of new strings rewrites the installed BIOS's own copy: no image is needed.
      SetButtons(image, true);
      const EnteredDmiRecord& entered = dmi.EnteredDmi;
      CopyText(shown->Manufacturer, entered.Manufacturer);
      CopyText(shown->Product, entered.Product);
      CopyText(shown->Version, entered.Version);
      CopyText(shown->SystemSerial, entered.SystemSerial);
      CopyText(shown->Uuid, entered.Uuid);
      return;
    }
  }
}

void DmiEntryFieldLimits(const SystemDmiRecord& system, uint32_t (&limits)[kDmiEntryFieldCount]) {
  // Without the running BIOS's strings (a segment that could not be copied whole) their lengths
  // are not known here: a limit of 0 would turn whatever is typed into blanks over the installed
  // strings. The DMI-only flash fits the text to the lengths it reads from the part itself.
  auto limit = [&system](const DmiStringCopy& copy) {
    return system.SystemDmiPresent ? LimitOf(copy.Length()) : kDmiCopySize - 1;
  };
  limits[0] = limit(system.Manufacturer);
  limits[1] = limit(system.Product);
  limits[2] = limit(system.Version);
  limits[3] = limit(system.SystemSerial);
  limits[4] = kEnteredUuidLength;
}

void ConfirmDmiSettings(DmiStrings& dmi, const ButtonFlags& buttons, Desktop& desktop,
                        const DmiFieldTexts& typed) {
  if (dmi.DmiMode == DmiModeValue::NewStrings) {
    uint32_t limits[kDmiEntryFieldCount];
    DmiEntryFieldLimits(dmi.SystemDmi, limits);
    EnteredDmiRecord& entered = dmi.EnteredDmi;
    CopyText(entered.Manufacturer, typed.Manufacturer, limits[0] + 1);
    CopyText(entered.Product, typed.Product, limits[1] + 1);
    CopyText(entered.Version, typed.Version, limits[2] + 1);
    CopyText(entered.SystemSerial, typed.SystemSerial, limits[3] + 1);
    CopyText(entered.Uuid, typed.Uuid, limits[4] + 1);
  }
  ShowButtons(desktop, buttons);
}

}  // namespace ql
