// glitter-host: parameter values as text in-process, and the program run as a process against
// the plug-in library and against stub libraries broken in one way each. Every refusal exits
// non-zero with a message and leaves no file.
#include <gtest/gtest.h>

#include <sstream>

#include "apps/host/cli_error.h"
#include "apps/host/command_line.h"
#include "apps/host/param_text.h"
#include "tests/support/program_run.h"

namespace glitter::hostcli {
namespace {

using glitter::testing::readFile;

host::ParamDef makeDef(host::ParamType2 type) {
    host::ParamDef def;
    def.internalName = host::WStr(u"p");
    def.type = type;
    return def;
}

// "=" and the value as printed, or "!" and the reason it was refused.
std::string valueOf(const host::ParamDef& def, const std::string& text,
                    const std::vector<std::string>& items = {}) {
    try {
        return "=" + formatScalar(def, parseScalar(def, text, items));
    } catch (const CliError& e) {
        return std::string("!") + e.what();
    }
}

TEST(HostCliValueText, ValuesAreReadExactlyAndRangesCheckedNotClamped) {
    host::ParamDef f = makeDef(host::TYPE_FLOAT);
    f.hasRange = true;
    f.rangeLow.f = 1e-9f;
    f.rangeHigh.f = 1e9f;
    // Both ends belong to the range, and printed values read back.
    EXPECT_EQ(valueOf(f, "1e-9"), "=1e-09");
    EXPECT_EQ(valueOf(f, "1000000000"), "=1e+09");
    EXPECT_EQ(valueOf(f, "1.0000001"), "=1.0000001");  // the float after 1
    EXPECT_EQ(valueOf(f, "0"), "!p: 0 is out of range (1e-09 to 1e+09)");
    EXPECT_EQ(valueOf(f, "2e9"), "!p: 2e9 is out of range (1e-09 to 1e+09)");
    for (const std::string bad : {"nan", "inf", "-inf", "1e40", "", "1,5", "0.5x", " 1"})
        EXPECT_EQ(valueOf(f, bad), "!p: '" + bad + "' is not a finite number");

    host::ParamDef i = makeDef(host::TYPE_INT);
    i.hasRange = true;
    i.rangeLow.i = 0;
    i.rangeHigh.i = 22;
    EXPECT_EQ(valueOf(i, "22"), "=22");
    EXPECT_EQ(valueOf(i, "23"), "!p: 23 is out of range (0 to 22)");
    EXPECT_EQ(valueOf(i, "-1"), "!p: -1 is out of range (0 to 22)");
    for (const std::string bad : {"1.0", "4294967296"})
        EXPECT_EQ(valueOf(i, bad), "!p: '" + bad + "' is not a whole number");
    // A combo box takes its items' texts as well as their indices.
    const std::vector<std::string> items{"Explicit UVW channel", "Triplanar from Object XYZ"};
    EXPECT_EQ(valueOf(i, "triplanar from object xyz", items), "=1");
    EXPECT_EQ(valueOf(i, "0", items), "=0");
    EXPECT_NE(valueOf(i, "planar", items).find("or 'Triplanar from Object XYZ'"),
              std::string::npos);

    const host::ParamDef b = makeDef(host::TYPE_BOOL);
    for (const char* on : {"on", "TRUE", "yes", "1"}) EXPECT_EQ(valueOf(b, on), "=on") << on;
    for (const char* off : {"off", "False", "no", "0"}) EXPECT_EQ(valueOf(b, off), "=off") << off;
    EXPECT_EQ(valueOf(b, "2"), "!p: '2' is not on or off");
    const host::ParamDef c = makeDef(host::TYPE_RGBA);
    EXPECT_EQ(valueOf(c, "0.25,1,0.5"), "=0.25,1,0.5");
    for (const char* bad : {"1,1", "1,1,1,1", "1,,1", "1,nan,1"})
        EXPECT_NE(valueOf(c, bad).find("colour"), std::string::npos) << bad;

    const host::ParamDef m = makeDef(host::TYPE_TEXMAP);
    EXPECT_TRUE(parseMapSpec(m, "None").none);
    const MapSpec mapValue = parseMapSpec(m, "constant:0.5,0.25,1");
    EXPECT_FALSE(mapValue.none);
    EXPECT_EQ(mapValue.color, host::AColor(0.5f, 0.25f, 1.0f, 1.0f));
    EXPECT_EQ(parseMapSpec(m, "constant:0,0,0,0.5").color.a, 0.5f);
    EXPECT_THROW(parseMapSpec(m, "constant:0,0,0,2"), CliError);
    EXPECT_THROW(parseMapSpec(m, "checker"), CliError);
    EXPECT_THROW(parseScalar(m, "none", {}), CliError);

    EXPECT_EQ(formatInterval(host::FOREVER), "forever");
    EXPECT_EQ(formatInterval(host::NEVER), "never");
    EXPECT_EQ(formatInterval(host::Interval(5, 5)), "5");
    EXPECT_EQ(formatInterval(host::Interval(-3, 9)), "[-3, 9]");
}

class HostCliProgram : public ::testing::Test {
  protected:
    // glitter-host with `args`, "@/" standing for the scene folder and PLUGIN for the plug-in
    // library.
    glitter::testing::ProgramRun run(std::vector<std::string> args) {
        for (std::string& arg : args) {
            for (auto at = arg.find("@/"); at != std::string::npos; at = arg.find("@/"))
                arg.replace(at, 1, folder.path.string());
            if (auto at = arg.find("PLUGIN"); at != std::string::npos)
                arg.replace(at, 6, GLITTER_PLUGIN_DLT);
        }
        return glitter::testing::runProgram(GLITTER_HOST_EXE, args);
    }
    glitter::testing::ProgramRun run(const std::string& args) {
        return run(glitter::testing::words(args));
    }

