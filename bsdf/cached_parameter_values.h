#pragma once
// The material's copy of its parameter block at the last update, one field per parameter under
// the parameter's own name. Written only by the material's update; read without locks by the
// BSDF set-up and the render-time interface while a render runs.

#include <cstdint>

#include "platform/renderer/color.h"

namespace host {
class Texmap;
}

namespace glitter {

/// `mapping_type` values: flakes placed in a map channel's UVW, or projected from object XYZ.
inline constexpr int kMappingExplicitUVW = 0;
inline constexpr int kMappingTriplanar = 1;

struct CachedParameterValues {
    float hilight_glossiness = 0.9f;
    KuvoUtils::Color reflection_filter{1.0f, 1.0f, 1.0f};
    host::Texmap* reflection_map = nullptr;  // the block owns the reference
    int32_t reflection_map_on = 1;
    float reflection_map_mult = 1.0f;  // a fraction: the parameter's percent x 0.01
    int32_t subdivs = 8;
    int32_t num_flakes = 10000000;
    float blur_angle = 3.0f;  // degrees
    float flake_scale = 1.0f;
    int32_t enable_flakes = 1;
    int32_t enable_flakes_in_mtl_editor = 0;
    int32_t texture_subdivs = 12;
    int32_t mapping_type = 0;  // 1: triplanar from object XYZ; otherwise explicit UVW channel
    int32_t map_channel = 1;
    int32_t random_hue = 0;
    int32_t random_saturation = 0;
    float saturation = 1.0f;
    int32_t random_lightness = 0;
    float lightness = 0.5f;
    float blend_min = 500.0f;
    float blend_max = 700.0f;
};

}  // namespace glitter
