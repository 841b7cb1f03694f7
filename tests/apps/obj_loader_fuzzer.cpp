// libFuzzer target for the OBJ reader: any text gives a sound mesh in the limits or names the file.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "apps/renderer/obj_loader.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "OBJ reader fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glitter::renderer;
    ObjLimits limits;
    limits.maxElements = 4096;  // small, so the fuzzer reaches the limits too
    TriangleMesh mesh;
    try {
        mesh = parseObj(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.obj",
                        limits);
    } catch (const SceneError& e) {
        if (std::string_view(e.what()).rfind("OBJ file 'fuzz.obj'", 0) != 0)
            fail("a refusal that does not name the file");
        return 0;
    }
    const std::size_t n = mesh.triangleCount();
    if (n == 0 || n > limits.maxElements || mesh.positions.size() > limits.maxElements)
        fail("a mesh outside the limits");
    if ((!mesh.cornerNormals.empty() && mesh.cornerNormals.size() != 3 * n) ||
        (!mesh.cornerTexCoords.empty() && mesh.cornerTexCoords.size() != 3 * n)) {
        fail("corner attributes that do not match the triangles");
    }
    for (const auto& triangle : mesh.triangles)
        for (std::uint32_t index : triangle)
            if (index >= mesh.positions.size()) fail("an index past the positions");
    for (const auto& p : mesh.positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            fail("a position that is not finite");
    }
    for (const auto& c : mesh.cornerTexCoords)
        if (!std::isfinite(c.u) || !std::isfinite(c.v)) fail("a coordinate that is not finite");
    return 0;
}