    /// A command that must be refused: `status`, `message` in its error output, nothing on
    /// standard output and no change to the scene folder.
    void expectRefused(const std::string& args, int status, const std::string& message) {
        const std::vector<std::string> before = folder.files();
        const glitter::testing::ProgramRun r = run(args);
        EXPECT_EQ(r.status, status) << args << ": " << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
        if (status == 1) {
            EXPECT_EQ(r.out, "") << args;
        }
        EXPECT_EQ(folder.files(), before) << args;
    }

    glitter::testing::ScratchFolder folder;
};

/// The row of `show` or `rollouts` output that starts with `name`, as single-spaced words.
std::string rowOf(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + " ", 0) == 0) {
            std::string text;
            for (char c : line) {
                if (c != ' ' || text.empty() || text.back() != ' ') text += c;
            }
            return text;
        }
    }
    return "";
}

TEST_F(HostCliProgram, HelpAndUsage) {
    const auto overview = run("--help");
    EXPECT_EQ(overview.status, 0);
    for (const std::string command : {"classes", "show", "new", "edit", "rollouts"}) {
        EXPECT_NE(overview.out.find("  " + command + " "), std::string::npos) << command;
        const auto help = run(command + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: glitter-host " + command, 0), 0u) << help.out;
        EXPECT_EQ(run("help " + command).out, help.out);
    }
    EXPECT_NE(run("").err.find("Try 'glitter-host --help'"), std::string::npos);
}

TEST_F(HostCliProgram, RefusalsExitWithTheReasonAndLeaveNoFile) {
    folder.write("text.dlt", "not a library");
    ASSERT_EQ(run("new PLUGIN --out @/good.scene").status, 0);
    const std::string good = readFile(folder / "good.scene");
    const struct {
        std::string args;
        int status;
        const char* says;
    } refusals[] = {
        {"", 2, "no command"},
        {"list", 2, "unknown command 'list'"},
        {"--out x new", 2, "command comes first"},
        {"new a b --out x", 2, "unexpected argument 'b'"},
        {"new --name x", 2, "new needs --out"},
        {"new --set subdivs=3", 2, "new needs --out"},
        {"edit --out x", 2, "edit needs --scene"},
        {"classes --set a=1", 2, "classes does not take --set"},
        {"show --out x", 2, "show does not take --out"},
        {"classes a.dlt --plugin b.dlt", 2, "given twice"},
        {"show --fast 1", 2, "unknown option '--fast'"},
        {"show --time", 2, "--time needs a value"},
        {"show --material 1", 2, "--material chooses a material of --scene"},
        {"show --scene s --class C", 2, "--class"},
        {"show --time 1.5", 2, "time"},
        {"show --time ten", 2, "time"},
        {"show --time=", 2, "time"},
        {"show --time 2147483647", 2, "time"},
        {"show --time -2147483648", 2, "time"},
        {"show --time 99999999999", 2, "time"},
        {"new --out x --set subdivs", 2, "NAME=VALUE"},
        {"new --out x --key subdivs=3", 2, "NAME@TIME=VALUE"},
        {"new --out x --key @5=3", 2, "names no parameter"},
        {"new --out x --unkey a=1", 2, "parameter name"},
        {"classes " GLITTER_STUB_OLD_VERSION, 1,
         "was built for host version 0x42032b00 (release 0x4203, API 43, SDK revision 0)"},
        {"classes " GLITTER_STUB_NO_CLASS_DESC, 1, "it does not export LibClassDesc"},
        {"classes " GLITTER_STUB_NULL_CLASS, 1, "has no class descriptor 0 of 1"},
        {"classes @/missing.dlt", 1, "does not exist"},
        {"new @/ --out @/a.scene", 1, "is not a file"},
        {"show @/text.dlt", 1, "cannot load plug-in library"},
        {"new @/no.dlt --out @/out.scene", 1, "does not exist"},
        {"new PLUGIN --out @/out.scene --set sparkle=1", 1, "unknown parameter 'sparkle'"},
        {"new PLUGIN --out @/out.scene --set texture_subdivs=23", 1,
         "texture_subdivs: 23 is out of range (0 to 22)"},
        {"new PLUGIN --out @/out.scene --set flake_scale=0", 1, "out of range (1e-09 to 1e+09)"},
        {"new PLUGIN --out @/out.scene --key blur_angle@5=21", 1, "out of range (0 to 20)"},
        {"new PLUGIN --out @/out.scene --key subdivs@5=3", 1, "subdivs is not animatable"},
        {"new PLUGIN --out @/out.scene --set hilight_glossiness=nan", 1, "not a finite number"},
        {"new PLUGIN --out @/out.scene --set reflection_filter=-3e38,0,0", 1,
         "reflection_filter: -3e38,0,0 is out of range (each component 0 to 1000)"},
        {"new PLUGIN --out @/out.scene --set reflection_map=constant:1,3e38,1", 1,
         "is out of range (each component 0 to 1000)"},
        {"new PLUGIN --out @/out.scene --key lightness@-2147483648=1", 2,
         "outside the host's time line (-2147483647 to 2147483646)"},
        {"new PLUGIN --out @/out.scene --key lightness@2147483647=1", 2,
         "outside the host's time line (-2147483647 to 2147483646)"},
        {"new PLUGIN --out @/no/such/folder.scene", 1, "cannot write"},
        // A refused edit in place keeps the file byte for byte.
        {"edit PLUGIN --scene @/good.scene --set subdivs=1001", 1,
         "subdivs: 1001 is out of range (1 to 1000)"},
        {"edit PLUGIN --scene @/good.scene --material 2", 1, "the scene has no material number 2"},
        {"show PLUGIN --scene @/none.scene", 1, "cannot load scene"},
    };
    for (const auto& refusal : refusals) {
        expectRefused(refusal.args, refusal.status, refusal.says);
    }
    EXPECT_EQ(readFile(folder / "good.scene"), good);

    // Every cut of a saved scene is refused as damaged, never taken for a shorter scene.
    for (std::size_t length : {std::size_t{0}, std::size_t{7}, good.size() / 2, good.size() - 1}) {
        folder.write("cut.scene", good.substr(0, length));
        expectRefused("edit PLUGIN --scene @/cut.scene --out @/out.scene", 1, "cannot load scene");
        expectRefused("show PLUGIN --scene @/cut.scene", 1, "cannot load scene");
    }
}

TEST_F(HostCliProgram, ListsThePluginsClasses) {
    // Without PLUGIN the program finds the library it was built with.
    for (const std::string args : {"classes --plugin=PLUGIN", "classes"}) {
        const auto r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char* expected :
             {"Description  KuvoStochasticFlakesMtl material\n",
              "Version      0x42042c00 (release 0x4204, API 44, SDK revision 0)\n",
              "  browser icons     3 images of 11x11 (inactive 0, active 1, disabled 2)\n",
              "  parameter blocks  \"StochasticFlakesMtl parameters\" (id 0): 21 parameters"}) {
            EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\nin\n" << r.out;
        }
    }
}

