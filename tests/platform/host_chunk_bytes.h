// The chunk tree of stored-scene bytes, read directly so tests can find and damage what a file
// holds. A chunk header is an id (2 bytes), a kind (1 byte, 1 for a container), a reserved byte
// and the payload's length (4 bytes), all little-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace host::testing {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t readU32(const Bytes& b, std::size_t pos) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b.at(pos + i)) << (8 * i);
    return v;
}

inline void writeU32(Bytes& b, std::size_t pos, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(pos + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

struct RawChunk {
    std::size_t header = 0;
    std::uint16_t id = 0;
    bool container = false;
    std::uint32_t length = 0;
    std::size_t payload() const { return header + 8; }
    std::size_t end() const { return payload() + length; }
};

/// The chunks that follow one another in [begin, end).
inline std::vector<RawChunk> children(const Bytes& b, std::size_t begin, std::size_t end) {
    std::vector<RawChunk> out;
    for (std::size_t pos = begin; pos + 8 <= end; pos = out.back().end()) {
        const auto id = static_cast<std::uint16_t>(b[pos] | b[pos + 1] << 8);
        out.push_back({pos, id, b[pos + 2] == 1, readU32(b, pos + 4)});
    }
    return out;
}

}  // namespace host::testing
