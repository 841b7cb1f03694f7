// Writes a chunked stored scene: objects open a chunk, write data or nested chunks into it and
// close it. Errors are sticky: after the first one every call answers IO_ERROR.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/chunk_format.h"
#include "platform/host/reference_maker.h"
#include "platform/host/wstr.h"

namespace host {

class ISave {
public:
    /// Chunks are appended after `prefix` (a file's magic, for instance).
    explicit ISave(std::vector<std::uint8_t> prefix = {});

    /// Opens a chunk inside the current one (or at the top level).
    IOResult BeginChunk(USHORT id);
    /// Closes the innermost chunk. A chunk that received nested chunks is a container; any other
    /// is a data chunk. Writing data into a container, or a chunk into a data chunk, fails.
    IOResult EndChunk();
    /// Appends raw bytes to the innermost chunk; `nwrit` receives the count written.
    IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit);

    // Little-endian helpers.
    IOResult WriteU8(std::uint8_t v);
    IOResult WriteU16(std::uint16_t v);
    IOResult WriteU32(std::uint32_t v);
    IOResult WriteI32(std::int32_t v);
    IOResult WriteFloat(float v);
    /// The text's UTF-16 code units, without a terminator (the chunk length gives the count).
    IOResult WriteWString(const WStr& text);

    IOResult Fail(const std::string& message);
    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorMessage() const { return error_; }
    /// Open chunks.
    int Depth() const { return static_cast<int>(open_.size()); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::vector<std::uint8_t> TakeBytes() { return std::move(bytes_); }

private:
    struct OpenChunk {
        std::size_t headerPos = 0;
        USHORT id = 0;
        bool hasChunks = false;
        bool hasData = false;
    };

    std::vector<std::uint8_t> bytes_;
    std::vector<OpenChunk> open_;
    std::string error_;
};

}  // namespace host
