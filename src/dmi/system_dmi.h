// The running BIOS's DMI strings and UUID, read from its BCPDMI block: the header through the
// driver, the strings and the UUID from the copy of the segment taken at start-up.
#pragma once

#include <string>

#include "bios/bios_interface.h"
#include "dmi/dmi_strings.h"
#include "driver/driver_link.h"

namespace ql {

// Fills `record` from the BCPDMI block of the running BIOS.
//
// Nothing is ever read outside the segment copy. A string copy holds the length byte, at most 77
// characters, the terminator and the balance byte (80 bytes); a BIOS string that is longer, whose
// offset is 0, or that would run past the end of the copy is treated as absent (left zeroed:
// length 0, empty text) rather than clipped, because a clipped copy carried into a new image would
// write a different string than the length byte announces. A UUID field that would run past the
// end of the copy counts as no UUID field. A BCPDMI header that would run past the end of the
// segment, or that the driver does not hand over, counts as no block, and so does every block of a
// BIOS whose segment copy could not be taken whole.
void ReadSystemDmi(DriverLink& link, const BiosInterface& bios, SystemDmiRecord* record);

// The six strings of the record under the names the program's own files give them.
struct NamedDmiString {
  const char* key;
  DmiStringCopy SystemDmiRecord::*copy;
};
inline constexpr NamedDmiString kNamedSystemStrings[] = {
    {"serial", &SystemDmiRecord::Serial},
    {"manufacturer", &SystemDmiRecord::Manufacturer},
    {"product", &SystemDmiRecord::Product},
    {"version", &SystemDmiRecord::Version},
    {"system_serial", &SystemDmiRecord::SystemSerial},
    {"chassis_serial", &SystemDmiRecord::ChassisSerial}};

// A name for this machine's own files, which a line running the program from one shared folder
// keeps apart: the system serial number when it holds a letter or a digit, otherwise the UUID in
// hexadecimal when one is stored (neither all 0x00 nor all 0xFF), otherwise "unknown". Every
// character but letters, digits, '-' and '.' becomes '_', and the name is at most 64 characters.
std::string MachineFileName(const SystemDmiRecord& record);

}  // namespace ql