TEST_F(HostCliProgram, NewThenShowRoundTripsValuesAndKeys) {
    std::vector<std::string> args = glitter::testing::words(
        "new PLUGIN --out=@/a.scene --set hilight_glossiness=0.5 --key blur_angle@0=2 "
        "--key blur_angle@100=4 --set reflection_filter=0.25,0.5,1 --set random_hue=on "
        "--set enable_flakes_in_mtl_editor=yes --set num_flakes=2000000000 "
        "--key enable_flakes@0=on --key enable_flakes@10=off "
        "--set=reflection_map=constant:1,0.5,0.25,0.75");
    args.insert(args.end(),
                {"--name", "Sparkle ✨", "--set", "mapping_type=Triplanar from Object XYZ"});
    const auto made = run(args);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "Saved Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl) to " +
                            (folder / "a.scene") + "\n");
    EXPECT_EQ(folder.files(), std::vector<std::string>{"a.scene"});  // no temporary left behind

    const auto shown = run("show PLUGIN --scene @/a.scene --time 50");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl), class id "
                              "(0x6113692d, 0x4e1d1282)\n",
                              0),
              0u);
    // Between two keys a float holds for the instant alone; after a bool's last key, from it on.
    for (const char* row :
         {"blur_angle 4 float 3 0 to 20 50 @0=2 @100=4",
          "enable_flakes 5 bool off - [10, +inf) @0=on @10=off",
          "hilight_glossiness 0 float 0.5 0 to 10000 forever",
          "mapping_type 9 int 1 (Triplanar from Object XYZ) 0 to 1 forever",
          "reflection_filter 1 colour 0.25,0.5,1 0 to 1000 forever",
          "reflection_map 11 map constant:1,0.5,0.25,0.75 - forever",
          "num_flakes 3 int 2000000000 1 to 2000000000 forever", "random_hue 14 bool on - forever",
          "enable_flakes_in_mtl_editor 7 bool on - forever",
          "subdivs 2 int 8 1 to 1000 forever"}) {  // the last a default
        const std::string name(row, std::string(row).find(' '));
        EXPECT_EQ(rowOf(shown.out, name), row);
    }
    // The material's own validity is no wider than that of its keyed parameters.
    EXPECT_NE(shown.out.find("At time 50; the material's values hold 50\n"), std::string::npos)
        << shown.out;

    const auto early =
        run("show PLUGIN --scene @/a.scene --time -5 --param blur_angle --param enable_flakes");
    ASSERT_EQ(early.status, 0) << early.err;
    EXPECT_EQ(rowOf(early.out, "blur_angle"), "blur_angle 4 float 2 0 to 20 (-inf, 0] @0=2 @100=4");
    EXPECT_EQ(rowOf(early.out, "enable_flakes"),
              "enable_flakes 5 bool on - (-inf, 9] @0=on @10=off");
    EXPECT_EQ(rowOf(early.out, "subdivs"), "");
}

