// The material's block description (header, rollouts, every parameter with its user-visible
// texts, the control ids) and the plug-in's resources as the host reads them.
#include <gtest/gtest.h>

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

TEST(StochasticFlakesParams, BlockHeaderAndRollouts) {
    Fixture f;
    EXPECT_EQ(f.cd.GetParamBlockDescByID(0), &f.pbd) << "registered with its owner";
    EXPECT_EQ(f.pbd.internalName, u"StochasticFlakesMtl parameters");
    EXPECT_EQ(f.pbd.flags, 0x26);
    EXPECT_EQ(f.pbd.refNo, 0);
    const char16_t* titles[] = {u"Basic parameters", u"Colored flakes parameters", u"Advanced parameters"};
    ASSERT_EQ(f.pbd.rollouts.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const ParamRollout& r = f.pbd.rollouts[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.mapId, i);
        EXPECT_EQ(GetPluginString(r.title), titles[i]);
        EXPECT_EQ(r.rollupFlags | r.flagMask | r.dialogTemplate, 0);
        EXPECT_EQ(r.dlgProc, nullptr);
    }
}

struct Expected {
    ParamID id;
    const char16_t* name;
    ParamType2 type;
    bool animatable;
    double defaultValue;  // colours: every channel; maps: unused
    bool hasRange;
    double low, high;
    int map;  // -1: no control
    int control;
    int editType;
    float scale;
    const char16_t* tooltip;
};

// In declaration order.
const Expected kExpected[] = {
    {5, u"enable_flakes", TYPE_BOOL, true, 1, false, 0, 0, 0, TYPE_SINGLECHEKBOX, -1, 0,
     u"Turn on the stochastic flakes. If this option is switched off, then the underlying continuous distribution is used."},
    {7, u"enable_flakes_in_mtl_editor", TYPE_BOOL, true, 0, false, 0, 0, -1, 0, -1, 0,
     u"Turn on the stochastic flakes in the material editor."},
    {3, u"num_flakes", TYPE_INT, false, 10000000, true, 1, 2000000000, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f,
     u"Number of flakes per unit area in the texture space."},
    {0, u"hilight_glossiness", TYPE_FLOAT, true, 0.9f, true, 0, 10000, 0, TYPE_SPINNER, EDITTYPE_FLOAT, SPIN_AUTOSCALE,
     u"Modifies the normals' distribution of the flakes. The higher the value, the more the flakes' normals are aligned with the surface normal."},
    {4, u"blur_angle", TYPE_FLOAT, true, 3.0, true, 0, 20, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f,
     u"The angle of the cone, in which the flakes are queried. The more narrow the angle, the sharper the result."},
    {2, u"subdivs", TYPE_INT, false, 8, true, 1, 1000, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f, nullptr},
    {1, u"reflection_filter", TYPE_RGBA, true, 1, false, 0, 0, 0, TYPE_COLORSWATCH, -1, 0, nullptr},
    {11, u"reflection_map", TYPE_TEXMAP, false, 0, false, 0, 0, 0, TYPE_TEXMAPBUTTON, -1, 0, nullptr},
    {12, u"reflection_map_on", TYPE_BOOL, false, 1, false, 0, 0, 0, TYPE_SINGLECHEKBOX, -1, 0, nullptr},
    {13, u"reflection_map_mult", TYPE_FLOAT, true, 100, true, 0, 100, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 1.0f, nullptr},
    {9, u"mapping_type", TYPE_INT, false, 0, true, 0, 1, 0, TYPE_INT_COMBOBOX, -1, 0,
     u"Choose flakes mapping type. Triplanar mapping is recommended only if there is no uv channel."},
    {8, u"map_channel", TYPE_INT, false, 1, true, 1, 100, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f,
     u"Index of the map channel in use."},
    {10, u"flake_scale", TYPE_FLOAT, true, 1.0, true, 1e-9f, 1e9f, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f,
     u"Locally scales the flakes pattern."},
    {14, u"random_hue", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0,
     u"Generate per flake colors with random hue values."},
    {15, u"random_saturation", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0,
     u"Generate random saturation for each flake color."},
    {16, u"saturation", TYPE_FLOAT, true, 1.0, true, 0, 1, 1, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f,
     u"Flake color saturation, when \"random saturation\" is off."},
    {17, u"random_lightness", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0,
     u"Generate random lightness for each flake color."},
    {18, u"lightness", TYPE_FLOAT, true, 0.5, true, 0, 1, 1, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f,
     u"Flake color lightness, when \"random lightness\" is off."},
    {6, u"texture_subdivs", TYPE_INT, false, 12, true, 0, 22, 2, TYPE_SPINNER, EDITTYPE_INT, 1.0f,
     u"The subdivisions of a unit square in the texture space. Incrementing this value by one, doubles the flakes accuracy. Use only if you observe squarelike artefacts in zoomed-in regions."},
    {19, u"blend_min", TYPE_FLOAT, true, 500, true, 0, 10000, 2, TYPE_SPINNER, EDITTYPE_FLOAT, 10.0f,
     u"Number of flakes per pixel, below which only discrete flakes are generated and the smooth material is not computed."},
    {20, u"blend_max", TYPE_FLOAT, true, 700, true, 0, 10000, 2, TYPE_SPINNER, EDITTYPE_FLOAT, 10.0f,
     u"Number of flakes per pixel, above which only the smooth (disabled flakes) material is computed."},
};

