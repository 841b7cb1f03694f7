// Reads a Wavefront OBJ file into one triangle mesh (all groups together, polygons
// triangulated), with its texture coordinates and normals where the file has them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "apps/renderer/triangle_mesh.h"

namespace glitter::renderer {

class SceneError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// How large a mesh may be. One number sets them all (`--mesh-limit`): memory grows with the
/// vertex and triangle counts, and a file holding that many lines stays well within
/// kBytesPerElement bytes for each of them.
struct ObjLimits {
    static constexpr std::uint64_t kDefaultElements = 8'000'000;
    static constexpr std::uint64_t kBytesPerElement = 128;
    /// Corners of one face. Concave faces are cut into triangles in time that grows faster
    /// than their corner count, so one huge face could stall the load.
    static constexpr std::size_t kMaxFaceCorners = 256;

    /// The most positions, texture coordinates, normals (each) and triangles.
    std::uint64_t maxElements = kDefaultElements;
    std::uint64_t maxFileBytes() const { return maxElements * kBytesPerElement; }
};

/// Throws SceneError with a message naming the file (and the line, for what is wrong inside
/// it) when the path is not a readable regular file, is larger than `limits` allow, holds no
/// triangle, a number that is not finite, an index to a vertex, coordinate or normal that
/// does not exist, or a face of fewer than 3 or more than kMaxFaceCorners corners.
TriangleMesh loadObj(const std::string& path, const ObjLimits& limits = {});

/// The same for the text of a file; `path` only names it in messages.
TriangleMesh parseObj(std::string_view text, const std::string& path,
                      const ObjLimits& limits = {});

}  // namespace glitter::renderer
