// glitter-host in-process: its command line, and parameter values as text.
#include <gtest/gtest.h>

#include <cmath>

#include "apps/host/cli_error.h"
#include "apps/host/command_line.h"
#include "apps/host/param_text.h"

namespace glitter::hostcli {
namespace {

std::string usageErrorOf(const std::vector<std::string>& args) {
    try {
        parseCommandLine(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(HostCliCommandLine, ReadsOptionsEditsAndThePlugin) {
    const CommandLine cl = parseCommandLine({"new", "lib.dlt", "--out=a.scene", "--name", "Glint",
                                             "--set", "subdivs=4", "--key", "blur_angle@-20=2.5",
                                             "--unkey=lightness", "--time", "7", "--set=x=y=z"});
    EXPECT_EQ(cl.command, Command::create);
    EXPECT_EQ(cl.pluginPath, "lib.dlt");
    EXPECT_EQ(cl.outPath, "a.scene");
    EXPECT_EQ(cl.name.value_or(""), "Glint");
    EXPECT_EQ(cl.time, 7);
    ASSERT_EQ(cl.edits.size(), 4u);
    EXPECT_EQ(cl.edits[0].kind, ParamEdit::Kind::set);
    EXPECT_EQ(cl.edits[0].name, "subdivs");
    EXPECT_EQ(cl.edits[0].value, "4");
    EXPECT_EQ(cl.edits[1].kind, ParamEdit::Kind::key);
    EXPECT_EQ(cl.edits[1].name, "blur_angle");
    EXPECT_EQ(cl.edits[1].time, -20);
    EXPECT_EQ(cl.edits[1].value, "2.5");
    EXPECT_EQ(cl.edits[2].kind, ParamEdit::Kind::unkey);
    EXPECT_EQ(cl.edits[2].name, "lightness");
    EXPECT_EQ(cl.edits[3].name, "x");  // the value may hold '='
    EXPECT_EQ(cl.edits[3].value, "y=z");

    EXPECT_TRUE(parseCommandLine({"--help"}).showHelp);
    EXPECT_TRUE(parseCommandLine({"rollouts", "--scene", "s", "-h"}).showHelp);
    const CommandLine help = parseCommandLine({"help", "edit"});
    EXPECT_TRUE(help.showHelp);
    EXPECT_EQ(help.command, Command::edit);
    EXPECT_TRUE(parseCommandLine({"classes"}).pluginPath.empty());
    EXPECT_EQ(parseCommandLine({"classes", "--plugin=x.dlt"}).pluginPath, "x.dlt");
}

TEST(HostCliCommandLine, RefusesWhatACommandCannotUse) {
    EXPECT_NE(usageErrorOf({}).find("no command"), std::string::npos);
    EXPECT_NE(usageErrorOf({"list"}).find("unknown command 'list'"), std::string::npos);
    EXPECT_NE(usageErrorOf({"--out", "x", "new"}).find("command comes first"), std::string::npos);
    EXPECT_NE(usageErrorOf({"new", "a", "b", "--out", "x"}).find("unexpected argument 'b'"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"new", "--name", "x"}).find("new needs --out"), std::string::npos);
    EXPECT_NE(usageErrorOf({"edit", "--out", "x"}).find("edit needs --scene"), std::string::npos);
    EXPECT_NE(usageErrorOf({"classes", "--set", "a=1"}).find("classes does not take --set"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"show", "--out", "x"}).find("show does not take --out"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"classes", "a.dlt", "--plugin", "b.dlt"}).find("given twice"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"show", "--fast", "1"}).find("unknown option '--fast'"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"show", "--time"}).find("--time needs a value"), std::string::npos);
    EXPECT_NE(
        usageErrorOf({"show", "--material", "1"}).find("--material chooses a material of --scene"),
        std::string::npos);
    EXPECT_NE(usageErrorOf({"show", "--scene", "s", "--class", "C"}).find("--class"),
              std::string::npos);
    for (const char* t : {"1.5", "ten", "", "2147483647", "-2147483648", "99999999999"}) {
        EXPECT_NE(usageErrorOf({"show", "--time", t}).find("time"), std::string::npos) << t;
    }
    EXPECT_NE(usageErrorOf({"new", "--out", "x", "--set", "subdivs"}).find("NAME=VALUE"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"new", "--out", "x", "--key", "subdivs=3"}).find("NAME@TIME=VALUE"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"new", "--out", "x", "--key", "@5=3"}).find("names no parameter"),
              std::string::npos);
    EXPECT_NE(usageErrorOf({"new", "--out", "x", "--unkey", "a=1"}).find("parameter name"),
              std::string::npos);
}

host::ParamDef makeDef(host::ParamType2 type) {
    host::ParamDef def;
    def.internalName = host::WStr(u"p");
    def.type = type;
    return def;
}

std::string refusalOf(const host::ParamDef& def, const std::string& text,
                      const std::vector<std::string>& items = {}) {
    try {
        parseScalar(def, text, items);
    } catch (const CliError& e) {
        return e.what();
    }
    return "";
}