TEST(StochasticFlakesParams, EveryParameterAsDeclared) {
    Fixture f;
    ASSERT_EQ(f.pbd.Count(), 21);
    for (int i = 0; i < 21; ++i) {
        const Expected& e = kExpected[i];
        const ParamDef& d = f.pbd.GetParamDef(i);
        SCOPED_TRACE(WStr(e.name).toUtf8());
        EXPECT_EQ(d.id, e.id);
        EXPECT_EQ(d.internalName, e.name);
        EXPECT_EQ(d.type, e.type);
        EXPECT_EQ(d.IsAnimatable(), e.animatable);
        EXPECT_EQ(d.localNameRes, 0);
        switch (e.type) {
            case TYPE_FLOAT: EXPECT_EQ(d.defaultValue.f, static_cast<float>(e.defaultValue)); break;
            case TYPE_RGBA: EXPECT_EQ(d.defaultValue.c, Color(1.0f, 1.0f, 1.0f)); break;
            case TYPE_TEXMAP: EXPECT_EQ(d.subTexNo, 0); break;
            default: EXPECT_EQ(d.defaultValue.i, static_cast<int>(e.defaultValue)); break;
        }
        EXPECT_EQ(d.hasRange, e.hasRange);
        if (e.hasRange && e.type == TYPE_FLOAT) {
            EXPECT_EQ(d.rangeLow.f, static_cast<float>(e.low));
            EXPECT_EQ(d.rangeHigh.f, static_cast<float>(e.high));
        } else if (e.hasRange) {
            EXPECT_EQ(d.rangeLow.i, static_cast<int>(e.low));
            EXPECT_EQ(d.rangeHigh.i, static_cast<int>(e.high));
        }
        ASSERT_EQ(d.ui.has_value(), e.map >= 0);
        if (d.ui) {
            EXPECT_EQ(d.ui->mapId, e.map);
            EXPECT_EQ(d.ui->controlType, e.control);
            EXPECT_EQ(d.ui->editType, e.editType);
            if (e.control == TYPE_SPINNER) {
                EXPECT_EQ(d.ui->spinnerScale, e.scale);
            }
        }
        EXPECT_EQ(GetPluginString(d.tooltip), e.tooltip != nullptr ? WStr(e.tooltip) : WStr());
    }
    const std::vector<int>& items = f.pbd.GetParamDefByID(kMappingType)->ui->comboItems;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(GetPluginString(items[0]), u"Explicit UVW channel");
    EXPECT_EQ(GetPluginString(items[1]), u"Triplanar from Object XYZ");
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
    EXPECT_EQ(next, 132);
    EXPECT_EQ(f.counter.next(), 132) << "132 is left for the next user";
    // The plug-in's own counter continues where the last description stopped.
    ControlIdCounter& plugin = ControlIdCounter::plugin();
    const int start = plugin.next();
    OwnerDesc other;
    ParamBlockDesc2 second = makeStochasticFlakesParamBlockDesc(&other);
    EXPECT_EQ(plugin.next(), start + 32);
    EXPECT_EQ(second.GetParamDefByID(kBlendMax)->ui->controlIds, (std::vector<int>{start + 1, start}));
}

TEST(PluginResources, ModuleHoldsTheStringTableAndTheBrowserIcons) {
    const HINSTANCE module = registerPluginResources();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleW(u"KuvoStochasticFlakesMtl2015.dlt"), module);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    EXPECT_EQ(MaxSDK::GetResourceStringAsMSTR(module, 25), u"Colored flakes parameters");
    EXPECT_EQ(module->Strings().size(), 21u) << "no stray entries";
    EXPECT_TRUE(GetPluginString(7).isNull());

    const Bitmap* icons = LoadBitmapW(module, kBitmapBrowserIcons);
    const Bitmap* mask = LoadBitmapW(module, kBitmapBrowserIconsMask);
    ASSERT_TRUE(icons && mask);
    EXPECT_EQ(icons->bitsPerPixel, 24);
    HIMAGELIST list = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 5, 0);
    EXPECT_EQ(ImageList_Add(list, icons, mask), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3) << "33 x 11: three icons";
    EXPECT_NE(list->images[0].color.pixels, list->images[1].color.pixels) << "inactive and active differ";
    EXPECT_NE(list->images[1].color.pixels, list->images[2].color.pixels) << "active and disabled differ";
    ImageList_Destroy(list);
}

}  // namespace
}  // namespace glitter
