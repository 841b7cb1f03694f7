#include "plugin/rollout_rules.h"

#include "plugin/stochastic_flakes_params.h"

namespace glitter {

using namespace host;

void applyRolloutRules(IParamMap2* map) {
    if (map == nullptr || map->GetParamBlock() == nullptr) return;
    IParamBlock2& pb = *map->GetParamBlock();
    const bool flakes = pb.GetInt(kEnableFlakes, 0) != 0;
    switch (map->GetMapID()) {
        case kRolloutBasic: {
            for (const ParamID id : {kNumFlakes, kBlurAngle, kMappingType, kFlakeScale}) map->Enable(id, flakes);
            map->Enable(kMapChannel, flakes && pb.GetInt(kMappingType, 0) == kMappingExplicitUVW);
            break;
        }
        case kRolloutColoredFlakes: {
            const bool hue = flakes && pb.GetInt(kRandomHue, 0) != 0;
            map->Enable(kRandomHue, flakes);
            map->Enable(kRandomSaturation, hue);
            map->Enable(kRandomLightness, hue);
            map->Enable(kSaturation, hue && pb.GetInt(kRandomSaturation, 0) == 0);
            map->Enable(kLightness, hue && pb.GetInt(kRandomLightness, 0) == 0);
            break;
        }
        case kRolloutAdvanced: {
            for (const ParamID id : {kTextureSubdivs, kBlendMin, kBlendMax}) map->Enable(id, flakes);
            break;
        }
        default:
            break;
    }
}

bool rolloutDependsOn(MapID mapId, ParamID changed) {
    switch (changed) {
        case -1:  // every parameter at once (a reset)
        case kEnableFlakes:
            return mapId == kRolloutBasic || mapId == kRolloutColoredFlakes || mapId == kRolloutAdvanced;
        case kMappingType:
            return mapId == kRolloutBasic;
        case kRandomHue:
        case kRandomSaturation:
        case kRandomLightness:
            return mapId == kRolloutColoredFlakes;
        default:
            return false;
    }
}

}  // namespace glitter
