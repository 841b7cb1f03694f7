// The stored-scene container format shared by ISave and ILoad: a chunk is an 8-byte header
// (id, kind, reserved byte, payload length, little-endian) followed by its payload, which is
// either raw data or a sequence of chunks. docs/scene-format.md describes the whole file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace host {

enum class ChunkKind : std::uint8_t {
    data = 0,
    container = 1,
};

inline constexpr std::size_t kChunkHeaderSize = 8;
/// Deepest nesting a scene may use, counting the scene's own chunks.
inline constexpr int kMaxChunkDepth = 16;
inline constexpr std::uint32_t kMaxChunkPayload = 0x7fffffff;

/// First eight bytes of a stored scene.
inline constexpr std::array<std::uint8_t, 8> kSceneMagic = {'G', 'L', 'T', 'S', 'C', 'E', 'N', 'E'};
inline constexpr std::uint32_t kSceneFormatVersion = 1;

}  // namespace host
