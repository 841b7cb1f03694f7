// The host's own maps: colours at a shading context, validity of their cached values, and
// their editing through the parameter block.
#include <gtest/gtest.h>

#include <limits>

#include "platform/host/checker_texmap.h"
#include "platform/host/class_directory.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/remap_dir.h"

namespace host {
namespace {

AColor evalAt(Texmap& map, int channel, float u, float v, float w = 0.0f) {
    ShadeContext sc;
    sc.SetUVW(channel, Point3(u, v, w));
    return map.EvalColor(sc);
}

TEST(HostTexmap, ConstantGivesItsColourAndAlpha) {
    ConstantTexmap map;
    EXPECT_EQ(map.SuperClassID(), TEXMAP_CLASS_ID);
    ShadeContext sc;
    EXPECT_EQ(map.EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
    map.pblock->SetValue(ConstantTexmap::kColor, 0, Color(0.1f, 0.2f, 0.3f));
    map.pblock->SetValue(ConstantTexmap::kAlpha, 0, 0.25f);
    Interval valid = FOREVER;
    map.Update(0, valid);
    EXPECT_EQ(map.EvalColor(sc), AColor(0.1f, 0.2f, 0.3f, 0.25f));
    EXPECT_EQ(valid, FOREVER);
    EXPECT_FLOAT_EQ(map.EvalMono(sc), 0.2f);
}

TEST(HostTexmap, UpdateNarrowsValidityWithKeys) {
    ConstantTexmap map;
    map.pblock->SetKey(ConstantTexmap::kAlpha, 0, 0.0f);
    map.pblock->SetKey(ConstantTexmap::kAlpha, 10, 1.0f);
    Interval valid(-100, 100);
    map.Update(4, valid);
    EXPECT_EQ(valid, Interval(4, 4));
    ShadeContext sc;
    EXPECT_FLOAT_EQ(map.EvalColor(sc).a, 0.4f);
    EXPECT_EQ(map.Validity(20), Interval(10, TIME_PosInfinity));
    EXPECT_FLOAT_EQ(map.EvalColor(sc).a, 1.0f);
    map.Reset();
    EXPECT_EQ(map.Validity(4), FOREVER);
    EXPECT_FLOAT_EQ(map.EvalColor(sc).a, 1.0f);
}

TEST(HostTexmap, CheckerAlternatesOverTheChosenChannel) {
    CheckerTexmap map;
    const AColor black(0.0f, 0.0f, 0.0f, 1.0f);
    const AColor white(1.0f, 1.0f, 1.0f, 1.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case { int channel; float u, v, w; AColor expected; };
    const auto check = [&](std::initializer_list<Case> cases) {
        for (const Case& c : cases)
            EXPECT_EQ(evalAt(map, c.channel, c.u, c.v, c.w), c.expected) << c.channel << ": " << c.u << " " << c.v << " " << c.w;
    };
    check({{1, 0.25f, 0.25f, 0, black}, {1, 0.75f, 0.25f, 0, black},  // cells are 1/tiling wide
           {1, 1.25f, 0.25f, 0, white}, {1, 1.25f, 1.25f, 0, black},
           {1, -0.25f, 0.25f, 0, white},  // cells below zero continue the pattern
           {1, 0.25f, 0.25f, 1.5f, white},  // w counts too
           {1, 1e30f, 0.25f, 0, black}, {1, nan, 0.75f, 0, black},  // huge and NaN stay defined
           {2, 1.25f, 0.25f, 0, black}});  // channel 2 is not read
    map.pblock->SetValue(CheckerTexmap::kMapChannel, 0, 2);
    map.pblock->SetValue(CheckerTexmap::kTiling, 0, 2.0f);
    map.pblock->SetValue(CheckerTexmap::kAlpha2, 0, 0.5f);
    map.pblock->SetValue(CheckerTexmap::kColor1, 0, Color(0.5f, 0.0f, 0.0f));
    Interval valid = FOREVER;
    map.Update(0, valid);
    EXPECT_EQ(map.GetMapChannel(), 2);
    check({{2, 0.75f, 0.25f, 0, AColor(1.0f, 1.0f, 1.0f, 0.5f)},  // tiling 2: u 0.75 is in cell 1
           {2, 0.25f, 0.25f, 0, AColor(0.5f, 0.0f, 0.0f, 1.0f)},
           {1, 1.25f, 0.25f, 0, AColor(0.5f, 0.0f, 0.0f, 1.0f)}});  // channel 1 is no longer read
}

TEST(HostTexmap, CloneCopiesNameAndValues) {
    auto* map = new CheckerTexmap();
    map->SetName(u"tiles");
    map->pblock->SetValue(CheckerTexmap::kTiling, 0, 4.0f);
    RemapDir remap;
    auto* copy = dynamic_cast<CheckerTexmap*>(remap.CloneRef(map));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetName(), u"tiles");
    EXPECT_NE(copy->pblock, map->pblock);
    EXPECT_EQ(copy->pblock->GetFloat(CheckerTexmap::kTiling), 4.0f);
    map->pblock->SetValue(CheckerTexmap::kTiling, 0, 9.0f);
    EXPECT_EQ(copy->pblock->GetFloat(CheckerTexmap::kTiling), 4.0f);
    copy->DeleteThis();
    map->DeleteThis();
}

TEST(HostTexmap, DirectoryKnowsTheHostClasses) {
    ClassDirectory classes;
    EXPECT_NE(classes.Find(TEXMAP_CLASS_ID, CheckerTexmap::kClassID), nullptr);
    EXPECT_NE(classes.Find(TEXMAP_CLASS_ID, ConstantTexmap::kClassID), nullptr);
    EXPECT_NE(classes.Find(PARAMETER_BLOCK2_CLASS_ID, kParamBlock2ClassID), nullptr);
    EXPECT_EQ(classes.Find(MATERIAL_CLASS_ID, CheckerTexmap::kClassID), nullptr)
        << "super class matters";
    EXPECT_FALSE(classes.Add(GetCheckerTexmapDesc())) << "a class is listed once";
}

}  // namespace
}  // namespace host
