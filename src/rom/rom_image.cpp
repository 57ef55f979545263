#include "rom/rom_image.h"

namespace ql {

RomImageState RomImage;

}  // namespace ql
