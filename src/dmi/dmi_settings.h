// The DMI strings settings dialog "DMI_SET_BOX": which strings the next flash writes (the running
// BIOS's, the loaded image's, or typed ones), what the five entry fields show for each choice,
// and the Flash and Backup flags the choice implies. The dialog procedure only moves these
// decisions to and from its controls.
#pragma once

#include <cstdint>

#include "dmi/dmi_strings.h"
#include "dmi/uuid.h"
#include "platform/desktop.h"
#include "rom/rom_image.h"

namespace ql {

// Control ids of "DMI_SET_BOX".
inline constexpr int kIdcDmiLabelManufacturer = 1074;
inline constexpr int kIdcDmiLabelUuid = 1078;
inline constexpr int kIdcDmiManufacturer = 1079;
inline constexpr int kIdcDmiProduct = 1080;
inline constexpr int kIdcDmiVersion = 1081;
inline constexpr int kIdcDmiSystemSerial = 1082;
inline constexpr int kIdcDmiUuid = 1083;
inline constexpr int kIdcDmiGroup = 1084;
inline constexpr int kIdcDmiKeepCurrent = 1085;
inline constexpr int kIdcDmiDontKeep = 1086;
inline constexpr int kIdcDmiNewStrings = 1087;
inline constexpr int kIdcDmiModeCaption = 1088;
inline constexpr int kDmiEntryFieldCount = 5;
// The entry fields in the order of DmiFieldTexts: manufacturer, product, version, serial, UUID.
inline constexpr int kDmiEntryFieldIds[kDmiEntryFieldCount] = {
    kIdcDmiManufacturer, kIdcDmiProduct, kIdcDmiVersion, kIdcDmiSystemSerial, kIdcDmiUuid};

inline constexpr const char* kDmiCaptionKeepCurrent = "DMI strings in current BIOS ";
inline constexpr const char* kDmiCaptionDontKeep = "DMI strings in loaded rom file ";
inline constexpr const char* kDmiCaptionNewStrings = "New DMI strings ";
inline constexpr const char* kDmiTextNoSystemStrings = "No DMI strings in the system";
inline constexpr const char* kDmiTextFileNotRead = "File didn't read!!";
inline constexpr const char* kDmiTextNoFileStrings = "No DMI strings in the file";
inline constexpr const char* kDmiTextUuidNotSupported = "UUID not supported";

// The typed UUID is 16 characters.
inline constexpr uint32_t kEnteredUuidLength = 16;

// What the five entry fields show, or what was typed into them. Every text fits a field of the
// DMI record (kDmiCopySize bytes) and the UUID display.
struct DmiFieldTexts {
  char Manufacturer[kDmiCopySize] = {};
  char Product[kDmiCopySize] = {};
  char Version[kDmiCopySize] = {};
  char SystemSerial[kDmiCopySize] = {};
  char Uuid[kDmiCopySize] = {};
  // The fields in the order of kDmiEntryFieldIds.
  char* Field(int index);
  const char* Field(int index) const;
};

// The radio button of a mode, and the mode of a radio button (-1 / false for any other id).
int DmiRadioOfMode(DmiModeValue mode);
bool DmiModeOfRadio(int id, DmiModeValue* mode);
// The red caption above the fields; ends with a blank.
const char* DmiModeCaption(DmiModeValue mode);
// Only typed strings are typed: the fields are read-only views in the two keeping modes.
bool DmiEntryFieldsEnabled(DmiModeValue mode);

// Selects `mode` at once: sets DmiMode and the image's Flash and Backup flags and answers in
// `shown` what the fields show for it.
void ShowDmiForMode(DmiStrings& dmi, RomImage& image, DmiModeValue mode, DmiFieldTexts* shown);

// The characters each entry field takes: the running BIOS's own string lengths (a longer string
// would not fit where the flash writes it) and 16 for the UUID; without the running BIOS's strings,
// what the record can keep. 0 leaves a field without a limit of its own; no limit is larger than
// the record can keep.
void DmiEntryFieldLimits(const SystemDmiRecord& system, uint32_t (&limits)[kDmiEntryFieldCount]);

// OK: in NewStrings mode the typed texts become EnteredDmi, each cut to its field's limit; then the
// main window's Flash and Backup buttons follow the image's flags.
void ConfirmDmiSettings(DmiStrings& dmi, const ButtonFlags& buttons, Desktop& desktop,
                        const DmiFieldTexts& typed);

}  // namespace ql
