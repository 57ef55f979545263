#include "bios/bios_interface.h"

namespace ql {

BiosInterfaceState BiosInterface;

}  // namespace ql
