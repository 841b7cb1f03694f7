#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "apps/renderer/cli_options.h"

namespace glitter::renderer {
namespace {

namespace fs = std::filesystem;

std::string usageErrorOf(const std::vector<std::string>& args) {
    try {
        parseCommandLine(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(CliOptions, ParsesEveryOptionInBothForms) {
    const CliOptions defaults = parseCommandLine({});
    EXPECT_FALSE(defaults.showHelp);
    EXPECT_EQ(defaults.scene, "default");
    EXPECT_EQ(defaults.camera, CameraPreset::far);
    EXPECT_EQ(defaults.frames, 1);

    const CliOptions o =
        parseCommandLine({"--threads", "3", "--spp=7", "--size", "320x200", "--out=a/b.exr",
                          "--camera", "close", "--frames=5", "--scene", "model.obj"});
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.samplesPerPixel, 7);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 200);
    EXPECT_EQ(o.output, "a/b.exr");
    EXPECT_EQ(o.camera, CameraPreset::close);
    EXPECT_EQ(o.frames, 5);
    EXPECT_EQ(o.scene, "model.obj");
    EXPECT_TRUE(o.material.pluginPath.empty());
    EXPECT_TRUE(parseCommandLine({"--help"}).showHelp);

    CliOptions m = parseCommandLine({"--plugin", "lib.dlt", "--material=red.gsc", "--set",
                                     "num_flakes=5", "--set=reflection_map=constant:1,0,0"});
    EXPECT_EQ(m.plugin, "lib.dlt");
    EXPECT_EQ(m.material.materialFile, "red.gsc");
    ASSERT_EQ(m.material.settings.size(), 2u);
    EXPECT_EQ(m.material.settings[1].name, "reflection_map");
    EXPECT_EQ(m.material.settings[1].value, "constant:1,0,0");
    resolvePluginPath(m);
    EXPECT_EQ(m.material.pluginPath, "lib.dlt");
    // Without --plugin, the library built with the program; "builtin" is the stand-in.
    CliOptions d = parseCommandLine({});
    resolvePluginPath(d);
    EXPECT_TRUE(fs::equivalent(d.material.pluginPath, GLITTER_PLUGIN_DLT));
    CliOptions b = parseCommandLine({"--plugin", "builtin"});
    resolvePluginPath(b);
    EXPECT_TRUE(b.material.pluginPath.empty());
}

TEST(CliOptions, RejectsBadInputWithTheReason) {
    EXPECT_NE(usageErrorOf({"--fast"}).find("unknown option '--fast'"), std::string::npos);
    EXPECT_NE(usageErrorOf({"scene.obj"}).find("unexpected argument"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--spp"}).find("needs a value"), std::string::npos);
    for (const char* bad : {"0", "-2", "abc", "4x", "1e3", "99999999999", ""}) {
        EXPECT_NE(usageErrorOf({"--spp", bad}).find("whole number"), std::string::npos) << bad;
    }
    EXPECT_NE(usageErrorOf({"--threads=0"}).find("--threads"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--frames", "10000"}).find("--frames"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--size", "640"}).find("WIDTHxHEIGHT"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--size", "0x10"}).find("width"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--size", "16000x16000"}).find("pixels"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--camera", "near"}).find("close or far"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--out="}).find("file name"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--help=yes"}).find("no value"), std::string::npos);
}

TEST(CliOptions, FramesAreNumberedBeforeTheExtension) {
    EXPECT_EQ(frameOutputPath("out/render.png", 0, 1), "out/render.png");
    EXPECT_EQ(frameOutputPath("out/render.png", 0, 3), "out/render.0001.png");
    EXPECT_EQ(frameOutputPath("render.exr", 11, 12), "render.0012.exr");
}

// The program itself, run as a process.
class CliProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        folder =
            fs::path(::testing::TempDir()) /
            ("cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Exit status of glitter_render with `args`; its standard output lands in `printed`, its
    // standard error in `errors`.
    int run(const std::string& args) {
        const fs::path errFile = folder.parent_path() / (folder.filename().string() + ".err");
        const fs::path outFile = folder.parent_path() / (folder.filename().string() + ".out");
        const std::string command = std::string(GLITTER_RENDER_EXE) + " " + args + " 2>" +
                                    errFile.string() + " >" + outFile.string() + " </dev/null";
        const int status = std::system(command.c_str());
        errors = slurp(errFile);
        printed = slurp(outFile);
        fs::remove(errFile);
        fs::remove(outFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string slurp(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static int occurrences(const std::string& text, const std::string& what) {
        int count = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string out(const std::string& name) const { return (folder / name).string(); }

    fs::path folder;
    std::string errors;
    std::string printed;
};

TEST_F(CliProgram, BadInputExitsNonZeroAndLeavesNoFile) {
    const std::string tiny = " --size 8x6 --spp 1 --out " + out("x.png");
    EXPECT_EQ(run("--bogus" + tiny), 2);
    EXPECT_NE(errors.find("unknown option '--bogus'"), std::string::npos) << errors;

    EXPECT_EQ(run("--scene " + out("missing.obj") + tiny), 1);
    EXPECT_NE(errors.find("cannot read OBJ file"), std::string::npos) << errors;

    std::ofstream(out("broken.obj")) << "v 0 0 0\nv 1 0 0\nf 1 2 9\n";
    EXPECT_EQ(run("--scene " + out("broken.obj") + tiny), 1);
    EXPECT_NE(errors.find("line 3"), std::string::npos) << errors;
    fs::remove(out("broken.obj"));

    EXPECT_EQ(run("--size 8x6 --spp 1 --out " + out("no/such/folder/x.png")), 1);
    EXPECT_NE(errors.find("does not exist"), std::string::npos) << errors;

    EXPECT_EQ(run("--size 8x6 --spp 1 --out " + out("x.bmp")), 1);
    EXPECT_NE(errors.find("unknown image format"), std::string::npos) << errors;

    EXPECT_TRUE(files().empty());
}

TEST_F(CliProgram, HelpListsTheOptions) {
    EXPECT_EQ(run("--help"), 0);
    EXPECT_TRUE(errors.empty());
    EXPECT_NE(helpText().find("--camera close|far"), std::string::npos);
}

TEST_F(CliProgram, RendersNumberedFramesWhole) {
    const std::string obj = out("tri.obj");
    std::ofstream(obj) << "v -1 0 0\nv 1 0 0\nv 0 2 0.5\nvt 0 0\nvt 1 0\nvt 0.5 1\n"
                          "f 1/1 2/2 3/3\n";
    EXPECT_EQ(run("--scene " + obj +
                  " --camera close --frames 3 --size 12x8 --spp 1 "
                  "--threads 2 --out " +
                  out("f.exr")),
              0)
        << errors;
    const std::vector<std::string> expected = {"f.0001.exr", "f.0002.exr", "f.0003.exr", "tri.obj"};
    EXPECT_EQ(files(), expected);
    EXPECT_EQ(errors.find("error"), std::string::npos) << errors;
}

TEST_F(CliProgram, MaterialOptionsFailCleanly) {
    const std::string tiny = " --size 8x6 --spp 1 --out " + out("x.png");
    EXPECT_EQ(run("--set num_flake=5" + tiny), 2);
    EXPECT_NE(errors.find("no parameter 'num_flake'; its parameters are: enable_flakes"),
              std::string::npos)
        << errors;
    EXPECT_EQ(run("--set num_flakes=0" + tiny), 2);
    EXPECT_NE(errors.find("'num_flakes' takes a whole number from 1 to 2000000000, not '0'"),
              std::string::npos)
        << errors;
    EXPECT_EQ(run("--set=hilight_glossiness=fast" + tiny), 2);
    EXPECT_NE(errors.find("takes a number"), std::string::npos) << errors;
    EXPECT_EQ(run("--set subdivs" + tiny), 2);
    EXPECT_NE(errors.find("NAME=VALUE"), std::string::npos) << errors;
    EXPECT_EQ(run("--plugin builtin --set subdivs=2" + tiny), 2);
    EXPECT_NE(errors.find("need the plug-in"), std::string::npos) << errors;
    EXPECT_EQ(run("--plugin " + out("none.dlt") + tiny), 1);
    EXPECT_NE(errors.find("does not exist"), std::string::npos) << errors;
    EXPECT_EQ(run("--material " + out("none.gsc") + tiny), 1);
    EXPECT_NE(errors.find("cannot load material file"), std::string::npos) << errors;
    EXPECT_TRUE(files().empty());
}

TEST_F(CliProgram, DefaultSceneSaysWhatItChose) {
    const std::string tiny = " --size 8x6 --out " + out("x.png");
    EXPECT_EQ(run(tiny), 0) << errors;
    EXPECT_NE(printed.find("8 samples per pixel"), std::string::npos) << printed;
    EXPECT_NE(printed.find("the scene chose: subdivs=3 flake_scale=3"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("wrote " + out("x.png")), std::string::npos) << printed;
    // What the command line gives, the scene leaves alone.
    EXPECT_EQ(run("--spp 3 --set subdivs=1" + tiny), 0) << errors;
    EXPECT_NE(printed.find("3 samples per pixel"), std::string::npos) << printed;
    EXPECT_NE(printed.find("subdivs 1 (1 reflection samples per hit)"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("the scene chose: flake_scale=3"), std::string::npos) << printed;
    EXPECT_EQ(run("--plugin builtin" + tiny), 0) << errors;
    EXPECT_NE(printed.find("built-in Beckmann stand-in"), std::string::npos) << printed;
}

TEST_F(CliProgram, FlakeScaleWarningOncePerFrame) {
    const std::string warning = "Stochastic flakes scale is too big!";
    const std::string small = " --size 64x36 --spp 1 --threads 2 --set subdivs=1 --out ";
    EXPECT_EQ(run("--frames 2 --set flake_scale=100 --set num_flakes=1" + small + out("w.png")), 0)
        << errors;
    EXPECT_EQ(occurrences(errors, warning), 2) << errors;
    EXPECT_EQ(run(small + out("d.png")), 0) << errors;
    EXPECT_EQ(occurrences(errors, warning), 0) << errors;
    EXPECT_EQ(run("--camera close" + small + out("c.png")), 0) << errors;
    EXPECT_EQ(occurrences(errors, warning), 0) << errors;
}

}  // namespace
}  // namespace glitter::renderer
