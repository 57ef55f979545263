// romtool: builds and inspects ROM images with the BIOS's signature blocks, and makes simulated
// machines from them.
#include <iostream>
#include <string>
#include <vector>

#include "tools/romtool/romtool_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return ql::romtool::RunRomtool(args, std::cout, std::cerr);
}
