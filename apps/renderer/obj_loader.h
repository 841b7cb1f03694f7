// Reads a Wavefront OBJ file into one triangle mesh (all groups together, polygons
// triangulated), with its texture coordinates and normals where the file has them.
#pragma once

#include <stdexcept>
#include <string>

#include "apps/renderer/triangle_mesh.h"

namespace glitter::renderer {

class SceneError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Throws SceneError with a message naming the file when it cannot be read, holds no
/// triangle, refers to vertices, coordinates or normals that do not exist, or has
/// non-finite numbers.
TriangleMesh loadObj(const std::string& path);

}  // namespace glitter::renderer
