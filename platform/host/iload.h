// Reads a chunked stored scene from memory. Every length is checked against what its parent
// chunk has left before anything is read or allocated, nesting is limited, and errors are
// sticky: after the first one every call answers IO_ERROR and ErrorMessage says what failed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/host/chunk_format.h"
#include "platform/host/reference_maker.h"
#include "platform/host/wstr.h"

namespace host {

class ClassDirectory;

class ILoad {
public:
    /// `classes` is where loaders look up classes by id (parameter blocks find their owner's
    /// description through it); it may be null when nothing needs it.
    explicit ILoad(std::span<const std::uint8_t> bytes, const ClassDirectory* classes = nullptr);

    /// Opens the next chunk of the current container: IO_OK, IO_END when the container has no
    /// chunk left (an empty data chunk also answers IO_END), IO_ERROR on a malformed chunk.
    IOResult OpenChunk();
    /// Skips what is left of the innermost chunk and closes it.
    IOResult CloseChunk();
    USHORT CurChunkID() const;
    ChunkKind CurChunkType() const;
    ULONG CurChunkLength() const;
    /// Bytes not yet read in the innermost chunk.
    ULONG RemainingInChunk() const;
    int Depth() const { return static_cast<int>(open_.size()); }

    /// Reads exactly `nbytes` from the innermost data chunk; fails (reading nothing) if fewer
    /// remain.
    IOResult Read(void* buf, ULONG nbytes, ULONG* nread);
    IOResult ReadU8(std::uint8_t& v);
    IOResult ReadU16(std::uint16_t& v);
    IOResult ReadU32(std::uint32_t& v);
    IOResult ReadI32(std::int32_t& v);
    /// The raw value, which may be NaN or infinite: callers validate it.
    IOResult ReadFloat(float& v);
    /// The rest of the chunk as UTF-16 units; an odd byte count is an error.
    IOResult ReadWStringRest(WStr& text);

    /// Records the first error and answers IO_ERROR.
    IOResult Fail(const std::string& message);
    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorMessage() const { return error_; }

    const ClassDirectory* GetClassDirectory() const { return classes_; }

private:
    struct Level {
        std::size_t begin = 0;
        std::size_t end = 0;
        USHORT id = 0;
        ChunkKind kind = ChunkKind::container;
    };
    std::string where() const;

    std::span<const std::uint8_t> bytes_;
    const ClassDirectory* classes_ = nullptr;
    std::size_t pos_ = 0;
    std::vector<Level> open_;
    std::string error_;
};

}  // namespace host
