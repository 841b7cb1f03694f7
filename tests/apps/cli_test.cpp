// glitter_render's command line, in-process and with the program run as a process. Every
// refusal exits non-zero with the reason and leaves no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "apps/renderer/cli_options.h"
#include "tests/apps/program_test.h"

namespace glitter::renderer {
namespace {

using glitter::testing::ScratchFolder;

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

    // Frames are numbered before the extension.
    EXPECT_EQ(frameOutputPath("out/render.png", 0, 1), "out/render.png");
    EXPECT_EQ(frameOutputPath("out/render.png", 0, 3), "out/render.0001.png");
    EXPECT_EQ(frameOutputPath("render.exr", 11, 12), "render.0012.exr");
}

class CliProgram : public glitter::testing::ProgramTest {
  protected:
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
        "2 --spp 0 | whole number",
        "2 --spp -2 | whole number",
        "2 --spp abc | whole number",
        "2 --spp 4x | whole number",
        "2 --spp 1e3 | whole number",
        "2 --spp 99999999999 | whole number",
        "2 --spp= | whole number",
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
        "1 --scene @/missing.obj | cannot read OBJ file",
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
}

TEST_F(CliProgram, RendersNumberedFramesWhole) {
    folder.write("tri.obj",
                 "v -1 0 0\nv 1 0 0\nv 0 2 0.5\nvt 0 0\nvt 1 0\nvt 0.5 1\nf 1/1 2/2 3/3\n");
    const auto r =
        run("--scene @/tri.obj --camera close --frames 3 --size 12x8 --spp 1 --threads 2 "
            "--out @/f.exr");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(folder.files(),
              (std::vector<std::string>{"f.0001.exr", "f.0002.exr", "f.0003.exr", "tri.obj"}));
    EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
}

TEST_F(CliProgram, DefaultSceneSaysWhatItChoseAndLeavesTheCommandLinesChoicesAlone) {
    const std::pair<std::string, std::vector<std::string>> runs[] = {
        {"",
         {"8 samples per pixel", "the scene chose: subdivs=3 flake_scale=3",
          "wrote " + (folder / "x.png")}},
        {"--spp 3 --set subdivs=1",
         {"3 samples per pixel", "the scene chose: flake_scale=3",
          "subdivs 1 (1 reflection samples per hit)"}},
        {"--plugin builtin", {"built-in Beckmann stand-in"}},
        {"--help", {"--camera close|far"}},
    };
    for (const auto& [args, says] : runs) {
        const std::string out = ok(args + " --size 8x6 --out @/x.png");
        for (const std::string& said : says) {
            EXPECT_NE(out.find(said), std::string::npos) << said << " in " << out;
        }
    }
}

}  // namespace
}  // namespace glitter::renderer
