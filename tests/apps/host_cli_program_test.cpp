// glitter-host run as a process: against the plug-in library, and against stub libraries that
// are broken in one way each. Every refusal must exit non-zero with a message and leave no file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;  ///< exit status; -1 when the program did not exit (a crash)
    std::string out;
    std::string err;
};

std::string quoted(const std::string& arg) {
    std::string text = "'";
    for (char c : arg) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class HostCliProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::path(::testing::TempDir()) /
               ("host_cli_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "scenes");
        fs::create_directories(root / "io");
    }
    void TearDown() override { fs::remove_all(root); }

    ProgramRun run(const std::vector<std::string>& args) {
        std::string command = quoted(GLITTER_HOST_EXE);
        for (const std::string& arg : args) command += " " + quoted(arg);
        command += " >" + quoted((root / "io" / "out").string()) + " 2>" +
                   quoted((root / "io" / "err").string());
        const int raw = std::system(command.c_str());
        ProgramRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(root / "io" / "out");
        r.err = readFile(root / "io" / "err");
        return r;
    }

    std::string scene(const std::string& name) const { return (root / "scenes" / name).string(); }

    /// The files in the scene folder: a refused command must leave it as it was.
    std::vector<std::string> sceneFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root / "scenes")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    /// Runs a command that must be refused: exit 1, `message` in its error output, nothing on
    /// standard output and no change to the scene folder.
    void expectRefused(const std::vector<std::string>& args, const std::string& message) {
        const std::vector<std::string> before = sceneFiles();
        const ProgramRun r = run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(sceneFiles(), before);
    }

    fs::path root;
};

/// The row of `show` output for one parameter.
std::string rowOf(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + " ", 0) == 0) return line;
    }
    return "";
}

/// `row` as whitespace-separated words, for columns without spaces.
std::string squeezed(const std::string& row) {
    std::string text;
    for (char c : row) {
        if (c != ' ' || text.empty() || text.back() != ' ') text += c;
    }
    return text;
}

TEST_F(HostCliProgram, HelpAndUsage) {
    const ProgramRun overview = run({"--help"});
    EXPECT_EQ(overview.status, 0);
    for (const char* command : {"classes", "show", "new", "edit", "rollouts"}) {
        EXPECT_NE(overview.out.find(std::string("  ") + command + " "), std::string::npos)
            << command;
        const ProgramRun help = run({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: glitter-host ") + command, 0), 0u) << help.out;
        EXPECT_EQ(run({"help", command}).out, help.out);
    }
    const ProgramRun none = run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("Try 'glitter-host --help'"), std::string::npos);
    EXPECT_EQ(run({"new", "--set", "subdivs=3"}).status, 2);  // no --out
}

TEST_F(HostCliProgram, BrokenLibrariesAreRefused) {
    expectRefused({"classes", GLITTER_STUB_OLD_VERSION},
                  "was built for host version 0x42032b00 (release 0x4203, API 43, SDK revision 0)");
    expectRefused({"classes", GLITTER_STUB_NO_CLASS_DESC}, "it does not export LibClassDesc");
    expectRefused({"classes", GLITTER_STUB_NULL_CLASS}, "has no class descriptor 0 of 1");
    expectRefused({"classes", scene("missing.dlt")}, "does not exist");
    expectRefused({"new", (root / "scenes").string(), "--out", scene("a.scene")}, "is not a file");
    std::ofstream(scene("text.dlt")) << "not a library";
    expectRefused({"show", scene("text.dlt")}, "cannot load plug-in library");
}

#ifdef GLITTER_PLUGIN_DLT

TEST_F(HostCliProgram, ListsThePluginsClasses) {
    const ProgramRun r = run({"classes", GLITTER_PLUGIN_DLT});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected : {
             "Description  KuvoStochasticFlakesMtl material\n",
             "Version      0x42042c00 (release 0x4204, API 44, SDK revision 0)\n",
             "Classes      1\n",
             "\nKuvoStochasticFlakesMtl\n",
             "  class id          (0x6113692d, 0x4e1d1282)\n",
             "  super class       0xc00 (material)\n",
             "  category          \"\"\n",
             "  internal name     KuvoStochasticFlakesMtl\n",
             "  public            yes\n",
             "  browser category  \"Materials\\Kuvo\"\n",
             "  browser icons     3 images of 11x11 (inactive 0, active 1, disabled 2)\n",
             "  renderers         production renderer: compatible; scanline renderer: not "
             "compatible\n",
             "  parameter blocks  \"StochasticFlakesMtl parameters\" (id 0): 21 parameters, 3 "
             "rollouts\n",
         }) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\nin\n" << r.out;
    }
    // Without PLUGIN the program finds the library it was built with.
    const ProgramRun byDefault = run({"classes"});
    EXPECT_EQ(byDefault.status, 0) << byDefault.err;
    EXPECT_NE(byDefault.out.find("KuvoStochasticFlakesMtl material"), std::string::npos);
}

