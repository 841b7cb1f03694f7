#include "plugin/stochastic_flakes_params.h"

#include "plugin/resources.h"

namespace glitter {

using namespace host;

ControlIdCounter& ControlIdCounter::plugin() {
    static ControlIdCounter counter;
    return counter;
}

namespace {

// Declaration order, with the number of control ids each parameter's p_ui entry needs.
struct DeclaredParam {
    StochasticFlakesParamId id;
    int controls;
};

constexpr DeclaredParam kDeclarationOrder[kStochasticFlakesParamCount] = {
    {kEnableFlakes, 1},      {kEnableFlakesInMtlEditor, 0}, {kNumFlakes, 2},       {kHilightGlossiness, 2},
    {kBlurAngle, 2},         {kSubdivs, 2},                 {kReflectionFilter, 1}, {kReflectionMap, 1},
    {kReflectionMapOn, 1},   {kReflectionMapMult, 2},       {kMappingType, 1},     {kMapChannel, 2},
    {kFlakeScale, 2},        {kRandomHue, 1},               {kRandomSaturation, 1}, {kSaturation, 2},
    {kRandomLightness, 1},   {kLightness, 2},               {kTextureSubdivs, 2},  {kBlendMin, 2},
    {kBlendMax, 2},
};

}  // namespace

std::array<ParamControlIds, kStochasticFlakesParamCount> allocateStochasticFlakesControlIds(
    ControlIdCounter& counter) {
    std::array<ParamControlIds, kStochasticFlakesParamCount> ids{};
    for (int i = kStochasticFlakesParamCount - 1; i >= 0; --i) {
        const DeclaredParam& p = kDeclarationOrder[i];
        ParamControlIds& c = ids[static_cast<std::size_t>(p.id)];
        if (p.controls == 2) {
            c.spinner = counter.take();
            c.control = counter.take();
        } else if (p.controls == 1) {
            c.control = counter.take();
        }
    }
    return ids;
}

ParamBlockDesc2 makeStochasticFlakesParamBlockDesc(ClassDesc2* owner, ControlIdCounter& counter) {
    const auto c = allocateStochasticFlakesControlIds(counter);
    auto id = [&](StochasticFlakesParamId p) { return c[static_cast<std::size_t>(p)].control; };
    auto spin = [&](StochasticFlakesParamId p) { return c[static_cast<std::size_t>(p)].spinner; };
    return ParamBlockDesc2(
        kStochasticFlakesBlockId, u"StochasticFlakesMtl parameters", 0, owner,
        P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, kStochasticFlakesBlockRef,
        3,
            kRolloutBasic, 0, kStrBasicParameters, 0, 0, nullptr,
            kRolloutColoredFlakes, 0, kStrColoredFlakesParameters, 0, 0, nullptr,
            kRolloutAdvanced, 0, kStrAdvancedParameters, 0, 0, nullptr,

        kEnableFlakes, u"enable_flakes", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, true,
            p_ui, kRolloutBasic, TYPE_SINGLECHEKBOX, id(kEnableFlakes),
            p_tooltip, kStrEnableFlakesTip,
            p_end,
        kEnableFlakesInMtlEditor, u"enable_flakes_in_mtl_editor", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, false,
            p_tooltip, kStrEnableFlakesInMtlEditorTip,
            p_end,
        kNumFlakes, u"num_flakes", TYPE_INT, 0, 0,
            p_default, 10000000,
            p_range, 1, 2000000000,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_INT, id(kNumFlakes), spin(kNumFlakes), 1.0f,
            p_tooltip, kStrNumFlakesTip,
            p_end,
        kHilightGlossiness, u"hilight_glossiness", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 0.9f,
            p_range, 0.0f, 10000.0f,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_FLOAT, id(kHilightGlossiness), spin(kHilightGlossiness),
                SPIN_AUTOSCALE,
            p_tooltip, kStrHilightGlossinessTip,
            p_end,
        kBlurAngle, u"blur_angle", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 3.0f,
            p_range, 0.0f, 20.0f,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_FLOAT, id(kBlurAngle), spin(kBlurAngle), 0.1f,
            p_tooltip, kStrBlurAngleTip,
            p_end,
        kSubdivs, u"subdivs", TYPE_INT, 0, 0,
            p_default, 8,
            p_range, 1, 1000,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_INT, id(kSubdivs), spin(kSubdivs), 1.0f,
            p_end,
        kReflectionFilter, u"reflection_filter", TYPE_RGBA, P_ANIMATABLE, 0,
            p_default, Color(1.0f, 1.0f, 1.0f),
            p_ui, kRolloutBasic, TYPE_COLORSWATCH, id(kReflectionFilter),
            p_end,
        kReflectionMap, u"reflection_map", TYPE_TEXMAP, 0, 0,
            p_ui, kRolloutBasic, TYPE_TEXMAPBUTTON, id(kReflectionMap),
            p_subtexno, 0,
            p_end,
        kReflectionMapOn, u"reflection_map_on", TYPE_BOOL, 0, 0,
            p_default, true,
            p_ui, kRolloutBasic, TYPE_SINGLECHEKBOX, id(kReflectionMapOn),
            p_end,
        kReflectionMapMult, u"reflection_map_mult", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 100.0f,
            p_range, 0.0f, 100.0f,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_FLOAT, id(kReflectionMapMult), spin(kReflectionMapMult),
                1.0f,
            p_end,
        kMappingType, u"mapping_type", TYPE_INT, 0, 0,
            p_default, kMappingExplicitUVW,
            p_range, kMappingExplicitUVW, kMappingTriplanar,
            p_ui, kRolloutBasic, TYPE_INT_COMBOBOX, id(kMappingType), 2, kStrExplicitUVWChannel,
                kStrTriplanarFromObjectXYZ,
            p_tooltip, kStrMappingTypeTip,
            p_end,
        kMapChannel, u"map_channel", TYPE_INT, 0, 0,
            p_default, 1,
            p_range, 1, 100,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_INT, id(kMapChannel), spin(kMapChannel), 1.0f,
            p_tooltip, kStrMapChannelTip,
            p_end,
        kFlakeScale, u"flake_scale", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 1.0f,
            p_range, 1e-9f, 1e9f,
            p_ui, kRolloutBasic, TYPE_SPINNER, EDITTYPE_FLOAT, id(kFlakeScale), spin(kFlakeScale), 0.1f,
            p_tooltip, kStrFlakeScaleTip,
            p_end,
        kRandomHue, u"random_hue", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, false,
            p_ui, kRolloutColoredFlakes, TYPE_SINGLECHEKBOX, id(kRandomHue),
            p_tooltip, kStrRandomHueTip,
            p_end,
        kRandomSaturation, u"random_saturation", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, false,
            p_ui, kRolloutColoredFlakes, TYPE_SINGLECHEKBOX, id(kRandomSaturation),
            p_tooltip, kStrRandomSaturationTip,
            p_end,
        kSaturation, u"saturation", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 1.0f,
            p_range, 0.0f, 1.0f,
            p_ui, kRolloutColoredFlakes, TYPE_SPINNER, EDITTYPE_FLOAT, id(kSaturation), spin(kSaturation), 0.1f,
            p_tooltip, kStrSaturationTip,
            p_end,
        kRandomLightness, u"random_lightness", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, false,
            p_ui, kRolloutColoredFlakes, TYPE_SINGLECHEKBOX, id(kRandomLightness),
            p_tooltip, kStrRandomLightnessTip,
            p_end,
        kLightness, u"lightness", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 0.5f,
            p_range, 0.0f, 1.0f,
            p_ui, kRolloutColoredFlakes, TYPE_SPINNER, EDITTYPE_FLOAT, id(kLightness), spin(kLightness), 0.1f,
            p_tooltip, kStrLightnessTip,
            p_end,
        kTextureSubdivs, u"texture_subdivs", TYPE_INT, 0, 0,
            p_default, 12,
            p_range, 0, 22,
            p_ui, kRolloutAdvanced, TYPE_SPINNER, EDITTYPE_INT, id(kTextureSubdivs), spin(kTextureSubdivs), 1.0f,
            p_tooltip, kStrTextureSubdivsTip,
            p_end,
        kBlendMin, u"blend_min", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 500.0f,
            p_range, 0.0f, 10000.0f,
            p_ui, kRolloutAdvanced, TYPE_SPINNER, EDITTYPE_FLOAT, id(kBlendMin), spin(kBlendMin), 10.0f,
            p_tooltip, kStrBlendMinTip,
            p_end,
        kBlendMax, u"blend_max", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 700.0f,
            p_range, 0.0f, 10000.0f,
            p_ui, kRolloutAdvanced, TYPE_SPINNER, EDITTYPE_FLOAT, id(kBlendMax), spin(kBlendMax), 10.0f,
            p_tooltip, kStrBlendMaxTip,
            p_end,
        p_end);
}

ParamBlockDesc2 makeStochasticFlakesParamBlockDesc(ClassDesc2* owner) {
    return makeStochasticFlakesParamBlockDesc(owner, ControlIdCounter::plugin());
}

}  // namespace glitter
