// The material's block description (every parameter as stored scenes and scripts know it, the
// control ids) and the plug-in's resources as the host reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "platform/host/image_list.h"
#include "plugin/resources.h"
#include "plugin/stochastic_flakes_params.h"
#include "tests/support/stub_class_desc.h"

namespace glitter {
namespace {

using namespace host;

struct OwnerDesc : host::testing::StubClassDesc<> {
    OwnerDesc() : StubClassDesc(Class_ID(0x0badf00d, 0x1)) {}
};

struct Fixture {
    OwnerDesc cd;
    ControlIdCounter counter;
    ParamBlockDesc2 pbd = makeStochasticFlakesParamBlockDesc(&cd, counter);
};

constexpr double kNoRange = NAN;

// In declaration order; colours: every channel; maps: no default. Rollout -1: no control.
struct Expected {
    ParamID id;
    const char16_t* name;
    ParamType2 type;
    bool animatable;
    double defaultValue, low, high;
    int rollout, control;
};
const Expected kExpected[] = {
    {5, u"enable_flakes", TYPE_BOOL, true, 1, kNoRange, 0, 0, TYPE_SINGLECHEKBOX},
    {7, u"enable_flakes_in_mtl_editor", TYPE_BOOL, true, 0, kNoRange, 0, -1, 0},
    {3, u"num_flakes", TYPE_INT, false, 10000000, 1, 2000000000, 0, TYPE_SPINNER},
    {0, u"hilight_glossiness", TYPE_FLOAT, true, 0.9f, 0, 10000, 0, TYPE_SPINNER},
    {4, u"blur_angle", TYPE_FLOAT, true, 3.0, 0, 20, 0, TYPE_SPINNER},
    {2, u"subdivs", TYPE_INT, false, 8, 1, 1000, 0, TYPE_SPINNER},
    {1, u"reflection_filter", TYPE_RGBA, true, 1, kNoRange, 0, 0, TYPE_COLORSWATCH},
    {11, u"reflection_map", TYPE_TEXMAP, false, 0, kNoRange, 0, 0, TYPE_TEXMAPBUTTON},
    {12, u"reflection_map_on", TYPE_BOOL, false, 1, kNoRange, 0, 0, TYPE_SINGLECHEKBOX},
    {13, u"reflection_map_mult", TYPE_FLOAT, true, 100, 0, 100, 0, TYPE_SPINNER},
    {9, u"mapping_type", TYPE_INT, false, 0, 0, 1, 0, TYPE_INT_COMBOBOX},
    {8, u"map_channel", TYPE_INT, false, 1, 1, 100, 0, TYPE_SPINNER},
    {10, u"flake_scale", TYPE_FLOAT, true, 1.0, 1e-9f, 1e9f, 0, TYPE_SPINNER},
    {14, u"random_hue", TYPE_BOOL, true, 0, kNoRange, 0, 1, TYPE_SINGLECHEKBOX},
    {15, u"random_saturation", TYPE_BOOL, true, 0, kNoRange, 0, 1, TYPE_SINGLECHEKBOX},
    {16, u"saturation", TYPE_FLOAT, true, 1.0, 0, 1, 1, TYPE_SPINNER},
    {17, u"random_lightness", TYPE_BOOL, true, 0, kNoRange, 0, 1, TYPE_SINGLECHEKBOX},
    {18, u"lightness", TYPE_FLOAT, true, 0.5, 0, 1, 1, TYPE_SPINNER},
    {6, u"texture_subdivs", TYPE_INT, false, 12, 0, 22, 2, TYPE_SPINNER},
    {19, u"blend_min", TYPE_FLOAT, true, 500, 0, 10000, 2, TYPE_SPINNER},
    {20, u"blend_max", TYPE_FLOAT, true, 700, 0, 10000, 2, TYPE_SPINNER},
};

TEST(StochasticFlakesParams, EveryParameterAsDeclared) {
    Fixture f;
    EXPECT_EQ(f.cd.GetParamBlockDescByID(0), &f.pbd) << "registered with its owner";
    EXPECT_EQ(f.pbd.flags, 0x26);
    ASSERT_EQ(f.pbd.Count(), 21);
    for (int i = 0; i < 21; ++i) {
        const Expected& e = kExpected[i];
        const ParamDef& d = f.pbd.GetParamDef(i);
        SCOPED_TRACE(WStr(e.name).toUtf8());
        EXPECT_EQ(std::tuple(d.id, d.internalName, d.type, d.IsAnimatable()), std::tuple(e.id, WStr(e.name), e.type, e.animatable));
        const bool isFloat = e.type == TYPE_FLOAT;
        if (e.type == TYPE_RGBA) EXPECT_EQ(d.defaultValue.c, Color(1.0f, 1.0f, 1.0f));
        if (e.type != TYPE_RGBA && e.type != TYPE_TEXMAP) {
            EXPECT_EQ(isFloat ? d.defaultValue.f : d.defaultValue.i, isFloat ? float(e.defaultValue) : int(e.defaultValue));
        }
        ASSERT_EQ(d.hasRange, !std::isnan(e.low));
        if (d.hasRange) {
            EXPECT_EQ(isFloat ? d.rangeLow.f : d.rangeLow.i, isFloat ? float(e.low) : int(e.low));
            EXPECT_EQ(isFloat ? d.rangeHigh.f : d.rangeHigh.i, isFloat ? float(e.high) : int(e.high));
        }
        ASSERT_EQ(d.ui.has_value(), e.rollout >= 0);
        if (d.ui) {
            EXPECT_EQ(d.ui->mapId, e.rollout);
            EXPECT_EQ(d.ui->controlType, e.control);
        }
    }
}

// Ids are handed out from 100 walking the declaration backwards; a spinner takes two, the
// spinner's first (p_ui lists edit box, spinner).
TEST(StochasticFlakesParams, ControlIdsFollowTheDeclarationBackwards) {
    Fixture f;
    int next = 100;
    for (int i = 20; i >= 0; --i) {
        const ParamDef& d = f.pbd.GetParamDef(i);
        if (!d.ui) continue;
        const std::vector<int> expected = d.ui->controlType == TYPE_SPINNER ? std::vector<int>{next + 1, next} : std::vector<int>{next};
        EXPECT_EQ(d.ui->controlIds, expected) << d.internalName.toUtf8();
        next += static_cast<int>(expected.size());
    }
    EXPECT_EQ(f.counter.next(), 132) << "132 is left for the next user";
    // The plug-in's own counter continues where the last description stopped.
    ControlIdCounter& plugin = ControlIdCounter::plugin();
    const int start = plugin.next();
    OwnerDesc other;
    ParamBlockDesc2 second = makeStochasticFlakesParamBlockDesc(&other);
    EXPECT_EQ(plugin.next(), start + 32);
    EXPECT_EQ(second.GetParamDefByID(kBlendMax)->ui->controlIds, (std::vector<int>{start + 1, start}));
}

TEST(PluginResources, ModuleHoldsTheStringTableAndThreeDistinctBrowserIcons) {
    const HINSTANCE module = registerPluginResources();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    EXPECT_EQ(module->Strings().size(), 21u) << "no stray entries";
    EXPECT_TRUE(GetPluginString(7).isNull());
    HIMAGELIST list = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 5, 0);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(module, kBitmapBrowserIcons), LoadBitmapW(module, kBitmapBrowserIconsMask)), 0);
    ASSERT_EQ(ImageList_GetImageCount(list), 3) << "33 x 11: three icons";
    EXPECT_NE(list->images[0].color.pixels, list->images[1].color.pixels) << "inactive and active differ";
    EXPECT_NE(list->images[1].color.pixels, list->images[2].color.pixels) << "active and disabled differ";
    ImageList_Destroy(list);
}

}  // namespace
}  // namespace glitter
