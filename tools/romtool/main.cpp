// romtool: builds and inspects ROM images with the BIOS's signature blocks, and makes simulated
// machines from them.
#include <iostream>
#include <string>
#include <vector>

#include "tools/romtool/romtool_commands.h"
#ifdef _WIN32
#include "platform/win32/win32_files.h"
using HostFiles = ql::Win32Files;
#else
#include "platform/posix/posix_files.h"
using HostFiles = ql::PosixFiles;
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  HostFiles files;
  return ql::romtool::RunRomtool(files, args, std::cout, std::cerr);
}
