#include "apps/host/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "apps/host/cli_error.h"

namespace glitter::hostcli {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& path, int error) {
    throw CliError("cannot write '" + path + "': " + std::strerror(error));
}

mode_t modeFor(const std::string& path) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
    // umask can only be read by setting it; this program runs one thread.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    const fs::path target(path);
    if (target.filename().empty()) throw CliError("cannot write '" + path + "': not a file name");
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    if (fs::is_directory(target, ec)) throw CliError("cannot write '" + path + "': it is a folder");

    // mkstemp picks a name no other process holds, in the target's folder, so the rename below
    // stays on one file system and is atomic. The name is short and of fixed length, so it fits
    // wherever the target's name fits.
    std::string pattern = (folder / ".glitter-host-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) fail(path, errno);
    const std::string temporary(name.data());

    int error = 0;
    if (!writeAll(fd, bytes) || fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && chmod(temporary.c_str(), modeFor(path)) != 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        std::remove(temporary.c_str());
        fail(path, error);
    }
}

}  // namespace glitter::hostcli
