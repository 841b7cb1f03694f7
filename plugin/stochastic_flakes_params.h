// The material's parameter block "StochasticFlakesMtl parameters": parameter ids, rollouts, and
// the block description with its controls and tooltips. The description names the material's
// class descriptor as its owner and registers with it when built.
#pragma once

#include <array>

#include "bsdf/cached_parameter_values.h"
#include "platform/host/class_desc2.h"
#include "platform/host/param_block_desc2.h"
#include "plugin/control_id_counter.h"

namespace glitter {

/// Parameter ids, as stored scenes and scripting know them. Not in declaration order.
enum StochasticFlakesParamId : host::ParamID {
    kHilightGlossiness = 0,
    kReflectionFilter = 1,
    kSubdivs = 2,
    kNumFlakes = 3,
    kBlurAngle = 4,
    kEnableFlakes = 5,
    kTextureSubdivs = 6,
    kEnableFlakesInMtlEditor = 7,
    kMapChannel = 8,
    kMappingType = 9,
    kFlakeScale = 10,
    kReflectionMap = 11,
    kReflectionMapOn = 12,
    kReflectionMapMult = 13,
    kRandomHue = 14,
    kRandomSaturation = 15,
    kSaturation = 16,
    kRandomLightness = 17,
    kLightness = 18,
    kBlendMin = 19,
    kBlendMax = 20,
};
inline constexpr int kStochasticFlakesParamCount = 21;

inline constexpr host::BlockID kStochasticFlakesBlockId = 0;
/// Reference index of the block in the material.
inline constexpr int kStochasticFlakesBlockRef = 0;

/// Rollouts (map ids).
enum StochasticFlakesRollout : host::MapID {
    kRolloutBasic = 0,
    kRolloutColoredFlakes = 1,
    kRolloutAdvanced = 2,
};

/// The dialog control ids of one parameter: for a spinner its edit box and its spinner, for
/// other controls the control alone (`spinner` 0). Zero for a parameter without controls.
struct ParamControlIds {
    int control = 0;
    int spinner = 0;
};

/// Takes the control ids of the description from `counter`: 32 ids, handed out from the last
/// declared parameter backwards, spinner before edit box. Indexed by parameter id.
std::array<ParamControlIds, kStochasticFlakesParamCount> allocateStochasticFlakesControlIds(
    ControlIdCounter& counter);

/// The block description, owned by `owner` (the material's class descriptor), with control ids
/// from `counter`. Returned by value into its final place, e.g.
///     static host::ParamBlockDesc2 flakesParamBlockDesc = makeStochasticFlakesParamBlockDesc(&classDesc);
host::ParamBlockDesc2 makeStochasticFlakesParamBlockDesc(host::ClassDesc2* owner, ControlIdCounter& counter);
/// As above, with the plug-in's own control id counter.
host::ParamBlockDesc2 makeStochasticFlakesParamBlockDesc(host::ClassDesc2* owner);

}  // namespace glitter
