// Writing a file so that it is either wholly replaced or left as it was: the bytes go to a new
// temporary file in the same folder, which is then renamed over the target.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace glitter::hostcli {

/// Writes `bytes` to `path`. An existing file keeps its permissions; a new one gets those of
/// any new file (0666 less the umask). Throws CliError, leaving no temporary file behind.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace glitter::hostcli