TEST(HostCliValueText, RangesAreCheckedNotClamped) {
    host::ParamDef f = makeDef(host::TYPE_FLOAT);
    f.hasRange = true;
    f.rangeLow.f = 1e-9f;
    f.rangeHigh.f = 1e9f;
    EXPECT_EQ(parseScalar(f, "1e-9", {}).f, 1e-9f);  // both ends belong to the range
    EXPECT_EQ(parseScalar(f, "1000000000", {}).f, 1e9f);
    EXPECT_EQ(refusalOf(f, "0"), "p: 0 is out of range (1e-09 to 1e+09)");
    EXPECT_NE(refusalOf(f, "2e9").find("out of range"), std::string::npos);
    for (const char* bad : {"nan", "inf", "-inf", "1e40", "", "1,5", "0.5x", " 1"}) {
        EXPECT_NE(refusalOf(f, bad).find("not a finite number"), std::string::npos) << bad;
    }

    host::ParamDef i = makeDef(host::TYPE_INT);
    i.hasRange = true;
    i.rangeLow.i = 0;
    i.rangeHigh.i = 22;
    EXPECT_EQ(parseScalar(i, "22", {}).i, 22);
    EXPECT_EQ(refusalOf(i, "23"), "p: 23 is out of range (0 to 22)");
    EXPECT_NE(refusalOf(i, "-1").find("out of range"), std::string::npos);
    EXPECT_NE(refusalOf(i, "1.0").find("not a whole number"), std::string::npos);
    EXPECT_NE(refusalOf(i, "4294967296").find("not a whole number"), std::string::npos);

    // A combo box takes its items' texts as well as their indices.
    const std::vector<std::string> items{"Explicit UVW channel", "Triplanar from Object XYZ"};
    EXPECT_EQ(parseScalar(i, "triplanar from object xyz", items).i, 1);
    EXPECT_EQ(parseScalar(i, "0", items).i, 0);
    EXPECT_NE(refusalOf(i, "planar", items).find("or 'Triplanar from Object XYZ'"),
              std::string::npos);
}

TEST(HostCliValueText, BoolsColoursAndMaps) {
    const host::ParamDef b = makeDef(host::TYPE_BOOL);
    for (const char* on : {"on", "TRUE", "yes", "1"}) EXPECT_EQ(parseScalar(b, on, {}).i, 1) << on;
    for (const char* off : {"off", "False", "no", "0"})
        EXPECT_EQ(parseScalar(b, off, {}).i, 0) << off;
    EXPECT_NE(refusalOf(b, "2").find("on or off"), std::string::npos);

    const host::ParamDef c = makeDef(host::TYPE_RGBA);
    EXPECT_EQ(parseScalar(c, "0.25,1,0.5", {}).c, host::Color(0.25f, 1.0f, 0.5f));
    for (const char* bad : {"1,1", "1,1,1,1", "1,,1", "1,nan,1"}) {
        EXPECT_NE(refusalOf(c, bad).find("colour"), std::string::npos) << bad;
    }

    const host::ParamDef m = makeDef(host::TYPE_TEXMAP);
    EXPECT_TRUE(parseMapSpec(m, "None").none);
    const MapSpec mapValue = parseMapSpec(m, "constant:0.5,0.25,1");
    EXPECT_FALSE(mapValue.none);
    EXPECT_EQ(mapValue.color, host::AColor(0.5f, 0.25f, 1.0f, 1.0f));
    EXPECT_EQ(parseMapSpec(m, "constant:0,0,0,0.5").color.a, 0.5f);
    EXPECT_THROW(parseMapSpec(m, "constant:0,0,0,2"), CliError);
    EXPECT_THROW(parseMapSpec(m, "checker"), CliError);
    EXPECT_THROW(parseScalar(m, "none", {}), CliError);
}

TEST(HostCliValueText, PrintedValuesReadBack) {
    host::ParamDef f = makeDef(host::TYPE_FLOAT);
    for (float v : {0.9f, 1e-9f, 3.0f, 0.1f + 0.2f, 16777217.0f, -0.0f}) {
        host::ParamValueRecord rec;
        rec.f = v;
        const std::string text = formatScalar(f, rec);
        EXPECT_EQ(parseScalar(f, text, {}).f, v) << text;
    }
    EXPECT_EQ(formatFloat(0.9f), "0.9");
    EXPECT_EQ(formatInterval(host::FOREVER), "forever");
    EXPECT_EQ(formatInterval(host::NEVER), "never");
    EXPECT_EQ(formatInterval(host::Interval(5, 5)), "5");
    EXPECT_EQ(formatInterval(host::Interval(host::TIME_NegInfinity, 0)), "(-inf, 0]");
    EXPECT_EQ(formatInterval(host::Interval(10, host::TIME_PosInfinity)), "[10, +inf)");
    EXPECT_EQ(formatInterval(host::Interval(-3, 9)), "[-3, 9]");
}

}  // namespace
}  // namespace glitter::hostcli
