// The command lines of glitter_render and glitter-host, and damaged and hostile input refused
// with a message saying what and where while legal extremes go through; images written whole.
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <limits>
#include <sstream>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image_writer.h"
#include "apps/renderer/obj_loader.h"
#include "apps/renderer/plugin_material.h"
#include "apps/renderer/render_math.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/scene_file.h"
#include "tests/apps/program_test.h"
#include "tests/apps/render_support.h"

namespace glitter::renderer {
namespace {

using glitter::renderer::testing::errorOf;
using glitter::testing::ProgramRun;
using glitter::testing::readFile;
using glitter::testing::ScratchFolder;

namespace fs = std::filesystem;

template <typename T>
std::string bytesOf(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

struct Hostile : glitter::testing::ProgramTest {
    Hostile() : ProgramTest(GLITTER_HOST_EXE) {}

    // Replaces the one occurrence of `from` in the file.
    void patch(const std::string& name, const std::string& from, const std::string& to) {
        std::string bytes = readFile(folder / name);
        const std::size_t where = bytes.find(from);
        ASSERT_NE(where, std::string::npos);
        ASSERT_EQ(bytes.find(from, where + 1), std::string::npos);
        folder.write(name, bytes.replace(where, from.size(), to));
    }
};

// The options as words, the fields in their order.
std::string describe(const CliOptions& o) {
    std::ostringstream s;
    s << o.showHelp << " " << o.threads << " " << o.samplesPerPixel << " " << o.width << "x"
      << o.height << " " << o.output << " " << (o.camera == CameraPreset::close ? "close" : "far")
      << " " << o.frames << " " << o.clampIndirect << " " << o.lightSpread << " " << o.scene << " "
      << o.plugin << " " << o.material.materialFile;
    for (const auto& [name, value] : o.material.settings) s << " " << name << " " << value;
    return s.str();
}

TEST(CliOptions, ParsesEveryOptionInBothForms) {
    // A negative clamp and light spread leave them to the scene.
    EXPECT_EQ(describe(parseCommandLine({})), "0 0 0 640x360 glitter.png far 1 -1 -1 default  ");
    EXPECT_EQ(describe(parseCommandLine({"--help"})).front(), '1');
    CliOptions o = parseCommandLine(glitter::testing::words(
        "--threads 3 --spp=7 --size 320x200 --out=a/b.exr --camera close --frames=5 --scene "
        "model.obj --plugin lib.dlt --material=red.gsc --set num_flakes=5 "
        "--set=reflection_map=constant:1,0,0 --clamp-indirect=2.5 --light-spread 10"));
    // --set splits at the first '='.
    EXPECT_EQ(describe(o),
              "0 3 7 320x200 a/b.exr close 5 2.5 10 model.obj lib.dlt red.gsc num_flakes 5 "
              "reflection_map constant:1,0,0");
    EXPECT_EQ(describe(parseCommandLine({"--clamp-indirect", "0", "--light-spread=0"})),
              "0 0 0 640x360 glitter.png far 1 0 0 default  ");
}

struct CliProgram : glitter::testing::ProgramTest {
    CliProgram() : ProgramTest(GLITTER_RENDER_EXE) {}
};

TEST_F(CliProgram, RefusalsExitWithTheReasonAndLeaveNoFile) {
    folder.write("broken.obj", "v 0 0 0\nv 1 0 0\nf 1 2 9\n");
    folder.write("text.dlt", "not an ELF file\n");
    folder.write("damaged.gsc", "GLTSCENE and then nothing sound");
    std::filesystem::create_directory(folder.path / "dir.png");
    prefix = "--size 8x6 --spp 1 --out @/x.png ";
    expectRefusals({
        "2 --fast | unknown option '--fast'",
        "2 scene.obj | unexpected argument",
        "2 --spp | needs a value",
        "2 --threads=0 | --threads",
        "2 --frames 10000 | --frames",
        "2 --size 640 | WIDTHxHEIGHT",
        "2 --size 0x10 | width",
        "2 --size 16000x16000 | pixels",
        "2 --camera near | close or far",
        "2 --clamp-indirect -1 | --clamp-indirect",
        "2 --clamp-indirect inf | --clamp-indirect",
        "2 --light-spread 90 | --light-spread",
        "2 --light-spread 5x | --light-spread",
        "2 --set reflection_filter=0,1000.5,0 | takes a colour R,G,B of numbers from 0 to "
        "1000, not '0,1000.5,0'",
        "2 --out= | file name",
        "2 --help=yes | no value",
        "2 --set num_flake=5 | no parameter 'num_flake'; its parameters are: enable_flakes",
        "2 --set subdivs | NAME=VALUE",
        "2 --set =3 | NAME=VALUE",
        "2 --plugin builtin --set subdivs=2 | need the plug-in",
        "1 --scene @/broken.obj | line 3",
        "1 --out @/no/such/folder/x.png | does not exist",
        "1 --out @/x.bmp | unknown image format",
        "1 --out @/dir.png | directory",
        "1 --plugin @/none.dlt | does not exist",
        "1 --plugin @/text.dlt | cannot load plug-in library",
        "1 --plugin /lib/x86_64-linux-gnu/libm.so.6 | does not export",
        "1 --material @/none.gsc | cannot load material file",
        "1 --material @/damaged.gsc | cannot load material file",
    });
    for (const std::string count : {" 0", " -2", " abc", " 4x", " 1e3", " 99999999999", "="})
        expectRefusals({"2 --spp" + count + " | whole number"});
}

TEST_F(CliProgram, RunsSayWhatTheDefaultSceneChoseAndWriteNumberedFramesWhole) {
    folder.write("tri.obj",
                 "v -1 0 0\nv 1 0 0\nv 0 2 0.5\nvt 0 0\nvt 1 0\nvt 0.5 1\nf 1/1 2/2 3/3\n");
    // The scene leaves the command line's own choices alone.
    const std::pair<std::string, std::vector<std::string>> runs[] = {
        {"--out @/x.png",
         {"8 samples per pixel", "the scene chose: subdivs=3 flake_scale=3",
          "wrote " + (folder / "x.png")}},
        {"--spp 3 --set subdivs=1 --out @/x.png",
         {"3 samples per pixel", "the scene chose: flake_scale=3",
          "subdivs 1 (1 reflection samples per hit)"}},
        {"--plugin builtin --out @/x.png", {"built-in Beckmann stand-in"}},
        {"--scene @/tri.obj --camera close --frames 3 --spp 1 --threads 2 --out @/f.exr",
         {"wrote " + (folder / "f.0003.exr")}},
    };
    for (const auto& [args, says] : runs) {
        const ProgramRun r = run(args + " --size 8x6");
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
        for (const std::string& said : says)
            EXPECT_NE(r.out.find(said), std::string::npos) << said << " in " << r.out;
    }
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"f.0001.exr", "f.0002.exr", "f.0003.exr",
                                                        "tri.obj", "x.png"}));
}

