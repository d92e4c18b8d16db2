// The command-line front end, as a function so tests can run it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace telvora {

enum CliExit : int {
  kExitDone = 0,
  kExitUsage = 2,    // usage error or a bad settings file
  kExitNoReply = 3,  // no reply, or no usable port
  kExitRefused = 4,  // the unit refused the password
};

// Runs `telvora-cli` with `args` (without the program name).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace telvora
