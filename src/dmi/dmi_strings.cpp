#include "dmi/dmi_strings.h"

namespace ql {

DmiStringsState DmiStrings;

}  // namespace ql
