// The two ways glitter-host refuses to go on: a command line it cannot make sense of (exit 2,
// with a hint to --help), and a request it cannot carry out (exit 1): a bad plug-in, parameter,
// value or file.
#pragma once

#include <stdexcept>

namespace glitter::hostcli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class CliError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class UsageError : public CliError {
  public:
    using CliError::CliError;
};

}  // namespace glitter::hostcli
