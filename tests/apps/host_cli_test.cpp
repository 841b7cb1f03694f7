// glitter-host: parameter values as text in-process, and the program run as a process against
// the plug-in library and against stub libraries broken in one way each.
#include <gtest/gtest.h>

#include <string>

#include "apps/host/cli_error.h"
#include "apps/host/command_line.h"
#include "apps/host/param_text.h"
#include "tests/apps/program_test.h"

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
std::string valueOf(const host::ParamDef& def, const std::string& text) {
    try {
        return "=" + formatScalar(def, parseScalar(def, text, {}));
    } catch (const CliError& e) {
        return std::string("!") + e.what();
    }
}

TEST(HostCliValueText, ValuesAreReadExactlyAndRangesCheckedNotClamped) {
    host::ParamDef f = makeDef(host::TYPE_FLOAT);
    f.hasRange = true;
    f.rangeLow.f = 1e-9f;
    f.rangeHigh.f = 1e9f;
    // Both ends belong to the range, and printed values read back; the program's refusals
    // below hold the values under a range.
    EXPECT_EQ(valueOf(f, "1e-9"), "=1e-09");
    EXPECT_EQ(valueOf(f, "1000000000"), "=1e+09");
    EXPECT_EQ(valueOf(f, "1.0000001"), "=1.0000001");  // the float after 1
    EXPECT_EQ(valueOf(f, "2e9"), "!p: 2e9 is out of range (1e-09 to 1e+09)");
    for (const std::string bad : {"nan", "inf", "-inf", "1e40", "", "1,5", "0.5x", " 1"})
        EXPECT_EQ(valueOf(f, bad), "!p: '" + bad + "' is not a finite number");

    host::ParamDef i = makeDef(host::TYPE_INT);
    i.hasRange = true;
    i.rangeLow.i = 0;
    i.rangeHigh.i = 22;
    EXPECT_EQ(valueOf(i, "22"), "=22");
    EXPECT_EQ(valueOf(i, "-1"), "!p: -1 is out of range (0 to 22)");
    for (const std::string bad : {"1.0", "4294967296"})
        EXPECT_EQ(valueOf(i, bad), "!p: '" + bad + "' is not a whole number");

    const host::ParamDef b = makeDef(host::TYPE_BOOL);
    for (const char* on : {"on", "TRUE", "yes", "1"}) EXPECT_EQ(valueOf(b, on), "=on") << on;
    for (const char* off : {"off", "False", "no", "0"}) EXPECT_EQ(valueOf(b, off), "=off") << off;
    EXPECT_EQ(valueOf(b, "2"), "!p: '2' is not on or off");
    const host::ParamDef c = makeDef(host::TYPE_RGBA);
    for (const char* bad : {"1,1", "1,1,1,1", "1,,1", "1,nan,1"})
        EXPECT_NE(valueOf(c, bad).find("colour"), std::string::npos) << bad;

    // Maps that are read back are in the program's round trip below.
    const host::ParamDef m = makeDef(host::TYPE_TEXMAP);
    EXPECT_TRUE(parseMapSpec(m, "None").none);
    EXPECT_THROW(parseMapSpec(m, "constant:0,0,0,2"), CliError);
    EXPECT_THROW(parseMapSpec(m, "checker"), CliError);
    EXPECT_THROW(parseScalar(m, "none", {}), CliError);
}

struct HostCliProgram : glitter::testing::ProgramTest {
    HostCliProgram() : ProgramTest(GLITTER_HOST_EXE) {}
};

/// The row of `show` or `rollouts` output that starts with `name`, runs of spaces made one.
std::string rowOf(const std::string& output, const std::string& name) {
    std::string squeezed = "\n";
    for (char c : output)
        if (c != ' ' || squeezed.back() != ' ') squeezed += c;
    const std::size_t at = squeezed.find("\n" + name + " ");
    if (at == std::string::npos) return "";
    return squeezed.substr(at + 1, squeezed.find('\n', at + 1) - at - 1);
}

TEST_F(HostCliProgram, HelpUsageAndThePluginsClasses) {
    const std::string overview = ok("--help");
    for (const std::string command : {"classes", "show", "new", "edit", "rollouts"}) {
        EXPECT_NE(overview.find("  " + command + " "), std::string::npos) << command;
        const std::string help = ok(command + " --help");
        EXPECT_EQ(help.rfind("Usage: glitter-host " + command, 0), 0u) << help;
        EXPECT_EQ(ok("help " + command), help);
    }
    EXPECT_NE(run("").err.find("Try 'glitter-host --help'"), std::string::npos);
    // Without PLUGIN the program finds the library it was built with.
    for (const std::string args : {"classes --plugin=PLUGIN", "classes"}) {
        const std::string out = ok(args);
        for (const char* expected :
             {"Description  KuvoStochasticFlakesMtl material\n",
              "Version      0x42042c00 (release 0x4204, API 44, SDK revision 0)\n",
              "  browser icons     3 images of 11x11 (inactive 0, active 1, disabled 2)\n",
              "  parameter blocks  \"StochasticFlakesMtl parameters\" (id 0): 21 parameters"}) {
            EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin\n" << out;
        }
    }
}