TEST_F(HostCliProgram, NewThenShowRoundTripsValuesAndKeys) {
    const ProgramRun made = run({"new",    GLITTER_PLUGIN_DLT,
                                 "--out",  scene("a.scene"),
                                 "--name", "Sparkle ✨",
                                 "--set",  "hilight_glossiness=0.5",
                                 "--key",  "blur_angle@0=2",
                                 "--key",  "blur_angle@100=4",
                                 "--set",  "mapping_type=Triplanar from Object XYZ",
                                 "--set",  "reflection_filter=0.25,0.5,1",
                                 "--set",  "random_hue=on",
                                 "--set",  "enable_flakes_in_mtl_editor=yes",
                                 "--set",  "num_flakes=2000000000",
                                 "--key",  "enable_flakes@0=on",
                                 "--key",  "enable_flakes@10=off",
                                 "--set",  "reflection_map=constant:1,0.5,0.25,0.75"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "Saved Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl) to " +
                            scene("a.scene") + "\n");
    EXPECT_EQ(sceneFiles(), std::vector<std::string>{"a.scene"});  // no temporary left behind

    const ProgramRun shown =
        run({"show", GLITTER_PLUGIN_DLT, "--scene", scene("a.scene"), "--time", "50"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(
        shown.out.rfind(
            "Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl), class id (0x6113692d, 0x4e1d1282)\n",
            0),
        0u);
    // Between two keys a float holds for the instant alone; after a bool's last key, from it on.
    EXPECT_EQ(squeezed(rowOf(shown.out, "blur_angle")),
              "blur_angle 4 float 3 0 to 20 50 @0=2 @100=4");
    EXPECT_EQ(squeezed(rowOf(shown.out, "enable_flakes")),
              "enable_flakes 5 bool off - [10, +inf) @0=on @10=off");
    EXPECT_EQ(squeezed(rowOf(shown.out, "hilight_glossiness")),
              "hilight_glossiness 0 float 0.5 0 to 10000 forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "mapping_type")),
              "mapping_type 9 int 1 (Triplanar from Object XYZ) 0 to 1 forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "reflection_filter")),
              "reflection_filter 1 colour 0.25,0.5,1 0 to 1000 forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "reflection_map")),
              "reflection_map 11 map constant:1,0.5,0.25,0.75 - forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "num_flakes")),
              "num_flakes 3 int 2000000000 1 to 2000000000 forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "random_hue")), "random_hue 14 bool on - forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "enable_flakes_in_mtl_editor")),
              "enable_flakes_in_mtl_editor 7 bool on - forever");
    EXPECT_EQ(squeezed(rowOf(shown.out, "subdivs")),
              "subdivs 2 int 8 1 to 1000 forever");  // a default
    // The material's own validity is no wider than that of its keyed parameters.
    EXPECT_NE(shown.out.find("At time 50; the material's values hold 50\n"), std::string::npos)
        << shown.out;

    const ProgramRun early = run({"show", GLITTER_PLUGIN_DLT, "--scene", scene("a.scene"), "--time",
                                  "-5", "--param", "blur_angle", "--param", "enable_flakes"});
    ASSERT_EQ(early.status, 0) << early.err;
    EXPECT_EQ(squeezed(rowOf(early.out, "blur_angle")),
              "blur_angle 4 float 2 0 to 20 (-inf, 0] @0=2 @100=4");
    EXPECT_EQ(squeezed(rowOf(early.out, "enable_flakes")),
              "enable_flakes 5 bool on - (-inf, 9] @0=on @10=off");
    EXPECT_EQ(rowOf(early.out, "subdivs"), "");
}

TEST_F(HostCliProgram, EditChangesOnlyWhatItIsTold) {
    ASSERT_EQ(run({"new", GLITTER_PLUGIN_DLT, "--out", scene("a.scene"), "--key",
                   "lightness@0=0.25", "--key", "lightness@20=0.4"})
                  .status,
              0);
    const std::string original = readFile(scene("a.scene"));
    const ProgramRun edited =
        run({"edit", GLITTER_PLUGIN_DLT, "--scene", scene("a.scene"), "--out", scene("b.scene"),
             "--name", "Edited", "--set", "subdivs=20", "--time", "20", "--set", "lightness=0.75"});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(readFile(scene("a.scene")), original);

    const ProgramRun shown =
        run({"show", GLITTER_PLUGIN_DLT, "--scene", scene("b.scene"), "--material", "Edited"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(squeezed(rowOf(shown.out, "subdivs")), "subdivs 2 int 20 1 to 1000 forever");
    // --set on a keyed parameter sets the key at --time.
    EXPECT_EQ(squeezed(rowOf(shown.out, "lightness")),
              "lightness 18 float 0.25 0 to 1 (-inf, 0] @0=0.25 @20=0.75");

    // In place, and --unkey keeps the value at --time.
    ASSERT_EQ(run({"edit", GLITTER_PLUGIN_DLT, "--scene", scene("b.scene"), "--time", "10",
                   "--unkey", "lightness"})
                  .status,
              0);
    const ProgramRun unkeyed =
        run({"show", GLITTER_PLUGIN_DLT, "--scene", scene("b.scene"), "--param", "lightness"});
    EXPECT_EQ(squeezed(rowOf(unkeyed.out, "lightness")), "lightness 18 float 0.5 0 to 1 forever");
    EXPECT_EQ(sceneFiles(), (std::vector<std::string>{"a.scene", "b.scene"}));
}

TEST_F(HostCliProgram, RolloutsShowFlakeControlsDisabledWithFlakesOff) {
    ASSERT_EQ(
        run({"new", GLITTER_PLUGIN_DLT, "--out", scene("off.scene"), "--set", "enable_flakes=off"})
            .status,
        0);
    const ProgramRun loaded = run({"rollouts", GLITTER_PLUGIN_DLT, "--scene", scene("off.scene")});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("Rollout \"Basic parameters\" (map 0, open)"), std::string::npos)
        << loaded.out;
    EXPECT_NE(loaded.out.find("Rollout \"Colored flakes parameters\" (map 1, open)"),
              std::string::npos);
    EXPECT_NE(loaded.out.find("Rollout \"Advanced parameters\" (map 2, closed)"),
              std::string::npos);
    EXPECT_NE(loaded.out.find("In no rollout: enable_flakes_in_mtl_editor\n"), std::string::npos);
    for (const char* disabled :
         {"num_flakes", "blur_angle", "mapping_type", "flake_scale", "map_channel", "random_hue",
          "random_saturation", "saturation", "random_lightness", "lightness", "texture_subdivs",
          "blend_min", "blend_max"}) {
        const std::string row = squeezed(rowOf(loaded.out, std::string("  ") + disabled));
        EXPECT_NE(row.find(" disabled"), std::string::npos) << disabled << ": " << row;
    }
    for (const char* enabled :
         {"enable_flakes", "hilight_glossiness", "subdivs", "reflection_filter", "reflection_map",
          "reflection_map_on", "reflection_map_mult"}) {
        const std::string row = squeezed(rowOf(loaded.out, std::string("  ") + enabled));
        EXPECT_NE(row.find(" enabled"), std::string::npos) << enabled << ": " << row;
    }
    EXPECT_EQ(squeezed(rowOf(loaded.out, "  enable_flakes")),
              " enable_flakes check box 131 enabled");
    EXPECT_EQ(squeezed(rowOf(loaded.out, "  blend_max")),
              " blend_max float spinner 101, 100 disabled");

    // Switching flakes off with the dialog open must end in the same controls.
    const ProgramRun live = run({"rollouts", GLITTER_PLUGIN_DLT, "--set", "enable_flakes=off"});
    ASSERT_EQ(live.status, 0) << live.err;
    EXPECT_EQ(live.out, loaded.out);
    const ProgramRun on = run({"rollouts", GLITTER_PLUGIN_DLT});
    EXPECT_NE(squeezed(rowOf(on.out, "  num_flakes")).find(" enabled"), std::string::npos);
    EXPECT_NE(squeezed(rowOf(on.out, "  saturation")).find(" disabled"),
              std::string::npos);  // random_hue off
}

TEST_F(HostCliProgram, RefusalsLeaveNoFile) {
    const std::string out = scene("out.scene");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--set", "sparkle=1"},
                  "unknown parameter 'sparkle'");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--set", "texture_subdivs=23"},
                  "texture_subdivs: 23 is out of range (0 to 22)");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--set", "flake_scale=0"},
                  "out of range (1e-09 to 1e+09)");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--key", "blur_angle@5=21"},
                  "out of range (0 to 20)");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--key", "subdivs@5=3"},
                  "subdivs is not animatable");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", out, "--set", "hilight_glossiness=nan"},
                  "not a finite number");
    expectRefused({"new", scene("no.dlt"), "--out", out}, "does not exist");
    expectRefused({"new", GLITTER_PLUGIN_DLT, "--out", scene("no/such/folder.scene")},
                  "cannot write");

    ASSERT_EQ(run({"new", GLITTER_PLUGIN_DLT, "--out", scene("good.scene")}).status, 0);
    const std::string good = readFile(scene("good.scene"));
    // A refused edit in place keeps the file byte for byte.
    expectRefused(
        {"edit", GLITTER_PLUGIN_DLT, "--scene", scene("good.scene"), "--set", "subdivs=1001"},
        "subdivs: 1001 is out of range (1 to 1000)");
    expectRefused({"edit", GLITTER_PLUGIN_DLT, "--scene", scene("good.scene"), "--material", "2"},
                  "the scene has no material number 2");
    EXPECT_EQ(readFile(scene("good.scene")), good);

    // Every cut of a saved scene is refused as damaged, never taken for a shorter scene.
    for (std::size_t length : {std::size_t{0}, std::size_t{7}, good.size() / 2, good.size() - 1}) {
        std::ofstream(scene("cut.scene"), std::ios::binary) << good.substr(0, length);
        expectRefused({"edit", GLITTER_PLUGIN_DLT, "--scene", scene("cut.scene"), "--out", out},
                      "cannot load scene");
        expectRefused({"show", GLITTER_PLUGIN_DLT, "--scene", scene("cut.scene")},
                      "cannot load scene");
        fs::remove(scene("cut.scene"));
    }
    expectRefused({"show", GLITTER_PLUGIN_DLT, "--scene", scene("none.scene")},
                  "cannot load scene");
}

#endif  // GLITTER_PLUGIN_DLT

}  // namespace
