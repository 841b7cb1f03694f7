// Which rollout controls are enabled, by the switches that govern them: with the flakes off,
// every flake control is disabled; map channels only matter for explicit UVW mapping; the
// colour controls follow random hue, saturation and lightness.
#pragma once

#include "platform/host/iparam_map2.h"

namespace glitter {

/// Applies the enabling rules to `map` (rollout 0, 1 or 2; any other map id is left alone),
/// reading the switches from the map's block at time 0, so an animated switch gives the same
/// state at every time. Null, or a map without a block, is ignored.
void applyRolloutRules(host::IParamMap2* map);

/// Whether a change of parameter `changed` can change the enabled state of a control in
/// rollout `mapId`. -1 (the block's answer after all parameters changed at once) governs all.
bool rolloutDependsOn(host::MapID mapId, host::ParamID changed);

}  // namespace glitter
