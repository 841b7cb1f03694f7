// The material's block description: header, rollouts, every parameter as declared, the control
// ids, and a block built from it (defaults, ranges, scripting, save and load).
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "platform/host/constant_texmap.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/mtl.h"
#include "platform/host/scene_file.h"
#include "plugin/resources.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter {
namespace {

using namespace host;

// A stand-in owner: a material class whose class descriptor owns the description.
class OwnerMtl : public Mtl {
public:
    static constexpr Class_ID kClassID{0x0badf00d, 0x1};
    explicit OwnerMtl(ClassDesc2* cd) { cd->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kClassID; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    IParamBlock2* GetParamBlockByID(BlockID id) override { return pblock != nullptr && pblock->ID() == id ? pblock : nullptr; }
    IParamBlock2* pblock = nullptr;

protected:
    void SetReference(int i, RefTargetHandle target) override {
        if (i == 0) pblock = dynamic_cast<IParamBlock2*>(target);
    }
};

class OwnerDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    ReferenceTarget* Create(bool) override { return new OwnerMtl(this); }
    const MCHAR* ClassName() override { return u"Owner"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return OwnerMtl::kClassID; }
    const MCHAR* Category() override { return u""; }
};

struct Fixture {
    OwnerDesc cd;
    ControlIdCounter counter;
    ParamBlockDesc2 pbd = makeStochasticFlakesParamBlockDesc(&cd, counter);
};

TEST(StochasticFlakesParams, BlockHeaderAndRollouts) {
    Fixture f;
    EXPECT_EQ(f.cd.GetParamBlockDescByID(0), &f.pbd) << "registered with its owner";
    EXPECT_EQ(f.pbd.id, 0);
    EXPECT_EQ(f.pbd.internalName, u"StochasticFlakesMtl parameters");
    EXPECT_EQ(f.pbd.localNameRes, 0);
    EXPECT_EQ(f.pbd.flags, 0x26);
    EXPECT_EQ(f.pbd.refNo, 0);
    ASSERT_EQ(f.pbd.rollouts.size(), 3u);
    const int titles[] = {6, 25, 26};
    for (int i = 0; i < 3; ++i) {
        const ParamRollout& r = f.pbd.rollouts[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.mapId, i);
        EXPECT_EQ(r.dialogTemplate, 0);
        EXPECT_EQ(r.title, titles[i]);
        EXPECT_EQ(r.flagMask, 0);
        EXPECT_EQ(r.rollupFlags, 0);
        EXPECT_EQ(r.dlgProc, nullptr);
    }
    EXPECT_EQ(GetPluginString(f.pbd.rollouts[1].title), u"Colored flakes parameters");
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
    int tooltip;
};

// In declaration order.
const Expected kExpected[] = {
    {5, u"enable_flakes", TYPE_BOOL, true, 1, false, 0, 0, 0, TYPE_SINGLECHEKBOX, -1, 0, 9},
    {7, u"enable_flakes_in_mtl_editor", TYPE_BOOL, true, 0, false, 0, 0, -1, 0, -1, 0, 19},
    {3, u"num_flakes", TYPE_INT, false, 10000000, true, 1, 2000000000, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f, 10},
    {0, u"hilight_glossiness", TYPE_FLOAT, true, 0.9f, true, 0, 10000, 0, TYPE_SPINNER, EDITTYPE_FLOAT, SPIN_AUTOSCALE, 11},
    {4, u"blur_angle", TYPE_FLOAT, true, 3.0, true, 0, 20, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f, 12},
    {2, u"subdivs", TYPE_INT, false, 8, true, 1, 1000, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f, 0},
    {1, u"reflection_filter", TYPE_RGBA, true, 1, false, 0, 0, 0, TYPE_COLORSWATCH, -1, 0, 0},
    {11, u"reflection_map", TYPE_TEXMAP, false, 0, false, 0, 0, 0, TYPE_TEXMAPBUTTON, -1, 0, 0},
    {12, u"reflection_map_on", TYPE_BOOL, false, 1, false, 0, 0, 0, TYPE_SINGLECHEKBOX, -1, 0, 0},
    {13, u"reflection_map_mult", TYPE_FLOAT, true, 100, true, 0, 100, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 1.0f, 0},
    {9, u"mapping_type", TYPE_INT, false, 0, true, 0, 1, 0, TYPE_INT_COMBOBOX, -1, 0, 22},
    {8, u"map_channel", TYPE_INT, false, 1, true, 1, 100, 0, TYPE_SPINNER, EDITTYPE_INT, 1.0f, 23},
    {10, u"flake_scale", TYPE_FLOAT, true, 1.0, true, 1e-9f, 1e9f, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f, 24},
    {14, u"random_hue", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0, 27},
    {15, u"random_saturation", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0, 28},
    {16, u"saturation", TYPE_FLOAT, true, 1.0, true, 0, 1, 1, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f, 30},
    {17, u"random_lightness", TYPE_BOOL, true, 0, false, 0, 0, 1, TYPE_SINGLECHEKBOX, -1, 0, 29},
    {18, u"lightness", TYPE_FLOAT, true, 0.5, true, 0, 1, 1, TYPE_SPINNER, EDITTYPE_FLOAT, 0.1f, 31},
    {6, u"texture_subdivs", TYPE_INT, false, 12, true, 0, 22, 2, TYPE_SPINNER, EDITTYPE_INT, 1.0f, 18},
    {19, u"blend_min", TYPE_FLOAT, true, 500, true, 0, 10000, 2, TYPE_SPINNER, EDITTYPE_FLOAT, 10.0f, 32},
    {20, u"blend_max", TYPE_FLOAT, true, 700, true, 0, 10000, 2, TYPE_SPINNER, EDITTYPE_FLOAT, 10.0f, 33},
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
        EXPECT_EQ(d.tooltip, e.tooltip);
        if (e.tooltip != 0) {
            EXPECT_FALSE(GetPluginString(e.tooltip).isNull());
        }
    }
    const ParamDef* mapping = f.pbd.GetParamDefByID(kMappingType);
    EXPECT_EQ(mapping->ui->comboItems, (std::vector<int>{20, 21}));
    EXPECT_EQ(GetPluginString(mapping->ui->comboItems[0]), u"Explicit UVW channel");
    EXPECT_EQ(GetPluginString(mapping->ui->comboItems[1]), u"Triplanar from Object XYZ");
}