TEST(ObjLoader, NumbersIndicesAndFacesAreCheckedAsWritten) {
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    std::string hugeFace = tri + "f";
    for (int i = 0; i < 200000; ++i) hugeFace += " 1";
    std::string triangles = tri;
    for (int i = 0; i < 4; ++i) triangles += "f 1 2 3\n";
    const struct {
        std::string text;
        std::string message;
        ObjLimits limits{};
    } cases[] = {
        {"v nan 0 0\n", "line 1: a vertex has 'nan', which is not a finite number"},
        {"\nv 0 inf 0\n", "line 2: a vertex has 'inf'"},
        {"v 0 0 abc\n", "'abc', which is not"},
        {"v 1e39 0 0\n", "'1e39', which is not"},  // finite as a double only
        {"v 0 0\n", "a vertex needs at least 3 numbers, not 2"},
        {"vt 0 nan\n", "a texture coordinate has 'nan'"},
        {"vn 0 -inf 1\n", "a normal has '-inf'"},
        {tri + "f 1 2 4294967299\n",
         "line 4: a face refers to vertex 4294967299, but the file has 3 vertices"},
        {tri + "f 1 2 3 4\n", "vertex 4, but the file has 3 vertices"},
        {tri + "f 0 1 2\n", "vertex 0, but"},
        {tri + "f -4 -3 -1\n", "vertex -4, but the file has only 3 before it"},
        {"f -1 -2 -3\n" + tri, "vertex -1, but the file has only 0 before it"},
        {tri + "f 1 2 99999999999999999999\n", "vertex 99999999999999999999, but"},
        {tri + "f -9223372036854775808 1 2\n", "vertex -9223372036854775808, but"},
        {tri + "vt 0 0\nf 1/1 2/2 3/1\n",
         "texture coordinate 2, but the file has 1 texture coordinates"},
        {tri + "vn 0 0 1\nf 1//1 2//-2 3//1\n", "normal -2, but the file has only 1 before"},
        {tri + "f 1/x 2 3\n", "has 'x' where a texture coordinate index belongs"},
        {tri + "f 1 2\n", "a face needs at least 3 corners, not 2"},
        {hugeFace, "line 4: a face has more than 256 corners"},
        {tri, "line 3: the mesh has more than 2 vertices; --mesh-limit raises the limit", {2}},
        {triangles, "line 7: the mesh has more than 3 triangles; --mesh-limit raises", {3}},
        {"# nothing\n", "OBJ file 'mesh.obj' holds no triangle"},
    };
    for (const auto& c : cases) {
        const std::string message =
            errorOf<SceneError>([&] { parseObj(c.text, "mesh.obj", c.limits); });
        EXPECT_EQ(message.rfind("OBJ file 'mesh.obj'", 0), 0u) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST(ObjLoader, FacesLoadAsWritten) {
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    const TriangleMesh bare = parseObj(tri + "v 5 5 5\nf -4 -3 -2\n", "m");
    EXPECT_EQ(bare.triangles[0], (std::array<std::uint32_t, 3>{0, 1, 2}));
    EXPECT_TRUE(bare.cornerTexCoords.empty() && bare.cornerNormals.empty());
    EXPECT_EQ(parseObj("f 2 3 1\n" + tri, "m").triangles[0],
              (std::array<std::uint32_t, 3>{1, 2, 0}));
    const TriangleMesh quad = parseObj(
        "v 0 0 0\nv 1 0 0\nv 1 0 -1\nv 0 0 -1\nvt 0 0\nvt 2 0\nvt 2 2\nvt 0 2\nvn 0 1 0\n"
        "f 1/1/1 2/2/1 3/3/1 4/4/1\n",
        "m");
    ASSERT_EQ(quad.triangleCount(), 2u);
    ASSERT_EQ(quad.cornerNormals.size(), 6u);
    // Whichever way the quad is split, the coordinates follow u = 2x and v = -2z.
    for (std::size_t t = 0; t < 2; ++t) {
        SurfaceHit hit;
        quad.fillHit(t, 0.25, 0.25, 1.0, hit);
        EXPECT_NEAR(hit.uvw.x, 2.0 * hit.point.x, 1e-6);
        EXPECT_NEAR(hit.uvw.y, -2.0 * hit.point.z, 1e-6);
        EXPECT_EQ(hit.shadingNormal, Vector(0, 1, 0));
        EXPECT_EQ(hit.geometricNormal, Vector(0, 1, 0));  // follows the file's normals
    }
    // An L of area 3 (and the same L turned the other way round): its triangles must cover it
    // exactly, each facing the way the L does.
    for (const char* face : {"f 1 2 3 4 5 6\n", "f 6 5 4 3 2 1\n"}) {
        const TriangleMesh mesh = parseObj(
            "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nv 1 2 0\nv 0 2 0\n" + std::string(face), "m");
        ASSERT_EQ(mesh.triangleCount(), 4u) << face;
        double area = 0.0;
        for (const auto& t : mesh.triangles) {
            const DVector& a = mesh.positions[t[0]];
            const double z = cross(mesh.positions[t[1]] - a, mesh.positions[t[2]] - a).z *
                             (face[2] == '1' ? 0.5 : -0.5);
            EXPECT_GT(z, 0.0) << face;
            area += z;
        }
        EXPECT_DOUBLE_EQ(area, 3.0) << face;
    }
}

TEST_F(Hostile, OnlyRegularFilesWithinTheLimitsAndLegalNamesAreTaken) {
    ASSERT_EQ(mkfifo((folder / "fifo.obj").c_str(), 0600), 0);
    std::ofstream(folder / "big.obj") << std::string(129, '#');
    ASSERT_EQ(mkfifo((folder / "fifo.scene").c_str(), 0600), 0);
    std::ofstream(folder / "big.scene") << "GLTSCENE";
    fs::resize_file(folder / "big.scene", host::kMaxSceneFileBytes + 1);  // sparse

    expectRefusals({
        "1 show PLUGIN --scene @/fifo.scene | fifo.scene is not a regular file",
        "1 show PLUGIN --scene @/big.scene | bytes, more than a stored scene may have (67108864)",
    });

    // Long legal output names are written, too long ones refused before rendering.
    const std::string longest = folder / std::string(251, 'x') + ".png";  // 255 bytes, the most
    const std::string tooLong = folder / std::string(252, 'x') + ".png";
    EXPECT_NO_THROW(checkImagePath(longest));
    writeImage(Image(4, 3), longest);
    EXPECT_EQ(errorOf<ImageWriteError>([&] { checkImagePath(tooLong); }),
              "cannot write '" + tooLong + "': File name too long");
    const std::string scene = std::string(249, 's') + ".scene";
    ok("new PLUGIN --out @/" + scene);
    // No temporary file left behind.
    EXPECT_EQ(folder.files(),
              (std::vector<std::string>{"big.obj", "big.scene", "fifo.obj", "fifo.scene", scene,
                                        fs::path(longest).filename()}));

    program = GLITTER_RENDER_EXE;
    prefix = "--size 8x6 --spp 1 --out @/x.png --scene ";
    expectRefusals({
        "1 @/fifo.obj | fifo.obj' is not a regular file",
        "1 /dev/zero | OBJ file '/dev/zero' is not a regular file",
        "1 @/ | /' is a directory",
        "1 @/missing.obj | missing.obj': No such file or directory",
        "1 @/big.obj --mesh-limit 1 | big.obj' has 129 bytes, more than 128; --mesh-limit raises",
    });
}

TEST_F(Hostile, StoredValuesOutsideTheirRangesAreClampedOrRefusedAndKeysLimited) {
    ok("new PLUGIN --out @/s.scene --set reflection_filter=0.25,0.5,0.75 "
       "--key hilight_glossiness@-2147483647=0.25 --key hilight_glossiness@12345=0.5 "
       "--key hilight_glossiness@2147483646=0.75");
    // Colours load clamped into their range and render cleanly; shown key times type back.
    patch("s.scene", bytesOf(0.25f) + bytesOf(0.5f) + bytesOf(0.75f),
          bytesOf(-3e38f) + bytesOf(3e38f) + bytesOf(0.75f));
    const std::string shown = ok("show PLUGIN --scene @/s.scene");
    EXPECT_NE(shown.find(" 0,1000,0.75 "), std::string::npos) << shown;
    EXPECT_NE(shown.find("@-2147483647=0.25 @12345=0.5 @2147483646=0.75"), std::string::npos);
    const auto r =
        run("--material @/s.scene --size 16x9 --spp 1 --out @/c.png", GLITTER_RENDER_EXE);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("non-finite"), std::string::npos) << r.err;
    // Keys outside the time line are refused.
    int previous = 12345;
    for (const int extreme : {INT_MIN, INT_MAX}) {
        patch("s.scene", bytesOf(previous) + bytesOf(0.5f), bytesOf(extreme) + bytesOf(0.5f));
        previous = extreme;
        expectRefusals({"1 show PLUGIN --scene @/s.scene | has a key at time " +
                        std::to_string(extreme) +
                        ", outside the time line (-2147483647 to 2147483646)"});
    }

    // The key limit says that it refused.
    const std::string scene = folder / "full.scene";
    {
        PluginLibrary library(GLITTER_PLUGIN_DLT);
        PluginMaterial material(library);
        host::IParamBlock2* block = material.material().GetParamBlock(0);
        for (int t = 0; t < host::IParamBlock2::kMaxKeys; ++t)
            ASSERT_TRUE(block->SetKey(0, t, 0.5f));  // hilight_glossiness
        host::Scene saved;
        saved.AddMaterial(&material.material());
        std::string error;
        ASSERT_EQ(host::SaveSceneFile(saved, scene, error), host::IO_OK) << error;
    }
    expectRefusals(
        {"1 edit PLUGIN --scene @/full.scene --key hilight_glossiness@100000=0.5 | "
         "hilight_glossiness: no key added at 100000: the parameter has 100000 keys, "
         "the limit"});
}

TEST(ImageWriter, ExrIsExactPngToneMappedBothReplaceWholeAndAFullDiskNamesTheTarget) {
    Image image(64, 64);  // noise, which no encoder squeezes into 200 bytes
    std::uint32_t state = 1;
    for (int i = 0; i < 64 * 64; ++i) {
        state = state * 1664525u + 1013904223u;
        image.at(i % 64, i / 64) =
            Color(static_cast<float>(state >> 8) * 0x1p-24f, 0.5f, (state & 255u) * 0.15f);
    }
    const ScratchFolder folder;
    const std::string exr = folder / "out.exr";
    const std::string png = folder.write("out.PNG", std::string(100000, 'x'));
    writeImage(image, exr);
    writeImage(image, png);
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"out.PNG", "out.exr"}));  // no temporary
    // The private temporary file's mode does not stick to the image.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(exr).permissions(), static_cast<fs::perms>(0666 & ~mask));

    Imf::InputFile file(exr.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    Image read(window.max.x - window.min.x + 1, window.max.y - window.min.y + 1);
    ASSERT_EQ(std::pair(read.width(), read.height()), std::pair(64, 64));
    Imf::FrameBuffer frame;
    for (int c = 0; c < 3; ++c) {
        frame.insert(std::string(1, "RGB"[c]),
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(&read.at(0, 0).r + c),
                                sizeof(Color), 64 * sizeof(Color)));
    }
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);
    EXPECT_TRUE(glitter::renderer::testing::sameBits(read, image));

    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&info, png.c_str()), 0) << info.message;
    ASSERT_EQ(std::pair(info.width, info.height), std::pair(64u, 64u));
    info.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(info));
    ASSERT_NE(png_image_finish_read(&info, nullptr, bytes.data(), 0, nullptr), 0);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], toneMapToSrgb8((&image.pixels()[i / 3].r)[i % 3])) << i;

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;  // a write past 200 bytes fails with EFBIG, as on a full disk
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (const char* name : {"full.png", "full.exr"}) {
        const std::string message =
            errorOf<ImageWriteError>([&] { writeImage(image, folder / name); });
        EXPECT_TRUE(message.starts_with("cannot write '" + (folder / name) + "': ")) << message;
        EXPECT_EQ(message.find(".glitter"), std::string::npos) << message;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"out.PNG", "out.exr"}));

    // The PNG's tone map: sRGB below the knee and a soft shoulder above.
    // Mid grey 0.18 is 0.4614 in sRGB, 0.5 is 0.7354.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, int> tones[] = {{0.0f, 0},    {-1.0f, 0},  {nan, 0},     {inf, 255},
                                           {0.18f, 118}, {0.5f, 188}, {100.0f, 255}};
    for (const auto& [value, byte] : tones) EXPECT_EQ(toneMapToSrgb8(value), byte) << value;
    EXPECT_LT(toneMapToSrgb8(1.0f), 250);  // the shoulder leaves room above white
    std::uint8_t previous = 0;
    for (float v = 0.0f; v < 8.0f; v += 0.01f) {
        ASSERT_GE(toneMapToSrgb8(v), previous) << v;
        previous = toneMapToSrgb8(v);
    }
}

}  // namespace
}  // namespace glitter::renderer