TEST_F(HostCliProgram, EditChangesOnlyWhatItIsTold) {
    ASSERT_EQ(
        run("new PLUGIN --out @/a.scene --key lightness@0=0.25 --key lightness@20=0.4").status, 0);
    const std::string original = readFile(folder / "a.scene");
    const auto edited =
        run("edit PLUGIN --scene @/a.scene --out @/b.scene --name Edited --set "
            "subdivs=20 --time 20 --set lightness=0.75");
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(readFile(folder / "a.scene"), original);

    const auto shown = run("show PLUGIN --scene @/b.scene --material Edited");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(rowOf(shown.out, "subdivs"), "subdivs 2 int 20 1 to 1000 forever");
    // --set on a keyed parameter sets the key at --time.
    EXPECT_EQ(rowOf(shown.out, "lightness"),
              "lightness 18 float 0.25 0 to 1 (-inf, 0] @0=0.25 @20=0.75");

    // In place, and --unkey keeps the value at --time.
    ASSERT_EQ(run("edit PLUGIN --scene @/b.scene --time 10 --unkey=lightness").status, 0);
    EXPECT_EQ(rowOf(run("show PLUGIN --scene @/b.scene --param lightness").out, "lightness"),
              "lightness 18 float 0.5 0 to 1 forever");
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"a.scene", "b.scene"}));
}

TEST_F(HostCliProgram, RolloutsShowFlakeControlsDisabledWithFlakesOff) {
    ASSERT_EQ(run("new PLUGIN --out @/off.scene --set enable_flakes=off").status, 0);
    const auto loaded = run("rollouts PLUGIN --scene @/off.scene");
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("Rollout \"Advanced parameters\" (map 2, closed)"), std::string::npos)
        << loaded.out;
    // Which controls the material's switches enable is the plug-in's own (its tests pin every
    // one); the host reports them as the dialog has them.
    EXPECT_EQ(rowOf(loaded.out, "  enable_flakes"), " enable_flakes check box 131 enabled");
    EXPECT_EQ(rowOf(loaded.out, "  blend_max"), " blend_max float spinner 101, 100 disabled");

    // Switching flakes off with the dialog open must end in the same controls.
    EXPECT_EQ(run("rollouts PLUGIN --set enable_flakes=off").out, loaded.out);
    const auto on = run("rollouts PLUGIN");
    EXPECT_NE(rowOf(on.out, "  num_flakes").find(" enabled"), std::string::npos);
    EXPECT_NE(rowOf(on.out, "  saturation").find(" disabled"),
              std::string::npos);  // random_hue off
}

}  // namespace
}  // namespace glitter::hostcli
