// glitter-host's commands, run from an argument list: what main does, callable with any
// streams so the command line can be driven without a process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace glitter::hostcli {

/// Runs the command in `args` (the arguments after the program name), writing results to `out`
/// and messages to `err`. Answers the exit status: 0 done, kExitFailure, kExitUsage.
int runHostCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace glitter::hostcli