TEST(StochasticFlakesParams, ControlIdsFollowTheDeclarationBackwards) {
    Fixture f;
    EXPECT_EQ(f.counter.next(), 132) << "132 is left for the next user";
    const std::pair<ParamID, std::vector<int>> expected[] = {
        // p_ui order: spinners give (edit box, spinner).
        {kBlendMax, {101, 100}},      {kBlendMin, {103, 102}},       {kTextureSubdivs, {105, 104}},
        {kLightness, {107, 106}},     {kRandomLightness, {108}},     {kSaturation, {110, 109}},
        {kRandomSaturation, {111}},   {kRandomHue, {112}},           {kFlakeScale, {114, 113}},
        {kMapChannel, {116, 115}},    {kMappingType, {117}},         {kReflectionMapMult, {119, 118}},
        {kReflectionMapOn, {120}},    {kReflectionMap, {121}},       {kReflectionFilter, {122}},
        {kSubdivs, {124, 123}},       {kBlurAngle, {126, 125}},      {kHilightGlossiness, {128, 127}},
        {kNumFlakes, {130, 129}},     {kEnableFlakes, {131}},
    };
    for (const auto& [id, controls] : expected) {
        const ParamDef* d = f.pbd.GetParamDefByID(id);
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(d->ui.has_value());
        EXPECT_EQ(d->ui->controlIds, controls) << d->internalName.toUtf8();
    }
    // The plug-in's own counter hands out the same ids to the first description it builds, and
    // a second description continues where the first stopped.
    ControlIdCounter& plugin = ControlIdCounter::plugin();
    const int start = plugin.next();
    OwnerDesc other;
    ParamBlockDesc2 second = makeStochasticFlakesParamBlockDesc(&other);
    EXPECT_EQ(plugin.next(), start + 32);
    EXPECT_EQ(second.GetParamDefByID(kBlendMax)->ui->controlIds, (std::vector<int>{start + 1, start}));
}

class FlakesBlock : public ::testing::Test {
protected:
    void SetUp() override { mtl = new OwnerMtl(&f.cd); }
    void TearDown() override { mtl->DeleteThis(); }
    IParamBlock2& pb() { return *mtl->pblock; }
    Fixture f;
    OwnerMtl* mtl = nullptr;
};

