#include "apps/renderer/obj_loader.h"

#include <tiny_obj_loader.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace glitter::renderer {

namespace {

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

bool allFinite(const std::vector<tinyobj::real_t>& values) {
    for (tinyobj::real_t v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

}  // namespace

TriangleMesh loadObj(const std::string& path) {
    const std::string where = "OBJ file '" + path + "'";
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw SceneError(where + " is a directory");
    }
    if (!std::ifstream(path).good()) {
        throw SceneError("cannot read " + where);
    }
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    std::string message;
    // Material libraries are not read: the renderer assigns its own materials.
    const std::string noMaterialFolder = "/nonexistent-material-folder/";
    const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &message,
                                     path.c_str(), noMaterialFolder.c_str(), true);
    if (!ok) {
        throw SceneError("cannot read " + where + ": " + firstLine(message));
    }
    if (!allFinite(attrib.vertices) || !allFinite(attrib.texcoords) ||
        !allFinite(attrib.normals)) {
        throw SceneError(where + " is malformed: it has a non-finite number");
    }
    const std::size_t vertexCount = attrib.vertices.size() / 3;
    const std::size_t texCount = attrib.texcoords.size() / 2;
    const std::size_t normalCount = attrib.normals.size() / 3;

    TriangleMesh mesh;
    mesh.positions.reserve(vertexCount);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        mesh.positions.emplace_back(attrib.vertices[3 * i], attrib.vertices[3 * i + 1],
                                    attrib.vertices[3 * i + 2]);
    }
    std::vector<Vector> normals;
    std::vector<TexCoord> texCoords;
    bool anyNormal = false;
    bool anyTexCoord = false;
    std::vector<bool> cornerHasNormal;
    std::vector<bool> triangleHasTexCoords;
    for (const tinyobj::shape_t& shape : shapes) {
        const auto& indices = shape.mesh.indices;
        std::size_t offset = 0;
        for (unsigned char faceSize : shape.mesh.num_face_vertices) {
            if (faceSize != 3 || offset + 3 > indices.size()) {
                throw SceneError(where + " is malformed: a face could not be triangulated");
            }
            std::array<std::uint32_t, 3> tri{};
            bool texOk = true;
            for (int k = 0; k < 3; ++k) {
                const tinyobj::index_t& index = indices[offset + static_cast<std::size_t>(k)];
                if (index.vertex_index < 0 ||
                    static_cast<std::size_t>(index.vertex_index) >= vertexCount) {
                    throw SceneError(where + " is malformed: a face refers to vertex " +
                                     std::to_string(index.vertex_index + 1) + " of " +
                                     std::to_string(vertexCount));
                }
                if (index.texcoord_index >= 0 &&
                    static_cast<std::size_t>(index.texcoord_index) >= texCount) {
                    throw SceneError(where +
                                     " is malformed: a face refers to a missing texture "
                                     "coordinate");
                }
                if (index.normal_index >= 0 &&
                    static_cast<std::size_t>(index.normal_index) >= normalCount) {
                    throw SceneError(where + " is malformed: a face refers to a missing normal");
                }
                tri[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(index.vertex_index);
                if (index.texcoord_index >= 0) {
                    const auto t = static_cast<std::size_t>(index.texcoord_index);
                    texCoords.push_back({attrib.texcoords[2 * t], attrib.texcoords[2 * t + 1]});
                } else {
                    texCoords.push_back({});
                    texOk = false;
                }
                if (index.normal_index >= 0) {
                    const auto n = static_cast<std::size_t>(index.normal_index);
                    normals.emplace_back(attrib.normals[3 * n], attrib.normals[3 * n + 1],
                                         attrib.normals[3 * n + 2]);
                    anyNormal = true;
                } else {
                    normals.emplace_back();
                }
            }
            anyTexCoord = anyTexCoord || texOk;
            triangleHasTexCoords.push_back(texOk);
            mesh.triangles.push_back(tri);
            offset += 3;
        }
    }
    if (mesh.triangles.empty()) {
        throw SceneError(where + " holds no triangle");
    }
    if (anyTexCoord) {
        // Triangles without coordinates get the placeholder ones, as when the file has none.
        static constexpr TexCoord kPlaceholder[3] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
        for (std::size_t t = 0; t < triangleHasTexCoords.size(); ++t) {
            if (!triangleHasTexCoords[t]) {
                for (std::size_t k = 0; k < 3; ++k) {
                    texCoords[3 * t + k] = kPlaceholder[k];
                }
            }
        }
        mesh.cornerTexCoords = std::move(texCoords);
    }
    if (anyNormal) {
        mesh.cornerNormals = std::move(normals);
    }
    return mesh;
}

}  // namespace glitter::renderer
