// The commands of romtool, callable in-process so tests can run them: make, show, machine, demo.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files.h"

namespace ql::romtool {

// Runs one romtool command line (without the program name); machine folders are written through
// `files`. Answers the exit status: 0 done, 1 a file could not be read or written, 2 a bad command
// or argument (named in the message).
int RunRomtool(Files& files, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

}  // namespace ql::romtool
