// glitter_render's command line, in-process and with the program run as a process. Every
// refusal exits non-zero with the reason and leaves no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "apps/renderer/cli_options.h"
#include "tests/apps/program_test.h"

namespace glitter::renderer {
namespace {

using glitter::testing::ScratchFolder;

TEST(CliOptions, ParsesEveryOptionInBothForms) {
    const CliOptions defaults = parseCommandLine({});
    EXPECT_FALSE(defaults.showHelp);
    EXPECT_EQ(defaults.scene, "default");
    EXPECT_EQ(defaults.camera, CameraPreset::far);
    EXPECT_EQ(defaults.frames, 1);
    EXPECT_LT(defaults.clampIndirect, 0.0f);  // the scene's choice
    EXPECT_LT(defaults.lightSpread, 0.0f);
    EXPECT_TRUE(parseCommandLine({"--help"}).showHelp);

    CliOptions o = parseCommandLine(glitter::testing::words(
        "--threads 3 --spp=7 --size 320x200 --out=a/b.exr --camera close --frames=5 --scene "
        "model.obj --plugin lib.dlt --material=red.gsc --set num_flakes=5 "
        "--set=reflection_map=constant:1,0,0 --clamp-indirect=2.5 --light-spread 10"));
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.samplesPerPixel, 7);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 200);
    EXPECT_EQ(o.output, "a/b.exr");
    EXPECT_EQ(o.camera, CameraPreset::close);
    EXPECT_EQ(o.frames, 5);
    EXPECT_EQ(o.scene, "model.obj");
    EXPECT_EQ(o.material.materialFile, "red.gsc");
    ASSERT_EQ(o.material.settings.size(), 2u);
    EXPECT_EQ(o.material.settings[1].name, "reflection_map");  // split at the first '='
    EXPECT_EQ(o.material.settings[1].value, "constant:1,0,0");
    EXPECT_EQ(o.clampIndirect, 2.5f);
    EXPECT_EQ(o.lightSpread, 10.0f);
    const CliOptions off = parseCommandLine({"--clamp-indirect", "0", "--light-spread=0"});
    EXPECT_EQ(off.clampIndirect, 0.0f);
    EXPECT_EQ(off.lightSpread, 0.0f);
    EXPECT_TRUE(o.material.pluginPath.empty());
    resolvePluginPath(o);
    EXPECT_EQ(o.material.pluginPath, "lib.dlt");
    // Without --plugin, the library built with the program; "builtin" is the stand-in.
    CliOptions d = parseCommandLine({});
    resolvePluginPath(d);
    EXPECT_TRUE(std::filesystem::equivalent(d.material.pluginPath, GLITTER_PLUGIN_DLT));

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

TEST_F(CliProgram, HelpListsTheOptions) {
    const auto r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty());
    EXPECT_NE(r.out.find("--camera close|far"), std::string::npos);
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
    };
    for (const auto& [args, says] : runs) {
        const auto r = run(args + " --size 8x6 --out @/x.png");
        EXPECT_EQ(r.status, 0) << r.err;
        for (const std::string& said : says) {
            EXPECT_NE(r.out.find(said), std::string::npos) << said << " in " << r.out;
        }
    }
}

}  // namespace
}  // namespace glitter::renderer
