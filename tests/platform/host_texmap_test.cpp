// The host's own maps: colours at a shading context and validity of their cached values.
#include <gtest/gtest.h>

#include <limits>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"

namespace host {
namespace {

AColor evalAt(Texmap& map, int channel, float u, float v, float w = 0.0f) {
    ShadeContext sc;
    sc.SetUVW(channel, Point3(u, v, w));
    return map.EvalColor(sc);
}

TEST(HostTexmap, ConstantGivesItsColourAndAlphaValidWhileUnkeyed) {
    ConstantTexmap map;
    ShadeContext sc;
    EXPECT_EQ(map.EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
    map.pblock->SetValue(ConstantTexmap::kColor, 0, Color(0.1f, 0.2f, 0.3f));
    map.pblock->SetKey(ConstantTexmap::kAlpha, 0, 0.0f);
    map.pblock->SetKey(ConstantTexmap::kAlpha, 10, 1.0f);
    Interval valid(-100, 100);
    map.Update(4, valid);
    EXPECT_EQ(valid, Interval(4, 4));
    EXPECT_EQ(map.EvalColor(sc), AColor(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_FLOAT_EQ(map.EvalMono(sc), 0.2f);
    EXPECT_EQ(map.Validity(20), Interval(10, TIME_PosInfinity));
    EXPECT_FLOAT_EQ(map.EvalColor(sc).a, 1.0f);
    map.Reset();
    EXPECT_EQ(map.Validity(4), FOREVER);
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

}  // namespace
}  // namespace host