TEST_F(FlakesBlock, NewBlockHoldsTheDefaults) {
    ASSERT_NE(mtl->pblock, nullptr);
    EXPECT_EQ(pb().GetInt(kEnableFlakes), 1);
    EXPECT_EQ(pb().GetInt(kNumFlakes), 10000000);
    EXPECT_EQ(pb().GetFloat(kHilightGlossiness), 0.9f);
    EXPECT_EQ(pb().GetFloat(kBlurAngle), 3.0f);
    EXPECT_EQ(pb().GetInt(kSubdivs), 8);
    EXPECT_EQ(pb().GetColor(kReflectionFilter), Color(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(pb().GetTexmap(kReflectionMap), nullptr);
    EXPECT_EQ(pb().GetInt(kReflectionMapOn), 1);
    EXPECT_EQ(pb().GetFloat(kReflectionMapMult), 100.0f);
    EXPECT_EQ(pb().GetInt(kMappingType), 0);
    EXPECT_EQ(pb().GetInt(kMapChannel), 1);
    EXPECT_EQ(pb().GetFloat(kFlakeScale), 1.0f);
    EXPECT_EQ(pb().GetInt(kRandomHue), 0);
    EXPECT_EQ(pb().GetInt(kRandomSaturation), 0);
    EXPECT_EQ(pb().GetFloat(kSaturation), 1.0f);
    EXPECT_EQ(pb().GetInt(kRandomLightness), 0);
    EXPECT_EQ(pb().GetFloat(kLightness), 0.5f);
    EXPECT_EQ(pb().GetInt(kTextureSubdivs), 12);
    EXPECT_EQ(pb().GetFloat(kBlendMin), 500.0f);
    EXPECT_EQ(pb().GetFloat(kBlendMax), 700.0f);
    EXPECT_EQ(pb().GetInt(kEnableFlakesInMtlEditor), 0);
}

TEST_F(FlakesBlock, ValuesStopAtTheRangeEnds) {
    pb().SetValue(kTextureSubdivs, 0, 30);
    EXPECT_EQ(pb().GetInt(kTextureSubdivs), 22);
    pb().SetValue(kFlakeScale, 0, 0.0f);
    EXPECT_EQ(pb().GetFloat(kFlakeScale), 1e-9f);
    pb().SetValue(kMapChannel, 0, 0);
    EXPECT_EQ(pb().GetInt(kMapChannel), 1);
    pb().SetValue(kNumFlakes, 0, -5);
    EXPECT_EQ(pb().GetInt(kNumFlakes), 1);
    pb().SetValue(kHilightGlossiness, 0, 5.0f);
    EXPECT_EQ(pb().GetFloat(kHilightGlossiness), 5.0f) << "the range is 0 to 10000, not 0 to 1";
    pb().SetValue(kMappingType, 0, 2);
    EXPECT_EQ(pb().GetInt(kMappingType), 1);
    EXPECT_FALSE(pb().SetKey(kNumFlakes, 10, 5)) << "num_flakes is not animatable";
    EXPECT_TRUE(pb().SetKey(kBlurAngle, 10, 5.0f));
}

TEST_F(FlakesBlock, HiddenParameterIsScriptableAndSurvivesSaveAndLoad) {
    ASSERT_TRUE(pb().SetValueByName(u"enable_flakes_in_mtl_editor", 0, ParamScriptValue(true)));
    ASSERT_TRUE(pb().SetValueByName(u"reflection_map_mult", 0, ParamScriptValue(50)));
    pb().SetKey(kHilightGlossiness, 0, 0.5f);
    pb().SetKey(kHilightGlossiness, 10, 2.0f);
    pb().SetValue(kReflectionMap, 0, static_cast<Texmap*>(new ConstantTexmap()));
    mtl->SetName(u"glitter");

    Scene scene;
    scene.AddMaterial(mtl);
    mtl = nullptr;  // the scene owns it now
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_EQ(SaveScene(scene, bytes, error), IO_OK) << error;
    ClassDirectory classes;
    classes.Add(&f.cd);
    Scene loaded;
    ASSERT_EQ(LoadScene(bytes, classes, loaded, error), IO_OK) << error;
    auto* back = dynamic_cast<OwnerMtl*>(loaded.GetMaterial(0));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetName(), u"glitter");
    const auto hidden = back->pblock->GetValueByName(u"enable_flakes_in_mtl_editor", 0);
    ASSERT_TRUE(hidden.has_value());
    EXPECT_TRUE(std::get<bool>(*hidden));
    EXPECT_EQ(back->pblock->GetFloat(kReflectionMapMult), 50.0f);
    EXPECT_EQ(back->pblock->GetFloat(kHilightGlossiness, 5), 1.25f);
    EXPECT_NE(back->pblock->GetTexmap(kReflectionMap), nullptr);
    mtl = new OwnerMtl(&f.cd);  // for TearDown
}

}  // namespace
}  // namespace glitter