TEST_F(HostCliProgram, RefusalsExitWithTheReasonAndLeaveNoFile) {
    folder.write("text.dlt", "not a library");
    ok("new PLUGIN --out @/good.scene");
    const std::string good = readFile(folder / "good.scene");
    expectRefusals({
        "2 | no command",
        "2 list | unknown command 'list'",
        "2 --out x new | command comes first",
        "2 new a b --out x | unexpected argument 'b'",
        "2 new --name x | new needs --out",
        "2 new --set subdivs=3 | new needs --out",
        "2 edit --out x | edit needs --scene",
        "2 classes --set a=1 | classes does not take --set",
        "2 show --out x | show does not take --out",
        "2 classes a.dlt --plugin b.dlt | given twice",
        "2 show --fast 1 | unknown option '--fast'",
        "2 show --time | --time needs a value",
        "2 show --material 1 | --material chooses a material of --scene",
        "2 show --scene s --class C | --class",
        "2 new --out x --set subdivs | NAME=VALUE",
        "2 new --out x --key subdivs=3 | NAME@TIME=VALUE",
        "2 new --out x --key @5=3 | names no parameter",
        "2 new --out x --unkey a=1 | parameter name",
        "1 classes " GLITTER_STUB_OLD_VERSION
        " | was built for host version 0x42032b00 (release 0x4203, API 43, SDK revision 0)",
        "1 classes " GLITTER_STUB_NO_CLASS_DESC " | it does not export LibClassDesc",
        "1 classes " GLITTER_STUB_NULL_CLASS " | has no class descriptor 0 of 1",
        "1 classes @/missing.dlt | does not exist",
        "1 new @/ --out @/a.scene | is not a file",
        "1 show @/text.dlt | cannot load plug-in library",
        "1 new @/no.dlt --out @/out.scene | does not exist",
        "1 new PLUGIN --out @/no/such/folder.scene | cannot write",
        // A refused edit in place keeps the file byte for byte.
        "1 edit PLUGIN --scene @/good.scene --set subdivs=1001 | 1001 is out of range (1 to 1000)",
        "1 edit PLUGIN --scene @/good.scene --material 2 | the scene has no material number 2",
        "1 show PLUGIN --scene @/none.scene | cannot load scene",
    });
    for (const std::string time :
         {" 1.5", " ten", "=", " 2147483647", " -2147483648", " 99999999999"})
        expectRefusals({"2 show --time" + time + " | time"});
    // Every cut of a saved scene is refused as damaged, never taken for a shorter scene.
    for (std::size_t length : {std::size_t{0}, std::size_t{7}, good.size() / 2, good.size() - 1}) {
        folder.write("cut.scene", good.substr(0, length));
        expectRefusals({"1 edit PLUGIN --scene @/cut.scene --out @/out.scene | cannot load scene",
                        "1 show PLUGIN --scene @/cut.scene | cannot load scene"});
    }
    prefix = "new PLUGIN --out @/out.scene ";
    expectRefusals({
        "1 --set sparkle=1 | unknown parameter 'sparkle'",
        "1 --set mapping_type=planar | or 'Triplanar from Object XYZ'",
        "1 --set texture_subdivs=23 | texture_subdivs: 23 is out of range (0 to 22)",
        "1 --set flake_scale=0 | out of range (1e-09 to 1e+09)",
        "1 --key blur_angle@5=21 | out of range (0 to 20)",
        "1 --key subdivs@5=3 | subdivs is not animatable",
        "1 --set hilight_glossiness=nan | not a finite number",
        "1 --set reflection_filter=-3e38,0,0 | reflection_filter: -3e38,0,0 is out of range",
        "1 --set reflection_map=constant:1,3e38,1 | is out of range (each component 0 to 1000)",
        "2 --key lightness@-2147483648=1 | time line (-2147483647 to 2147483646)",
        "2 --key lightness@2147483647=1 | time line (-2147483647 to 2147483646)",
    });
    EXPECT_EQ(readFile(folder / "good.scene"), good);
}

