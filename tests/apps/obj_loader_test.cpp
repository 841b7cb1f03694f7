#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "apps/renderer/obj_loader.h"

namespace glitter::renderer {
namespace {

namespace fs = std::filesystem;

class ObjLoader : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::path(::testing::TempDir()) /
                 ("obj_loader_" + std::string(
                                      ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path folder;
};

TEST_F(ObjLoader, ReadsQuadsWithCoordinatesAndNormals) {
    const std::string path = write("quad.obj",
                                   "# a unit quad\n"
                                   "v 0 0 0\nv 1 0 0\nv 1 0 -1\nv 0 0 -1\n"
                                   "vt 0 0\nvt 2 0\nvt 2 2\nvt 0 2\n"
                                   "vn 0 1 0\n"
                                   "f 1/1/1 2/2/1 3/3/1 4/4/1\n");
    const TriangleMesh mesh = loadObj(path);
    ASSERT_EQ(mesh.triangleCount(), 2u);
    ASSERT_EQ(mesh.positions.size(), 4u);
    ASSERT_EQ(mesh.cornerTexCoords.size(), 6u);
    ASSERT_EQ(mesh.cornerNormals.size(), 6u);
    // Whichever way the quad is split, the coordinates follow u = 2x and v = -2z.
    for (std::size_t t = 0; t < 2; ++t) {
        SurfaceHit hit;
        mesh.fillHit(t, 0.25, 0.25, 1.0, hit);
        EXPECT_NEAR(hit.uvw.x, 2.0 * hit.point.x, 1e-6);
        EXPECT_NEAR(hit.uvw.y, -2.0 * hit.point.z, 1e-6);
        EXPECT_NEAR(hit.uvwBasis.dPdu.x, 0.5f, 1e-6f);
        EXPECT_NEAR(length(hit.uvwBasis.dPdu), 0.5f, 1e-6f);
        EXPECT_NEAR(hit.uvwBasis.dPdv.z, -0.5f, 1e-6f);
        EXPECT_NEAR(length(hit.uvwBasis.dPdv), 0.5f, 1e-6f);
        EXPECT_EQ(hit.shadingNormal, Vector(0, 1, 0));
        EXPECT_EQ(hit.geometricNormal, Vector(0, 1, 0));  // follows the file's normals
    }
}

TEST_F(ObjLoader, FilesWithoutCoordinatesOrNormalsLoad) {
    const TriangleMesh mesh = loadObj(write("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    EXPECT_EQ(mesh.triangleCount(), 1u);
    EXPECT_TRUE(mesh.cornerTexCoords.empty());
    EXPECT_TRUE(mesh.cornerNormals.empty());
}

}  // namespace
}  // namespace glitter::renderer