TEST_F(HostCliProgram, NewShowAndEditRoundTripValuesAndKeys) {
    std::vector<std::string> args = glitter::testing::words(
        "new PLUGIN --out=@/a.scene --set hilight_glossiness=0.5 --key blur_angle@0=2 "
        "--key blur_angle@100=4 --set reflection_filter=0.25,0.5,1 --set random_hue=on "
        "--set enable_flakes_in_mtl_editor=yes --set num_flakes=2000000000 "
        "--key enable_flakes@0=on --key enable_flakes@10=off "
        "--set=reflection_map=constant:1,0.5,0.25,0.75 --key lightness@0=0.25 "
        "--key lightness@20=0.4");
    args.insert(args.end(),
                {"--name", "Sparkle ✨", "--set", "mapping_type=triplanar from object xyz"});
    const auto made = run(args);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "Saved Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl) to " +
                            (folder / "a.scene") + "\n");
    EXPECT_EQ(folder.files(), std::vector<std::string>{"a.scene"});  // no temporary left behind

    const std::string shown = ok("show PLUGIN --scene @/a.scene --time 50");
    EXPECT_TRUE(
        shown.starts_with("Material \"Sparkle ✨\" (KuvoStochasticFlakesMtl), class id "
                          "(0x6113692d, 0x4e1d1282)\n"))
        << shown;
    // Between two keys a float holds for the instant alone; after a bool's last key, from it on.
    // A combo box takes its items' texts in any case.
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
        EXPECT_EQ(rowOf(shown, std::string(row, std::string(row).find(' '))), row);
    }
    // The material's own validity is no wider than that of its keyed parameters.
    EXPECT_NE(shown.find("At time 50; the material's values hold 50\n"), std::string::npos);

    const std::string early =
        ok("show PLUGIN --scene @/a.scene --time -5 --param blur_angle --param enable_flakes");
    EXPECT_EQ(rowOf(early, "blur_angle"), "blur_angle 4 float 2 0 to 20 (-inf, 0] @0=2 @100=4");
    EXPECT_EQ(rowOf(early, "enable_flakes"), "enable_flakes 5 bool on - (-inf, 9] @0=on @10=off");
    EXPECT_EQ(rowOf(early, "subdivs"), "");

    // An edit changes only what it is told.
    const std::string original = readFile(folder / "a.scene");
    ok("edit PLUGIN --scene @/a.scene --out @/b.scene --name Edited --set subdivs=20 --time 20 "
       "--set lightness=0.75");
    EXPECT_EQ(readFile(folder / "a.scene"), original);
    const std::string edited = ok("show PLUGIN --scene @/b.scene --material Edited");
    EXPECT_EQ(rowOf(edited, "subdivs"), "subdivs 2 int 20 1 to 1000 forever");
    // --set on a keyed parameter sets the key at --time.
    EXPECT_EQ(rowOf(edited, "lightness"),
              "lightness 18 float 0.25 0 to 1 (-inf, 0] @0=0.25 @20=0.75");
    // In place, and --unkey keeps the value at --time.
    ok("edit PLUGIN --scene @/b.scene --time 10 --unkey=lightness");
    EXPECT_EQ(rowOf(ok("show PLUGIN --scene @/b.scene --param lightness"), "lightness"),
              "lightness 18 float 0.5 0 to 1 forever");
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"a.scene", "b.scene"}));
}

TEST_F(HostCliProgram, RolloutsShowFlakeControlsDisabledWithFlakesOff) {
    ok("new PLUGIN --out @/off.scene --set enable_flakes=off");
    const std::string loaded = ok("rollouts PLUGIN --scene @/off.scene");
    EXPECT_NE(loaded.find("Rollout \"Advanced parameters\" (map 2, closed)"), std::string::npos);
    // Which controls the switches enable is the plug-in's; the host reports the dialog's state.
    EXPECT_EQ(rowOf(loaded, " enable_flakes"), " enable_flakes check box 131 enabled");
    EXPECT_EQ(rowOf(loaded, " blend_max"), " blend_max float spinner 101, 100 disabled");
    // Switching flakes off with the dialog open must end in the same controls.
    EXPECT_EQ(ok("rollouts PLUGIN --set enable_flakes=off"), loaded);
    const std::string on = ok("rollouts PLUGIN");
    EXPECT_NE(rowOf(on, " num_flakes").find(" enabled"), std::string::npos);
    EXPECT_NE(rowOf(on, " saturation").find(" disabled"), std::string::npos);  // random_hue off
}

}  // namespace
}  // namespace glitter::hostcli
